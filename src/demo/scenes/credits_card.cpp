// Scene 7: the credits over the whole screen for a little over five seconds; the last
// picture the show presents.
#include "demo/assets.h"
#include "demo/scenes/scene_common.h"
#include "demo/scenes/scenes.h"

bool sceneCreditsCard() {
    static SceneClock scene;
    return runCardScene(scene, sprCredits, 5.0f);
}
