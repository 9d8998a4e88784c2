// The blob field: a fixed pool of red textured particles flying under gravity.
//
// Blobs live in an 800x600 view with the origin at the lower left and y upwards, whatever
// the screen size. Each blob keeps the field clock's millisecond at its last update and is
// stepped by the time since then, so its path does not depend on the frame rate beyond
// millisecond rounding.
#pragma once

#include <cstdint>
#include <memory>

#include "base/stopwatch.h"
#include "gfx/random.h"
#include "gfx/texture.h"

struct Blob {
    bool alive = false;
    float x = 0;  // centre, pixels
    float y = 0;
    float vx = 0;        // pixels per second; fixed at spawning
    float vy = 0;        // positive upwards
    float life = 0;      // falls by 0.5 per second: a blob spawned with life L lives 2L seconds
    int32_t lastMs = 0;  // the field clock in whole milliseconds at spawning or last update
};

class BlobField {
  public:
    static constexpr int kBlobCount = 1024;

    // Starts the clock and loads the blobs' picture; a failed load is reported by the
    // loader and the blobs are drawn untextured. Needs a current context.
    explicit BlobField(const char* pictureFile);

    // Brings up to three free records to life at (x, y), lowest free index first, each with
    // a random velocity in [-500, 500] on both axes (two numbers of `random`, the first for
    // vx). A full pool takes nothing, silently.
    void spawn(float x, float y, float life);

    // Steps every live blob by its own time since its last update, draws it as a 40x40
    // square tinted red, and retires it once its life is used up; a blob is drawn on its
    // last update too. Nothing is culled: blobs outside the view are stepped and drawn.
    //
    // Leaves behind: GL_LIGHTING, GL_TEXTURE_2D and GL_BLEND disabled; blend function
    // (GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); current colour red; the blob texture bound when
    // loaded; matrix mode GL_MODELVIEW; both matrices as they were.
    void updateAndDraw();

    // Every blob dead and the clock started again from now, as when the field was made;
    // the texture and the random sequence stay as they are.
    void reset();

    Stopwatch clock;
    Random random;  // the field is the sequence's one user
    std::unique_ptr<Texture> texture;
    Blob blobs[kBlobCount];

  private:
    int32_t clockMs();
};
