// Scene 1: the old man rises in front of the wide hall, says two things, rocks while the hall
// slides, a pipe slides in at the bottom, and he makes for the top left corner. 15 s.
//
// Motion is in whole pixels per frame, so how far things travel depends on the frame rate;
// only the time windows come from the clock. Every time bound is strict.
#include "demo/scenes/scene_common.h"

namespace {

void place(WideBackdropState& s, const Stage& stage) {
    s.bg1 = asLoaded(*stage.sprites.sprBg1);
    fitToScreen(s.bg1, stage.screen);
    s.gubb = placedAt(*stage.sprites.sprGubb, 300, 700);  // below the screen: he rises into view
    scaleDrawSize(s.gubb, 0.5f, 0.5f);
    s.boble1 = placedAt(*stage.sprites.sprBoble1, 300, 200);
    s.boble2 = placedAt(*stage.sprites.sprBoble2, 400, 200);
    s.ror = asLoaded(*stage.sprites.sprRor);
    anchorBottomLeft(s.ror, -200, 600);
    // Four screens wide about the centre that fitting gave it.
    scaleDrawSize(s.bg1, 4.0f, 1.0f);
}

void drawFrame(WideBackdropState& s, const Stage& stage, float t) {
    const Screen screen = stage.screen;

    draw(s.bg1, screen);

    if (s.gubb.centerY > 350)
        s.gubb.centerY -= 1;
    draw(s.gubb, screen);

    if (t > 4.0f && t < 6.0f) {
        draw(s.boble2, screen);
    } else if (t > 2.0f && t < 4.0f) {
        draw(s.boble1, screen);
    }

    // Changes made after a picture was drawn show from the next frame on.
    if (t > 6.0f && t < 8.0f) {
        s.gubb.angle = 10.0f * singleSine(t);
        s.bg1.centerX += 1;
        if (t > 7.0f && s.gubb.centerX < 600)
            s.gubb.centerX += 1;
    }

    if (t > 8.0f) {
        if (t < 10.0f && s.ror.centerX < 128)
            s.ror.centerX += 2;
        draw(s.ror, screen);
    }

    // Diagonally towards (120, 120); on arrival he shrinks once and drops a little.
    if (t > 11.0f && !s.arrived) {
        if (s.gubb.centerX > 120)
            s.gubb.centerX -= 1;
        if (s.gubb.centerY > 120)
            s.gubb.centerY -= 1;
        if (s.gubb.centerX <= 120 && s.gubb.centerY <= 120) {
            s.arrived = true;
            scaleDrawSize(s.gubb, 0.99f, 0.99f);
            s.gubb.centerY += 30;
        }
    }
}

}  // namespace

const Scene kWideBackdrop =
    sceneOf<&SceneStates::wideBackdrop, place, drawFrame>("wide backdrop", 15.0f);
