// Scene 4: the supercrab card over the whole screen for a little over two seconds.
#include "demo/scenes/scene_common.h"

const Scene kSupercrabCard =
    cardScene<&ShowSprites::sprSupercrab, &SceneStates::supercrabCard>("supercrab card", 2.0f);
