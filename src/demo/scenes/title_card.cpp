// Scene 0: the title card over the whole screen for a little over five seconds.
#include "demo/assets.h"
#include "demo/scenes/scene_common.h"
#include "demo/scenes/scenes.h"

bool sceneTitleCard() {
    static SceneClock scene;
    return runCardScene(scene, sprTittel, 5.0f);
}
