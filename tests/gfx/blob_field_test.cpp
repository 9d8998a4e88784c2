// The blob field: the random sequence, spawning into the pool, the Euler step on each blob's
// own clock, and where the squares land with the picture which way up. (The state the draw
// leaves behind is checked with the sprites'.)
#include "gfx/blob_field.h"

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "gfx/random.h"
#include "platform/gl.h"
#include "support/pictures.h"
#include "support/show_test.h"

namespace {

const Rgba kBlack{0, 0, 0, 255};
const Rgba kRed{255, 0, 0, 255};

// The field reads "blob.png" from the working folder: each test gets one with a white one.
class BlobFieldTest : public ShowTest {
  protected:
    void SetUp() override {
        ShowTest::SetUp();
        writeSolidPng("blob.png", 64, 64, {255, 255, 255, 255});
        clear();
    }

    static void clear() {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    // The first blob alone alive, at (x, y) in view pixels, y upwards.
    static Blob& only(BlobField& field, float x, float y, float vx = 0, float vy = 0) {
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
};

std::vector<int> aliveIndices(const BlobField& field) {
    std::vector<int> result;
    for (int i = 0; i < BlobField::kBlobCount; ++i) {
        if (field.blobs[i].alive)
            result.push_back(i);
    }
    return result;
}

}  // namespace

TEST(Random, TheClassicSequenceOfSeedOneAgainAfterReseeding) {
    Random random;
    for (int pass = 0; pass < 2; ++pass, random.seed(1)) {
        for (int value : {41, 18467, 6334, 26500})
            EXPECT_EQ(random.next(), value) << "pass " << pass;
    }
}

TEST_F(BlobFieldTest, SpawnFillsTheLowestFreeRecordsThreeAtATimeUntilThePoolIsFull) {
    BlobField field("blob.png");
    advanceClock(0.25);
    for (int i = 0; i < 3; ++i)
        field.spawn(400, 300, 2);
    EXPECT_EQ(aliveIndices(field), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    const Blob& ninth = field.blobs[8];
    EXPECT_EQ(std::tuple(ninth.x, ninth.y, ninth.life, ninth.lastMs), std::tuple(400, 300, 2, 250));
    // Two numbers of the sequence each, the first for vx, mapped from [0, 32767] onto
    // [-500, 500]: 41, 18467, then 6334.
    EXPECT_NEAR(field.blobs[0].vx, -498.749, 0.001);
    EXPECT_NEAR(field.blobs[0].vy, 63.585, 0.001);
    EXPECT_NEAR(field.blobs[1].vx, -306.696, 0.001);

    field.blobs[4].alive = false;
    advanceClock(0.5);
    field.spawn(10, 20, 1);
    EXPECT_EQ(aliveIndices(field).size(), 11u);
    EXPECT_EQ(
        std::tuple(field.blobs[4].x, field.blobs[4].lastMs, field.blobs[10].y, field.blobs[3].x),
        std::tuple(10, 750, 20, 400));

    while (aliveIndices(field).size() < BlobField::kBlobCount)
        field.spawn(1, 1, 1);
    field.blobs[1023].x = 55;
    field.spawn(2, 2, 1);
    EXPECT_EQ(field.blobs[1023].x, 55) << "a full pool takes nothing";
    EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(BlobFieldTest, BlobFliesUnderGravityAndIsDrawnUntilItsLifeIsUsedUp) {
    BlobField field("blob.png");
    field.spawn(0, 0, 2);
    // Up out of the view and back down in four one-second steps; the position moves with
    // the velocity from before each step, so it comes back exactly to its height.
    Blob& blob = only(field, 400, 300, -25, 1125);
    const float expectedY[4] = {1425, 1800, 1425, 300};
    for (int step = 0; step < 4; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        EXPECT_TRUE(blob.alive);
        advanceClock(1.0);
        clear();
        field.updateAndDraw();
        EXPECT_EQ(blob.x, 400 - 25 * (step + 1));
        EXPECT_EQ(blob.y, expectedY[step]);
        EXPECT_EQ(blob.life, 1.5f - 0.5f * step);
    }
    EXPECT_EQ(blob.vy, 1125 - 4 * 750);
    EXPECT_FALSE(blob.alive);
    EXPECT_TRUE(viewPixel(300, 300).closeTo(kRed)) << "drawn on its last update";

    advanceClock(1.0);
    clear();
    field.updateAndDraw();
    EXPECT_TRUE(viewPixel(300, 300).closeTo(kBlack));
}

TEST_F(BlobFieldTest, EachBlobStepsByItsOwnWholeMillisecondsSinceItsLastUpdate) {
    BlobField field("blob.png");
    field.spawn(0, 0, 5);
    only(field, 400, 300, 100, 0);
    advanceClock(0.5004);
    field.updateAndDraw();
    EXPECT_EQ(field.blobs[0].x, 450) << "moved by whole milliseconds";
    // A blob spawned later counts from its own spawning, not from the last frame.
    advanceClock(0.2496);
    field.spawn(100, 100, 5);
    field.blobs[1].vx = 1000;
    advanceClock(0.25);
    field.updateAndDraw();
    EXPECT_EQ(std::tuple(field.blobs[0].x, field.blobs[1].x, field.blobs[1].lastMs),
              std::tuple(500, 350, 1000));
}

TEST_F(BlobFieldTest, ThePictureIsUprightOnEachSquare) {
    // White above black: the square at (400, 300) is red at the top, black at the bottom.
    // Points off the centre line tell a corner given the wrong texture row apart.
    writePng("blob.png", splitPicture(64, 64, 32, {255, 255, 255, 255}, kBlack));
    BlobField field("blob.png");
    field.spawn(0, 0, 3);
    only(field, 400, 300);
    field.updateAndDraw();
    EXPECT_TRUE(viewPixel(396, 312).closeTo(kRed)) << viewPixel(396, 312);
    EXPECT_TRUE(viewPixel(396, 288).closeTo(kBlack)) << viewPixel(396, 288);
}

TEST_F(BlobFieldTest, SquaresSitWhereTheModelSaysWithOrWithoutThePicture) {
    for (bool picture : {true, false}) {
        SCOPED_TRACE(picture ? "with blob.png" : "without blob.png");
        if (!picture)
            std::filesystem::remove("blob.png");
        clear();
        BlobField field("blob.png");
        EXPECT_EQ(field.texture->loaded, picture);
        EXPECT_EQ(sink.texts(),
                  picture ? std::vector<std::string>{}
                          : std::vector<std::string>{"Texture load: Can't load the texture in "
                                                     "file 'blob.png' for some reason."});
        field.spawn(0, 0, 3);
        // -10.7 truncates to -10 (a floor would give -11): the square spans x -30 to 10.
        only(field, -10.7f, 300.9f);
        field.updateAndDraw();
        // Each edge: the last pixel inside, red, and the first outside, black.
        for (auto [x, y, inside] : {std::tuple{9, 300, true},
                                    {10, 300, false},
                                    {0, 280, true},
                                    {0, 279, false},
                                    {0, 319, true},
                                    {0, 320, false}})
            EXPECT_TRUE(viewPixel(x, y).closeTo(inside ? kRed : kBlack)) << x << ", " << y;
    }
}
