// Scene 5: on white, the old man at the bottom left; the crab shows up at 2 s; from 3 s the
// old man's body replaces him, the crab jumps between two pictures and a burst of red blobs
// sprays from the centre for two seconds. 7 s.
#include "demo/scenes/scene_common.h"
#include "gfx/blob_field.h"

namespace {

void place(BlobBurstState& s, const Stage& stage) {
    s.gubb = asLoaded(*stage.sprites.sprGubb);
    s.gubb.drawWidth = stage.sprites.sprGubb->width / 2;
    s.gubb.drawHeight = stage.sprites.sprGubb->height / 2;
    s.gubbKropp = asLoaded(*stage.sprites.sprGubbKropp);
    s.gubbKropp.drawWidth = stage.sprites.sprGubbKropp->width / 2;
    s.gubbKropp.drawHeight = stage.sprites.sprGubbKropp->height / 2;
    s.krabbe1 = placedAt(*stage.sprites.sprKrabbe1, 400, 400);
    s.krabbe2 = asLoaded(*stage.sprites.sprKrabbe2);
    anchorBottomLeft(s.krabbe2, 100, 600);
    anchorBottomLeft(s.gubb, 100, 600);
    anchorBottomLeft(s.gubbKropp, 60, 620);
}

void drawFrame(const BlobBurstState& s, const Stage& stage, float t) {
    const Screen screen = stage.screen;

    drawWhiteBackdrop();

    // The crab first, so the old man overlaps it where they meet.
    if (t > 3.0f) {
        draw(takingTurns(30.0f, t, s.krabbe1, s.krabbe2), screen);
        draw(s.gubbKropp, screen);
    } else {
        if (t > 2.0f)
            draw(s.krabbe1, screen);
        draw(s.gubb, screen);
    }

    // Up to three blobs a frame at the centre of the field's 800x600 view, each living 4 s.
    if (t > 3.0f && t < 5.0f)
        stage.blobField.spawn(400.0f, 300.0f, 2.0f);
    stage.blobField.updateAndDraw();
}

}  // namespace

const Scene kBlobBurst = sceneOf<&SceneStates::blobBurst, place, drawFrame>("blob burst", 7.0f);
