// Scene 0: the title card over the whole screen for a little over five seconds.
#include "demo/scenes/scene_common.h"

const Scene kTitleCard =
    cardScene<&ShowSprites::sprTittel, &SceneStates::titleCard>("title card", 5.0f);
