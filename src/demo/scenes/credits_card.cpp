// Scene 7: the credits over the whole screen for a little over five seconds; the last
// picture the show presents.
#include "demo/scenes/scene_common.h"

const Scene kCreditsCard =
    cardScene<&ShowSprites::sprCredits, &SceneStates::creditsCard>("credits card", 5.0f);
