// Scene 3: the crab talks on white, its mouth swapping about 9.5 times a second, with two
// bubbles one after the other. Every time bound is strict. 5 s.
#include "demo/scenes/scene_common.h"

namespace {

void place(Show& show) {
    TalkingCrabState& s = show.scenes.talkingCrab;
    s.krabbeSnakk1 = asLoaded(*show.sprKrabbeSnakk1);
    s.krabbeSnakk2 = asLoaded(*show.sprKrabbeSnakk2);
    for (PlacedPicture* crab : {&s.krabbeSnakk1, &s.krabbeSnakk2}) {
        if (show.screen.width != 0 && show.screen.height != 0) {
            crab->centerX = show.screen.width / 2;
            crab->centerY = show.screen.height / 2;
        }
        crab->centerY += 50;
    }
    s.boble6 = placedAt(*show.sprBoble6, 400, 220);
    s.boble7 = placedAt(*show.sprBoble7, 400, 240);
}

void drawFrame(Show& show, float t) {
    const TalkingCrabState& s = show.scenes.talkingCrab;
    const Screen screen = show.screen;

    drawWhiteBackdrop();

    draw(takingTurns(30.0f, t, s.krabbeSnakk1, s.krabbeSnakk2), screen);
    if (t > 1.0f && t < 2.0f)
        draw(s.boble6, screen);
    if (t > 2.5f && t < 4.0f)
        draw(s.boble7, screen);
}

}  // namespace

const Scene kTalkingCrab = {"talking crab", 5.0f, place, drawFrame};
