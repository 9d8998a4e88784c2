// Sprites: the placement a picture is loaded with, the overlay draw in screen pixels (size,
// orientation, turning, culling, tint and blending), and what the draw leaves behind.
#include "gfx/sprite.h"

#include <array>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "gfx/blob_field.h"
#include "platform/gl.h"
#include "support/pictures.h"
#include "support/show_test.h"

namespace {

const Rgba kBlack{0, 0, 0, 255};
const Rgba kRed{255, 0, 0, 255};
const Rgba kBlue{0, 0, 255, 255};
const Rgba kWhite{255, 255, 255, 255};

class SpriteTest : public ShowTest {
  protected:
    void SetUp() override {
        ShowTest::SetUp();
        clear(0, 0, 0);
    }

    static void clear(float r, float g, float b) {
        glClearColor(r, g, b, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    std::string picture(const char* name, const Picture& content) {
        std::string path = dir.path(name);
        writePng(path, content, PngKind::rgb);
        return path;
    }

    TempDir dir;
    Screen screen{800, 600};
};

}  // namespace

TEST_F(SpriteTest, NewSpriteCoversItsOwnSizeFromTheTopLeft) {
    // Integer halves: a 7x5 picture as loaded, untinted and unturned, covers 6x4 pixels.
    Sprite sprite(picture("card.png", solidPicture(7, 5, kWhite)).c_str());
    drawOverlay(sprite, screen);
    for (auto [x, y, inside] : {std::tuple{0, 0, true}, {5, 3, true}, {6, 2, false}, {2, 4, false}})
        EXPECT_TRUE(pixelAt(x, y).closeTo(inside ? kWhite : kBlack)) << x << ", " << y;
    EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(SpriteTest, PictureIsUprightTurnsClockwiseAndMirroredQuadsAreCulled) {
    // A 64x64 picture of four colours, centred at (400, 300).
    const Rgba kGreen{0, 255, 0, 255};
    Sprite sprite(picture("four.png", quadrants(64, 64, {kRed, kGreen, kBlue, kWhite})).c_str());
    sprite.centerX = 400;
    sprite.centerY = 300;
    struct Case {
        const char* what;
        float angle;
        int drawWidth, drawHeight;
        Rgba seen[4];  // 16 pixels from the centre: top left, top right, bottom left and right
    };
    const Case cases[] = {
        {"upright", 0, 64, 64, {kRed, kGreen, kBlue, kWhite}},
        {"turned a quarter clockwise", 90, 64, 64, {kBlue, kRed, kWhite, kGreen}},
        {"mirrored left to right: culled", 0, -64, 64, {kBlack, kBlack, kBlack, kBlack}},
        {"mirrored top to bottom: culled", 0, 64, -64, {kBlack, kBlack, kBlack, kBlack}},
        {"mirrored both ways: turned half way", 0, -64, -64, {kWhite, kBlue, kGreen, kRed}},
        {"stretched", 0, 128, 32, {kRed, kGreen, kBlue, kWhite}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clear(0, 0, 0);
        sprite.angle = c.angle;
        sprite.drawWidth = c.drawWidth;
        sprite.drawHeight = c.drawHeight;
        drawOverlay(sprite, screen);
        for (int i = 0; i < 4; ++i) {
            const Rgba seen = pixelAt(i % 2 ? 416 : 384, i < 2 ? 292 : 308);
            EXPECT_TRUE(seen.closeTo(c.seen[i], 8)) << "quadrant " << i << ": " << seen;
        }
    }
}

TEST_F(SpriteTest, ColourTintsAndAlphaBlendsAndAnUnloadedSpriteDrawsItsTintFlat) {
    Sprite white(picture("white.png", solidPicture(64, 64, kWhite)).c_str());
    Sprite missing(dir.path("missing.png").c_str());
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
    Sprite sprite(picture("card.png", solidPicture(64, 64, kRed)).c_str());
    sprite.color[3] = 0.75f;
    BlobField blobs(picture("blob.png", solidPicture(64, 64, kWhite)).c_str());
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
        {[&] { blobs.updateAndDraw(); }, blobs.texture->id, {1, 0, 0, 1}},
    };
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
        {100, 100, 1.01f, 1.0f, 101, 100},
    };
    for (auto [width, height, widthFactor, heightFactor, scaledWidth, scaledHeight] : cases) {
        Placement placement{10, 20, width, height};
        scaleDrawSize(placement, widthFactor, heightFactor);
        EXPECT_EQ(std::tie(placement.drawWidth, placement.drawHeight, placement.centerX,
                           placement.centerY),
                  std::tuple(scaledWidth, scaledHeight, 10, 20))
            << width << " x " << height;
    }
}
