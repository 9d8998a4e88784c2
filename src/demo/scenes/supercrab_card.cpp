// Scene 4: the supercrab card over the whole screen for a little over two seconds.
#include "demo/assets.h"
#include "demo/scenes/scene_common.h"
#include "demo/scenes/scenes.h"

bool sceneSupercrabCard() {
    static SceneClock scene;
    return runCardScene(scene, sprSupercrab, 2.0f);
}
