// Flat draws over the scene: sprites (the placement a picture is loaded with, size,
// orientation and turning in screen pixels, and the state a draw leaves behind), the blob
// field (spawning into the pool, the Euler step on each blob's own clock, where the squares
// land with the picture which way up).
#include <array>
#include <string>
#include <tuple>
#include <utility>

#include "gfx/blob_field.h"
#include "gfx/sprite.h"
#include "platform/gl.h"
#include "support/pictures.h"
#include "support/show_test.h"

namespace {

const Rgba kBlack{0, 0, 0, 255};
const Rgba kRed{255, 0, 0, 255};
const Rgba kWhite{255, 255, 255, 255};

// Each test draws on a black screen in a folder of its own, where the blob field finds a
// white "blob.png".
class DrawTest : public ShowTest {
  protected:
    void SetUp() override {
        ShowTest::SetUp();
        writeSolidPng("blob.png", 64, 64, kWhite);
        clear(0, 0, 0);
    }

    static void clear(float r, float g, float b) {
        glClearColor(r, g, b, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    // Spawns blobs with that life and leaves the first alone alive, at (x, y) in view pixels,
    // y upwards, with the velocity given.
    static Blob& lone(BlobField& field, float life, float x, float y, float vx = 0, float vy = 0) {
        field.spawn(0, 0, life);
        for (Blob& blob : field.blobs)
            blob.alive = false;
        Blob& blob = field.blobs[0];
        blob = {true, x, y, vx, vy, blob.life, blob.lastMs};
        return blob;
    }

    // The screen pixel of view point (x, y): the view's y runs upwards from the bottom.
    static Rgba viewPixel(int x, int y) { return pixelAt(x, 599 - y); }

    TempDir dir;
    InFolder in{dir.root()};
    Screen screen{800, 600};
};
using SpriteTest = DrawTest;
using BlobFieldTest = DrawTest;

}  // namespace

TEST_F(SpriteTest, NewSpriteCoversItsOwnSizeFromTheTopLeftAndLeavesBlendingOff) {
    // Integer halves: a 7x5 picture as loaded, untinted and unturned, covers 6x4 pixels.
    writePng("card.png", solidPicture(7, 5, kWhite));
    Sprite sprite("card.png");
    drawOverlay(sprite, screen);
    for (auto [x, y, inside] : {std::tuple{0, 0, true}, {5, 3, true}, {6, 2, false}, {2, 4, false}})
        EXPECT_TRUE(pixelAt(x, y).closeTo(inside ? kWhite : kBlack)) << x << ", " << y;
    // The scene's next draw finds blending off and the model-view matrix current.
    GLint matrixMode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    EXPECT_EQ(std::tuple(glIsEnabled(GL_BLEND), matrixMode),
              std::tuple(GLboolean{GL_FALSE}, GL_MODELVIEW));
    EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(SpriteTest, PictureIsUprightAndTurnsClockwise) {
    // A 64x64 picture of four colours, centred at (400, 300).
    const Rgba kGreen{0, 255, 0, 255};
    const Rgba kBlue{0, 0, 255, 255};
    Picture four = splitPicture(64, 64, 32, kGreen, kWhite);  // the right half
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 32; ++x)
            four.at(x, y) = y < 32 ? kRed : kBlue;
    }
    writePng("four.png", four);
    Sprite sprite("four.png");
    sprite.centerX = 400;
    sprite.centerY = 300;
    // What shows 16 pixels from the centre: top left, top right, bottom left and right.
    const std::tuple<const char*, float, std::array<Rgba, 4>> cases[] = {
        {"upright", 0, {kRed, kGreen, kBlue, kWhite}},
        {"turned a quarter clockwise", 90, {kBlue, kRed, kWhite, kGreen}}};
    for (const auto& [what, angle, seen] : cases) {
        SCOPED_TRACE(what);
        clear(0, 0, 0);
        sprite.angle = angle;
        drawOverlay(sprite, screen);
        for (int i = 0; i < 4; ++i) {
            const Rgba pixel = pixelAt(i % 2 ? 416 : 384, i < 2 ? 292 : 308);
            EXPECT_TRUE(pixel.closeTo(seen[i], 8)) << "quadrant " << i << ": " << pixel;
        }
    }
}

TEST(SpriteScale, DrawnSizeRoundsDownAndCentreStays) {
    // 100 * 1.01f is 100.999999...; rounded to single precision first it is 101, which a
    // floor in double precision would miss.
    const std::tuple<int, int, float, float, int, int> cases[] = {
        {120, 120, 0.99f, 0.99f, 118, 118}, {100, 100, 1.01f, 1.0f, 101, 100}};
    for (auto [width, height, widthFactor, heightFactor, scaledWidth, scaledHeight] : cases) {
        Placement placement{10, 20, width, height};
        scaleDrawSize(placement, widthFactor, heightFactor);
        EXPECT_EQ(std::tie(placement.drawWidth, placement.drawHeight, placement.centerX,
                           placement.centerY),
                  std::tuple(scaledWidth, scaledHeight, 10, 20))
            << width << " x " << height;
    }
}

TEST_F(BlobFieldTest, SpawnFillsTheFirstFreeRecordsThreeAtATime) {
    BlobField field("blob.png");
    advanceClock(0.25);
    for (int i = 0; i < 3; ++i)
        field.spawn(400, 300, 2);
    for (int i = 0; i < BlobField::kBlobCount; ++i)
        EXPECT_EQ(field.blobs[i].alive, i < 9) << i;
    const Blob& ninth = field.blobs[8];
    EXPECT_EQ(std::tuple(ninth.x, ninth.y, ninth.life, ninth.lastMs), std::tuple(400, 300, 2, 250));
    // Two numbers of the sequence each, the first for vx, mapped from [0, 32767] onto
    // [-500, 500]: 41, 18467, then 6334.
    EXPECT_NEAR(field.blobs[0].vx, -498.749, 0.001);
    EXPECT_NEAR(field.blobs[0].vy, 63.585, 0.001);
    EXPECT_NEAR(field.blobs[1].vx, -306.696, 0.001);
}

TEST_F(BlobFieldTest, BlobFliesUnderGravityAndIsDrawnUprightUntilItsLifeIsUsedUp) {
    // White above black: the square is red at the top, black at the bottom.
    writePng("blob.png", splitPicture(64, 64, 32, kWhite, kBlack));
    BlobField field("blob.png");
    // Up out of the view and back down in four one-second steps; the position moves with
    // the velocity from before each step, so it comes back exactly to its height.
    Blob& blob = lone(field, 2, 400, 300, -25, 1125);
    const float expectedY[4] = {1425, 1800, 1425, 300};
    for (int step = 0; step < 4; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        EXPECT_TRUE(blob.alive);
        advanceClock(1.0);
        clear(0, 0, 0);
        field.updateAndDraw();
        EXPECT_EQ(blob.x, 400 - 25 * (step + 1));
        EXPECT_EQ(blob.y, expectedY[step]);
        EXPECT_EQ(blob.life, 1.5f - 0.5f * step);
    }
    EXPECT_EQ(blob.vy, 1125 - 4 * 750);
    EXPECT_FALSE(blob.alive);
    // Drawn on its last update, around (300, 300); points off the centre line tell a corner
    // given the wrong texture row apart.
    for (auto [y, seen] : {std::pair{312, kRed}, {288, kBlack}})
        EXPECT_TRUE(viewPixel(296, y).closeTo(seen)) << viewPixel(296, y);
}

TEST_F(BlobFieldTest, SquaresSitWhereTheModelSays) {
    BlobField field("blob.png");
    // -10.7 truncates to -10 (a floor would give -11): the square spans x -30 to 10.
    lone(field, 3, -10.7f, 300.9f);
    field.updateAndDraw();
    // Each edge: the last pixel inside, red, and the first outside, black.
    const std::tuple<int, int, bool> edges[] = {{9, 300, true},  {10, 300, false}, {0, 280, true},
                                                {0, 279, false}, {0, 319, true},   {0, 320, false}};
    for (auto [x, y, inside] : edges)
        EXPECT_TRUE(viewPixel(x, y).closeTo(inside ? kRed : kBlack)) << x << ", " << y;
}
