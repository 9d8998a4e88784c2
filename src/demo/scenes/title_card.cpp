// Scene 0: the title card over the whole screen for a little over five seconds.
#include "demo/assets.h"
#include "demo/scenes/scene_common.h"
#include "demo/scenes/scenes.h"
#include "gfx/sprite.h"

bool sceneTitleCard() {
    static Stopwatch clock = startedClock();
    static bool sized = false;

    if (!sized) {
        fitToScreen(sprTittel);
        sized = true;
    }
    drawOverlay(*sprTittel);

    // Read after drawing: the frame that ends the scene still shows the title.
    clock.update();
    return clock.elapsed > 5.0f;
}
