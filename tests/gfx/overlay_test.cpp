// Flat draws over the scene: sprites (the placement a picture is loaded with, size,
// orientation, turning, culling, tint and blending in screen pixels), the blob field (the
// random sequence, spawning into the pool, the Euler step on each blob's own clock, where
// the squares land with the picture which way up), and the state both leave behind.
#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "gfx/blob_field.h"
#include "gfx/random.h"
#include "gfx/sprite.h"
#include "platform/gl.h"
#include "support/pictures.h"
#include "support/show_test.h"

namespace {

const Rgba kBlack{0, 0, 0, 255};
const Rgba kRed{255, 0, 0, 255};
const Rgba kBlue{0, 0, 255, 255};
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

    // Writes the picture as a PNG file by that name, and gives the name back.
    static const char* picture(const char* name, const Picture& content) {
        writePng(name, content);
        return name;
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

std::vector<int> aliveIndices(const BlobField& field) {
    std::vector<int> result;
    for (int i = 0; i < BlobField::kBlobCount; ++i) {
        if (field.blobs[i].alive)
            result.push_back(i);
    }
    return result;
}

}  // namespace

TEST_F(SpriteTest, NewSpriteCoversItsOwnSizeFromTheTopLeft) {
    // Integer halves: a 7x5 picture as loaded, untinted and unturned, covers 6x4 pixels.
    Sprite sprite(picture("card.png", solidPicture(7, 5, kWhite)));
    drawOverlay(sprite, screen);
    for (auto [x, y, inside] : {std::tuple{0, 0, true}, {5, 3, true}, {6, 2, false}, {2, 4, false}})
        EXPECT_TRUE(pixelAt(x, y).closeTo(inside ? kWhite : kBlack)) << x << ", " << y;
    EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(SpriteTest, PictureIsUprightTurnsClockwiseAndMirroredQuadsAreCulled) {
    // A 64x64 picture of four colours, centred at (400, 300).
    const Rgba kGreen{0, 255, 0, 255};
    Picture four = splitPicture(64, 64, 32, kGreen, kWhite);  // the right half
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 32; ++x)
            four.at(x, y) = y < 32 ? kRed : kBlue;
    }
    Sprite sprite(picture("four.png", four));
    sprite.centerX = 400;
    sprite.centerY = 300;
    // What shows 16 pixels from the centre: top left, top right, bottom left and right.
    using Seen = std::array<Rgba, 4>;
    const std::tuple<const char*, float, int, int, Seen> cases[] = {
        {"upright", 0, 64, 64, {kRed, kGreen, kBlue, kWhite}},
        {"turned a quarter clockwise", 90, 64, 64, {kBlue, kRed, kWhite, kGreen}},
        {"mirrored left to right: culled", 0, -64, 64, {kBlack, kBlack, kBlack, kBlack}},
        {"mirrored top to bottom: culled", 0, 64, -64, {kBlack, kBlack, kBlack, kBlack}},
        {"mirrored both ways: turned half way", 0, -64, -64, {kWhite, kBlue, kGreen, kRed}},
        {"stretched", 0, 128, 32, {kRed, kGreen, kBlue, kWhite}}};
    for (const auto& [what, angle, drawWidth, drawHeight, seen] : cases) {
        SCOPED_TRACE(what);
        clear(0, 0, 0);
        sprite.angle = angle;
        sprite.drawWidth = drawWidth;
        sprite.drawHeight = drawHeight;
        drawOverlay(sprite, screen);
        for (int i = 0; i < 4; ++i) {
            const Rgba pixel = pixelAt(i % 2 ? 416 : 384, i < 2 ? 292 : 308);
            EXPECT_TRUE(pixel.closeTo(seen[i], 8)) << "quadrant " << i << ": " << pixel;
        }
    }
}

TEST_F(SpriteTest, ColourTintsAndAlphaBlendsAndAnUnloadedSpriteDrawsItsTintFlat) {
    Sprite white(picture("white.png", solidPicture(64, 64, kWhite)));
    Sprite missing("missing.png");
    EXPECT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(std::tie(missing.loaded, missing.drawWidth, missing.drawHeight, missing.centerX),
              std::tuple(false, 0, 0, 0));
    missing.centerX = missing.centerY = 32;
    missing.drawWidth = missing.drawHeight = 40;
    // Half-transparent green over a white picture, half-transparent red with none.
    white.color[0] = white.color[2] = missing.color[1] = missing.color[2] = 0;
    white.color[3] = missing.color[3] = 0.5f;
    const std::pair<Sprite*, Rgba> cases[] = {{&white, {0, 128, 128, 255}},
                                              {&missing, {128, 0, 128, 255}}};
    for (auto [sprite, seen] : cases) {
        clear(0, 0, 1);
        drawOverlay(*sprite, screen);
        EXPECT_TRUE(pixelAt(32, 32).closeTo(seen, 2)) << pixelAt(32, 32) << " not " << seen;
        EXPECT_TRUE(pixelAt(100, 32).closeTo(kBlue));
    }
}

