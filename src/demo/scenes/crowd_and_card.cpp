// Scene 6: the crowd cheers in two frames for six seconds, then the "saved the day" card
// spins clockwise at 200 degrees a second in front of white. 13 s.
#include "demo/assets.h"
#include "demo/scenes/scene_common.h"
#include "demo/scenes/scenes.h"
#include "gfx/sprite.h"

namespace {

void placeOnce() {
    fitToScreen(sprSavedTheDay);
    fitToScreen(sprScenefolk1);
    fitToScreen(sprScenefolk2);
}

}  // namespace

bool sceneCrowdAndCard() {
    static SceneClock scene;

    const float t = beginSceneFrame(scene, placeOnce);

    if (t > 6.0f) {
        drawWhiteBackdrop();
        // From the scene's own time: the card enters already turned by about 1200 degrees.
        sprSavedTheDay->angle = 200.0f * t;
        drawOverlay(*sprSavedTheDay);
    } else {
        drawOverlay(*(singleSine(20.0f * t) > 0 ? sprScenefolk1 : sprScenefolk2));
    }

    return endSceneFrame(scene, 13.0f);
}
