// Scene 2: at the party. The old man stands at the left while three bubbles follow one
// another; from 14 s the figure takes his place and flips between its two poses. Nothing
// moves: the scene only chooses what to draw. 20 s.
#include "demo/assets.h"
#include "demo/scenes/scene_common.h"
#include "demo/scenes/scenes.h"
#include "gfx/sprite.h"

namespace {

void placeOnce() {
    fitToScreen(sprDemosceneRad);
    sprGubbFlip->centerX = 100;
    sprGubbFlip->centerY = 400;
    for (Sprite* pose : {sprOksOpp, sprOksNed}) {
        scaleDrawSize(*pose, 0.5f, 0.5f);
        pose->centerX = 300;
        pose->centerY = 400;
    }
    sprBoble3->centerX = 400;
    sprBoble3->centerY = 200;
    sprBoble4->centerX = 400;
    sprBoble4->centerY = 400;
    sprBoble5->centerX = 430;
    sprBoble5->centerY = 380;
}

}  // namespace

bool sceneBubblesAndFigure() {
    static SceneClock scene;

    const float t = beginSceneFrame(scene, placeOnce);

    drawOverlay(*sprDemosceneRad);

    if (t < 14.0f) {
        drawOverlay(*sprGubbFlip);
        if (t > 9.0f) {
            drawOverlay(*sprBoble5);
        } else if (t > 4.0f) {
            drawOverlay(*sprBoble4);
        } else if (t > 1.5f) {
            drawOverlay(*sprBoble3);
        }
    } else {
        // The poses swap every pi/20 s; a sine of exactly 0 shows the second pose.
        drawOverlay(*(singleSine(20.0f * t) > 0 ? sprOksOpp : sprOksNed));
    }

    return endSceneFrame(scene, 20.0f);
}
