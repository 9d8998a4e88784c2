// Scene 3: the crab talks on white, its mouth swapping about 9.5 times a second, with two
// bubbles one after the other. Every time bound is strict. 5 s.
#include "demo/scenes/scene_common.h"

namespace {

void place(Show& show) {
    TalkingCrabState& s = show.scenes.talkingCrab;
    s.krabbeSnakk1 = show.sprKrabbeSnakk1->asLoaded();
    s.krabbeSnakk2 = show.sprKrabbeSnakk2->asLoaded();
    for (Placement* crab : {&s.krabbeSnakk1, &s.krabbeSnakk2}) {
        if (show.screen.width != 0 && show.screen.height != 0) {
            crab->centerX = show.screen.width / 2;
            crab->centerY = show.screen.height / 2;
        }
        crab->centerY += 50;
    }
    s.boble6 = show.sprBoble6->asLoaded();
    s.boble6.centerX = 400;
    s.boble6.centerY = 220;
    s.boble7 = show.sprBoble7->asLoaded();
    s.boble7.centerX = 400;
    s.boble7.centerY = 240;
}

void draw(Show& show, float t) {
    const TalkingCrabState& s = show.scenes.talkingCrab;
    const Screen screen = show.screen;

    drawWhiteBackdrop();

    if (singleSine(30.0f * t) > 0) {
        drawOverlay(*show.sprKrabbeSnakk1, s.krabbeSnakk1, screen);
    } else {
        drawOverlay(*show.sprKrabbeSnakk2, s.krabbeSnakk2, screen);
    }
    if (t > 1.0f && t < 2.0f)
        drawOverlay(*show.sprBoble6, s.boble6, screen);
    if (t > 2.5f && t < 4.0f)
        drawOverlay(*show.sprBoble7, s.boble7, screen);
}

}  // namespace

const Scene kTalkingCrab = {"talking crab", 5.0f, place, draw};
