#include "gfx/sprite.h"

#include <array>
#include <string>
#include <vector>

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
        glClearColor(0, 0, 0, 1);
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

// The GL state an overlay draw may touch, read back in one go.
struct OverlayState {
    GLint matrixMode = 0;
    bool lighting = false, blend = false, texture = false;
    GLint blendSrc = 0, blendDst = 0, boundTexture = 0;
    std::array<GLfloat, 4> color{};
    std::array<GLfloat, 16> modelview{}, projection{};

    static OverlayState read() {
        OverlayState s;
        glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
        s.lighting = glIsEnabled(GL_LIGHTING);
        s.blend = glIsEnabled(GL_BLEND);
        s.texture = glIsEnabled(GL_TEXTURE_2D);
        glGetIntegerv(GL_BLEND_SRC, &s.blendSrc);
        glGetIntegerv(GL_BLEND_DST, &s.blendDst);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.boundTexture);
        glGetFloatv(GL_CURRENT_COLOR, s.color.data());
        glGetFloatv(GL_MODELVIEW_MATRIX, s.modelview.data());
        glGetFloatv(GL_PROJECTION_MATRIX, s.projection.data());
        return s;
    }
    bool operator==(const OverlayState&) const = default;
};

// Something other than what a draw leaves behind, in every piece of that state.
void setUnusualState() {
    glEnable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glBlendFunc(GL_ONE, GL_ONE);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(1, 2, -30);
    glMatrixMode(GL_PROJECTION);
}

}  // namespace

