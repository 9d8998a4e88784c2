// Scene 1: the old man rises in front of the wide hall, says two things, rocks while the hall
// slides, a pipe slides in at the bottom, and he makes for the top left corner. 15 s.
//
// Motion is in whole pixels per frame, so how far things travel depends on the frame rate;
// only the time windows come from the clock. Every time bound is strict.
#include "demo/assets.h"
#include "demo/scenes/scene_common.h"
#include "demo/scenes/scenes.h"
#include "gfx/sprite.h"

namespace {

void placeOnce() {
    fitToScreen(sprBg1);
    sprGubb->centerX = 300;
    sprGubb->centerY = 700;  // below the screen: he rises into view
    scaleDrawSize(*sprGubb, 0.5f, 0.5f);
    sprBoble1->centerX = 300;
    sprBoble1->centerY = 200;
    sprBoble2->centerX = 400;
    sprBoble2->centerY = 200;
    anchorBottomLeft(sprRor, -200, 600);
    // Four screens wide about the centre that fitting gave it.
    scaleDrawSize(*sprBg1, 4.0f, 1.0f);
}

}  // namespace

bool sceneWideBackdrop() {
    static SceneClock scene;
    static bool arrived = false;

    const float t = beginSceneFrame(scene, placeOnce);

    drawOverlay(*sprBg1);

    if (sprGubb->centerY > 350)
        sprGubb->centerY -= 1;
    drawOverlay(*sprGubb);

    if (t > 4.0f && t < 6.0f) {
        drawOverlay(*sprBoble2);
    } else if (t > 2.0f && t < 4.0f) {
        drawOverlay(*sprBoble1);
    }

    // Changes made after a sprite was drawn show from the next frame on.
    if (t > 6.0f && t < 8.0f) {
        sprGubb->angle = 10.0f * singleSine(t);
        sprBg1->centerX += 1;
        if (t > 7.0f && sprGubb->centerX < 600)
            sprGubb->centerX += 1;
    }

    if (t > 8.0f) {
        if (t < 10.0f && sprRor->centerX < 128)
            sprRor->centerX += 2;
        drawOverlay(*sprRor);
    }

    // Diagonally towards (120, 120); on arrival he shrinks once and drops a little.
    if (t > 11.0f && !arrived) {
        if (sprGubb->centerX > 120)
            sprGubb->centerX -= 1;
        if (sprGubb->centerY > 120)
            sprGubb->centerY -= 1;
        if (sprGubb->centerX <= 120 && sprGubb->centerY <= 120) {
            arrived = true;
            scaleDrawSize(*sprGubb, 0.99f, 0.99f);
            sprGubb->centerY += 30;
        }
    }

    return endSceneFrame(scene, 15.0f);
}
