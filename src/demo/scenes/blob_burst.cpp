// Scene 5: on white, the old man at the bottom left; the crab shows up at 2 s; from 3 s the
// old man's body replaces him, the crab jumps between two pictures and a burst of red blobs
// sprays from the centre for two seconds. 7 s.
#include "demo/scenes/scene_common.h"
#include "gfx/blob_field.h"

namespace {

void place(Show& show) {
    BlobBurstState& s = show.scenes.blobBurst;
    s.gubb = asLoaded(*show.sprGubb);
    s.gubb.drawWidth = show.sprGubb->width / 2;
    s.gubb.drawHeight = show.sprGubb->height / 2;
    s.gubbKropp = asLoaded(*show.sprGubbKropp);
    s.gubbKropp.drawWidth = show.sprGubbKropp->width / 2;
    s.gubbKropp.drawHeight = show.sprGubbKropp->height / 2;
    s.krabbe1 = placedAt(*show.sprKrabbe1, 400, 400);
    s.krabbe2 = asLoaded(*show.sprKrabbe2);
    anchorBottomLeft(s.krabbe2, 100, 600);
    anchorBottomLeft(s.gubb, 100, 600);
    anchorBottomLeft(s.gubbKropp, 60, 620);
}

void drawFrame(Show& show, float t) {
    const BlobBurstState& s = show.scenes.blobBurst;
    const Screen screen = show.screen;

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
        show.blobField->spawn(400.0f, 300.0f, 2.0f);
    show.blobField->updateAndDraw();
}

}  // namespace

const Scene kBlobBurst = {"blob burst", 7.0f, place, drawFrame};
