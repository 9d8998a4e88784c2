// Scene 3: the crab talks on white, its mouth swapping about 9.5 times a second, with two
// bubbles one after the other. Every time bound is strict. 5 s.
#include "demo/scenes/scene_common.h"

namespace {

void place(TalkingCrabState& s, const Stage& stage) {
    s.krabbeSnakk1 = asLoaded(*stage.sprites.sprKrabbeSnakk1);
    s.krabbeSnakk2 = asLoaded(*stage.sprites.sprKrabbeSnakk2);
    for (PlacedPicture* crab : {&s.krabbeSnakk1, &s.krabbeSnakk2}) {
        if (stage.screen.width != 0 && stage.screen.height != 0) {
            crab->centerX = stage.screen.width / 2;
            crab->centerY = stage.screen.height / 2;
        }
        crab->centerY += 50;
    }
    s.boble6 = placedAt(*stage.sprites.sprBoble6, 400, 220);
    s.boble7 = placedAt(*stage.sprites.sprBoble7, 400, 240);
}

void drawFrame(const TalkingCrabState& s, const Stage& stage, float t) {
    const Screen screen = stage.screen;

    drawWhiteBackdrop();

    draw(takingTurns(30.0f, t, s.krabbeSnakk1, s.krabbeSnakk2), screen);
    if (t > 1.0f && t < 2.0f)
        draw(s.boble6, screen);
    if (t > 2.5f && t < 4.0f)
        draw(s.boble7, screen);
}

}  // namespace

const Scene kTalkingCrab =
    sceneOf<&SceneStates::talkingCrab, place, drawFrame>("talking crab", 5.0f);
