// The blob field: spawning, the explicit Euler step and the per-blob squares.
#include "gfx/blob_field.h"

#include "gfx/screen_draw.h"
#include "platform/gl.h"

namespace {

constexpr int kBlobsPerSpawn = 3;
constexpr int kHalfSize = 20;
constexpr double kGravity = 750.0;  // pixels per second squared, downwards
constexpr double kLifePerSecond = 0.5;

float randomVelocity(Random& random) {
    float unit = static_cast<float>(random.next() / 32767.0);
    return static_cast<float>(double(unit) * 1000.0 - 500.0);
}

}  // namespace

BlobField::BlobField(const char* pictureFile) {
    clock.start();
    texture = std::make_unique<Texture>(pictureFile);
}

void BlobField::reset() {
    for (Blob& blob : blobs)
        blob = Blob{};
    clock.restart();
}

int32_t BlobField::clockMs() {
    clock.update();
    return static_cast<int32_t>(double(clock.elapsed) * 1000.0);
}

void BlobField::spawn(float x, float y, float life) {
    int filled = 0;
    for (Blob& blob : blobs) {
        if (filled == kBlobsPerSpawn)
            break;
        if (blob.alive)
            continue;
        blob.alive = true;
        blob.x = x;
        blob.y = y;
        blob.life = life;
        blob.vx = randomVelocity(random);
        blob.vy = randomVelocity(random);
        blob.lastMs = clockMs();
        ++filled;
    }
}

void BlobField::updateAndDraw() {
    if (texture->loaded) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture->id);
    }
    // The field's own view: 800x600 with y upwards, whatever the screen size.
    beginScreenDraw(800, 600, YAxis::up);

    for (Blob& blob : blobs) {
        if (!blob.alive)
            continue;

        double dt = static_cast<float>((clockMs() - blob.lastMs) / 1000.0);
        // Explicit Euler: the position moves with the velocity from before this step.
        blob.x = static_cast<float>(blob.x + blob.vx * dt);
        blob.y = static_cast<float>(blob.y + blob.vy * dt);
        blob.vy = static_cast<float>(blob.vy - kGravity * dt);
        blob.life = static_cast<float>(blob.life - kLifePerSecond * dt);

        // Truncation toward zero, also for blobs left or below the view.
        int ix = static_cast<int>(blob.x);
        int iy = static_cast<int>(blob.y);
        glColor3f(1, 0, 0);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 1);
        glVertex2i(ix - kHalfSize, iy - kHalfSize);
        glTexCoord2f(1, 1);
        glVertex2i(ix + kHalfSize, iy - kHalfSize);
        glTexCoord2f(1, 0);
        glVertex2i(ix + kHalfSize, iy + kHalfSize);
        glTexCoord2f(0, 0);
        glVertex2i(ix - kHalfSize, iy + kHalfSize);
        glEnd();

        // The next step counts from after the drawing.
        blob.lastMs = clockMs();
        if (blob.life <= 0)
            blob.alive = false;
    }

    endScreenDraw();
}