TEST_F(SpriteTest, SpritesAndBlobsLeaveTheDocumentedStateAndNoScreenSizeTouchesNothing) {
    Sprite sprite(picture("card.png", solidPicture(64, 64, kRed)));
    sprite.color[3] = 0.75f;
    BlobField blobs("blob.png");
    blobs.spawn(400, 300, 1);
    DrawState::setUnusual();
    const DrawState before = DrawState::read();
    for (Screen without : {Screen{800, 0}, Screen{0, 600}})
        drawOverlay(sprite, without);
    EXPECT_EQ(sink.texts(), std::vector<std::string>(2, "Can't draw overlay without window size."));
    EXPECT_TRUE(DrawState::read() == before);
    EXPECT_TRUE(pixelAt(32, 32).closeTo(kBlack));

    // Each draw leaves its picture bound and its colour current.
    const std::tuple<std::function<void()>, GLuint, std::array<GLfloat, 4>> draws[] = {
        {[&] { drawOverlay(sprite, screen); }, sprite.id, {1, 1, 1, 0.75f}},
        {[&] { blobs.updateAndDraw(); }, blobs.texture->id, {1, 0, 0, 1}}};
    for (const auto& [draw, texture, color] : draws) {
        DrawState::setUnusual();
        DrawState expected = DrawState::read();
        draw();
        expected.matrixMode = GL_MODELVIEW;
        expected.lighting = expected.blend = expected.texture = false;
        expected.blendSrc = GL_SRC_ALPHA;
        expected.blendDst = GL_ONE_MINUS_SRC_ALPHA;
        expected.boundTexture = static_cast<GLint>(texture);
        expected.color = color;
        EXPECT_TRUE(DrawState::read() == expected);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(SpriteScale, DrawnSizeRoundsDownAndCentreStays) {
    // 100 * 1.01f is 100.999999...; rounded to single precision first it is 101, which a
    // floor in double precision would miss.
    const std::tuple<int, int, float, float, int, int> cases[] = {
        {120, 120, 0.99f, 0.99f, 118, 118},
        {5, -5, 0.5f, 0.5f, 2, -3},
        {100, 100, 1.01f, 1.0f, 101, 100}};
    for (auto [width, height, widthFactor, heightFactor, scaledWidth, scaledHeight] : cases) {
        Placement placement{10, 20, width, height};
        scaleDrawSize(placement, widthFactor, heightFactor);
        EXPECT_EQ(std::tie(placement.drawWidth, placement.drawHeight, placement.centerX,
                           placement.centerY),
                  std::tuple(scaledWidth, scaledHeight, 10, 20))
            << width << " x " << height;
    }
}

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
    EXPECT_TRUE(viewPixel(300, 300).closeTo(kRed)) << "drawn on its last update";

    advanceClock(1.0);
    clear(0, 0, 0);
    field.updateAndDraw();
    EXPECT_TRUE(viewPixel(300, 300).closeTo(kBlack));
}

TEST_F(BlobFieldTest, ThePictureIsUprightOnEachSquare) {
    // White above black: the square at (400, 300) is red at the top, black at the bottom.
    // Points off the centre line tell a corner given the wrong texture row apart.
    writePng("blob.png", splitPicture(64, 64, 32, kWhite, kBlack));
    BlobField field("blob.png");
    lone(field, 3, 400, 300);
    field.updateAndDraw();
    EXPECT_TRUE(viewPixel(396, 312).closeTo(kRed)) << viewPixel(396, 312);
    EXPECT_TRUE(viewPixel(396, 288).closeTo(kBlack)) << viewPixel(396, 288);
}

TEST_F(BlobFieldTest, SquaresSitWhereTheModelSaysWithOrWithoutThePicture) {
    for (bool picture : {true, false}) {
        SCOPED_TRACE(picture ? "with blob.png" : "without blob.png");
        if (!picture)
            std::filesystem::remove("blob.png");
        clear(0, 0, 0);
        BlobField field("blob.png");
        EXPECT_EQ(field.texture->loaded, picture);
        EXPECT_EQ(sink.texts(),
                  picture ? std::vector<std::string>{}
                          : std::vector<std::string>{"Texture load: Can't load the texture in "
                                                     "file 'blob.png' for some reason."});
        // -10.7 truncates to -10 (a floor would give -11): the square spans x -30 to 10.
        lone(field, 3, -10.7f, 300.9f);
        field.updateAndDraw();
        // Each edge: the last pixel inside, red, and the first outside, black.
        const std::tuple<int, int, bool> edges[] = {{9, 300, true}, {10, 300, false},
                                                    {0, 280, true}, {0, 279, false},
                                                    {0, 319, true}, {0, 320, false}};
        for (auto [x, y, inside] : edges)
            EXPECT_TRUE(viewPixel(x, y).closeTo(inside ? kRed : kBlack)) << x << ", " << y;
    }
}
