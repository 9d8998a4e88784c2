// Scene 3: the crab talks on white, its mouth swapping about 9.5 times a second, with two
// bubbles one after the other. Every time bound is strict. 5 s.
#include "demo/assets.h"
#include "demo/scenes/scene_common.h"
#include "demo/scenes/scenes.h"
#include "gfx/sprite.h"

namespace {

void placeOnce() {
    for (Sprite* crab : {sprKrabbeSnakk1, sprKrabbeSnakk2}) {
        if (gScreenWidth != 0 && gScreenHeight != 0) {
            crab->centerX = gScreenWidth / 2;
            crab->centerY = gScreenHeight / 2;
        }
        crab->centerY += 50;
    }
    sprBoble6->centerX = 400;
    sprBoble6->centerY = 220;
    sprBoble7->centerX = 400;
    sprBoble7->centerY = 240;
}

}  // namespace

bool sceneTalkingCrab() {
    static SceneClock scene;

    const float t = beginSceneFrame(scene, placeOnce);

    drawWhiteBackdrop();

    drawOverlay(*(singleSine(30.0f * t) > 0 ? sprKrabbeSnakk1 : sprKrabbeSnakk2));
    if (t > 1.0f && t < 2.0f)
        drawOverlay(*sprBoble6);
    if (t > 2.5f && t < 4.0f)
        drawOverlay(*sprBoble7);

    return endSceneFrame(scene, 5.0f);
}
