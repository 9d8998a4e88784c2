// Scene 5: on white, the old man at the bottom left; the crab shows up at 2 s; from 3 s the
// old man's body replaces him, the crab jumps between two pictures and a burst of red blobs
// sprays from the centre for two seconds. 7 s.
#include "demo/assets.h"
#include "demo/scenes/scene_common.h"
#include "demo/scenes/scenes.h"
#include "gfx/blob_field.h"
#include "gfx/sprite.h"

namespace {

void placeOnce() {
    // From the picture size, so whatever an earlier scene did to him is undone.
    sprGubb->angle = 0;
    sprGubb->drawWidth = sprGubb->width / 2;
    sprGubb->drawHeight = sprGubb->height / 2;
    sprGubbKropp->drawWidth = sprGubbKropp->width / 2;
    sprGubbKropp->drawHeight = sprGubbKropp->height / 2;
    sprKrabbe1->centerX = 400;
    sprKrabbe1->centerY = 400;
    anchorBottomLeft(sprKrabbe2, 100, 600);
    anchorBottomLeft(sprGubb, 100, 600);
    anchorBottomLeft(sprGubbKropp, 60, 620);
}

}  // namespace

bool sceneBlobBurst() {
    static SceneClock scene;

    const float t = beginSceneFrame(scene, placeOnce);

    drawWhiteBackdrop();

    // The crab first, so the old man overlaps it where they meet.
    if (t > 3.0f) {
        drawOverlay(*(singleSine(30.0f * t) > 0 ? sprKrabbe1 : sprKrabbe2));
        drawOverlay(*sprGubbKropp);
    } else {
        if (t > 2.0f)
            drawOverlay(*sprKrabbe1);
        drawOverlay(*sprGubb);
    }

    // Up to three blobs a frame at the centre of the field's 800x600 view, each living 4 s.
    if (t > 3.0f && t < 5.0f)
        gBlobField->spawn(400.0f, 300.0f, 2.0f);
    gBlobField->updateAndDraw();

    return endSceneFrame(scene, 7.0f);
}