TEST_F(SpriteTest, NewSpriteCoversItsOwnSizeFromTheTopLeft) {
    Sprite sprite(picture("card.png", solidPicture(200, 100, kRed)).c_str());
    EXPECT_TRUE(sprite.loaded);
    EXPECT_EQ(sprite.centerX, 100);
    EXPECT_EQ(sprite.centerY, 50);
    EXPECT_EQ(sprite.drawWidth, 200);
    EXPECT_EQ(sprite.drawHeight, 100);
    EXPECT_EQ(sprite.angle, 0.0f);
    EXPECT_EQ(std::vector<float>(sprite.color, sprite.color + 4), (std::vector<float>{1, 1, 1, 1}));

    drawOverlay(sprite, screen);
    EXPECT_TRUE(pixelAt(0, 0).closeTo(kRed));
    EXPECT_TRUE(pixelAt(199, 0).closeTo(kRed));
    EXPECT_TRUE(pixelAt(0, 99).closeTo(kRed));
    EXPECT_TRUE(pixelAt(199, 99).closeTo(kRed));
    EXPECT_TRUE(pixelAt(200, 50).closeTo(kBlack));
    EXPECT_TRUE(pixelAt(100, 100).closeTo(kBlack));
    EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(SpriteTest, OddSizesDrawOnePixelSmaller) {
    Sprite sprite(picture("seven.png", solidPicture(7, 5, kRed)).c_str());
    EXPECT_EQ(sprite.centerX, 3);
    EXPECT_EQ(sprite.centerY, 2);
    drawOverlay(sprite, screen);
    // Halves of 3 and 2 around (3, 2): x from 0 to 6, y from 0 to 4.
    EXPECT_TRUE(pixelAt(5, 3).closeTo(kRed));
    EXPECT_TRUE(pixelAt(6, 2).closeTo(kBlack));
    EXPECT_TRUE(pixelAt(3, 4).closeTo(kBlack));
}

TEST_F(SpriteTest, PictureIsUprightAndTurnsClockwise) {
    // A 64x64 picture whose top quarter is red, centred at (400, 300).
    Sprite sprite(picture("top.png", splitPicture(64, 64, 16, kRed, kBlue)).c_str());
    sprite.centerX = 400;
    sprite.centerY = 300;
    drawOverlay(sprite, screen);
    EXPECT_TRUE(pixelAt(400, 272).closeTo(kRed, 8)) << pixelAt(400, 272);
    EXPECT_TRUE(pixelAt(400, 328).closeTo(kBlue, 8));

    glClear(GL_COLOR_BUFFER_BIT);
    sprite.angle = 90;
    drawOverlay(sprite, screen);
    EXPECT_TRUE(pixelAt(428, 300).closeTo(kRed, 8)) << pixelAt(428, 300);
    EXPECT_TRUE(pixelAt(372, 300).closeTo(kBlue, 8));
    EXPECT_TRUE(pixelAt(400, 272).closeTo(kBlue, 8));
}

TEST_F(SpriteTest, ColourTintsAndBlends) {
    Sprite sprite(picture("white.png", solidPicture(64, 64, kWhite)).c_str());
    sprite.color[1] = 0;
    sprite.color[2] = 0;
    drawOverlay(sprite, screen);
    EXPECT_TRUE(pixelAt(32, 32).closeTo(kRed));

    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    sprite.color[1] = 1;
    sprite.color[2] = 1;
    sprite.color[3] = 0.5f;
    drawOverlay(sprite, screen);
    EXPECT_TRUE(pixelAt(32, 32).closeTo({128, 128, 255, 255}, 2)) << pixelAt(32, 32);
    EXPECT_TRUE(pixelAt(100, 32).closeTo(kBlue));
}

TEST_F(SpriteTest, MirroredQuadIsCulledAndDoublyMirroredTurnsHalfWay) {
    Sprite sprite(picture("top.png", splitPicture(64, 64, 16, kRed, kBlue)).c_str());
    sprite.centerX = 400;
    sprite.centerY = 300;
    sprite.drawWidth = -64;
    drawOverlay(sprite, screen);
    EXPECT_TRUE(pixelAt(400, 300).closeTo(kBlack));
    sprite.drawWidth = 64;
    sprite.drawHeight = -64;
    drawOverlay(sprite, screen);
    EXPECT_TRUE(pixelAt(400, 300).closeTo(kBlack));

    sprite.drawWidth = -64;
    drawOverlay(sprite, screen);
    EXPECT_TRUE(pixelAt(400, 328).closeTo(kRed, 8)) << pixelAt(400, 328);
    EXPECT_TRUE(pixelAt(400, 272).closeTo(kBlue, 8));
}

TEST_F(SpriteTest, UnloadedSpriteDrawsItsTintFlat) {
    Sprite sprite(dir.path("missing.png").c_str());
    EXPECT_EQ(sink.boxes.size(), 1u);
    EXPECT_FALSE(sprite.loaded);
    EXPECT_EQ(sprite.drawWidth, 0);
    EXPECT_EQ(sprite.drawHeight, 0);
    EXPECT_EQ(sprite.centerX, 0);
    EXPECT_EQ(sprite.centerY, 0);

    sprite.centerX = sprite.centerY = 50;
    sprite.drawWidth = sprite.drawHeight = 40;
    sprite.color[0] = 0;
    sprite.color[1] = 1;
    sprite.color[2] = 0;
    drawOverlay(sprite, screen);
    EXPECT_TRUE(pixelAt(50, 50).closeTo({0, 255, 0, 255}));
}

TEST_F(SpriteTest, MissingScreenSizeIsReportedAndChangesNothing) {
    Sprite sprite(picture("card.png", solidPicture(64, 64, kRed)).c_str());
    setUnusualState();
    OverlayState before = OverlayState::read();
    for (Screen without : {Screen{800, 0}, Screen{0, 600}})
        drawOverlay(sprite, without);
    EXPECT_EQ(sink.texts(), (std::vector<std::string>{"Can't draw overlay without window size.",
                                                      "Can't draw overlay without window size."}));
    EXPECT_TRUE(OverlayState::read() == before);
    EXPECT_TRUE(pixelAt(32, 32).closeTo(kBlack));
}

TEST_F(SpriteTest, DrawLeavesTheDocumentedState) {
    Sprite sprite(picture("card.png", solidPicture(64, 64, kRed)).c_str());
    sprite.color[3] = 0.75f;
    setUnusualState();
    OverlayState before = OverlayState::read();
    drawOverlay(sprite, screen);
    OverlayState after = OverlayState::read();

    EXPECT_EQ(after.matrixMode, GL_MODELVIEW);
    EXPECT_FALSE(after.lighting);
    EXPECT_FALSE(after.blend);
    EXPECT_FALSE(after.texture);
    EXPECT_EQ(after.blendSrc, GL_SRC_ALPHA);
    EXPECT_EQ(after.blendDst, GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(static_cast<GLuint>(after.boundTexture), sprite.id);
    EXPECT_EQ(after.color, (std::array<GLfloat, 4>{1, 1, 1, 0.75f}));
    EXPECT_EQ(after.modelview, before.modelview);
    EXPECT_EQ(after.projection, before.projection);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(SpriteScale, DrawnSizeRoundsDownAndCentreStays) {
    Sprite sprite;
    sprite.centerX = 10;
    sprite.centerY = 20;
    sprite.drawWidth = 120;
    sprite.drawHeight = 120;
    scaleDrawSize(sprite, 0.99f, 0.99f);
    EXPECT_EQ(sprite.drawWidth, 118);
    EXPECT_EQ(sprite.drawHeight, 118);
    EXPECT_EQ(sprite.centerX, 10);
    EXPECT_EQ(sprite.centerY, 20);

    sprite.drawWidth = 5;
    sprite.drawHeight = -5;
    scaleDrawSize(sprite, 0.5f, 0.5f);
    EXPECT_EQ(sprite.drawWidth, 2);
    EXPECT_EQ(sprite.drawHeight, -3);

    // 100 * 1.01f is 100.999999...; rounded to single precision first it is 101, which a
    // floor in double precision would miss.
    sprite.drawWidth = 100;
    scaleDrawSize(sprite, 1.01f, 1.0f);
    EXPECT_EQ(sprite.drawWidth, 101);
}
