// The OpenGL 1.1 that src/platform/web/gl.cpp supplies or maps for emscripten's legacy GL
// emulation, on a real WebGL context in headless Chromium: what each call leaves in the
// GL's error state, and what a viewer would see (pixels read back).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/gl_window.h"
#include "platform/gl.h"
#include "platform/message_box.h"

namespace {

struct Rgb {
    int r = 0, g = 0, b = 0;
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

bool closeTo(const Rgb& a, const Rgb& b, int tolerance = 2) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

// Pixels from the bottom left, as glReadPixels counts them.
Rgb pixelAt(int x, int y) {
    uint8_t p[4] = {};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

int gBoxes = 0;
int countBox(const platform::MessageBoxRequest&, void*) {
    ++gBoxes;
    return platform::kMessageBoxOk;
}

// One window for the process, on the page's canvas; each test starts from a cleared frame,
// a pixel-exact 2D view, and no GL error pending.
class GlMapping : public ::testing::Test {
  protected:
    void SetUp() override {
        static GLWindow* window = [] {
            platform::setMessageBoxSink(countBox, nullptr);
            return new GLWindow;
        }();
        ASSERT_NE(window->hRC, nullptr) << "no WebGL context";
        ASSERT_EQ(gBoxes, 0);
        glViewport(0, 0, 800, 600);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluOrtho2D(0, 800, 0, 600);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        for (GLenum cap : {GL_DEPTH_TEST, GL_CULL_FACE, GL_LIGHTING, GL_TEXTURE_2D, GL_BLEND,
                           GL_COLOR_MATERIAL, GL_LIGHT0})
            glDisable(cap);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        while (glGetError() != GL_NO_ERROR) {
        }
    }

    // The texture over (x, y, w, h) in pixels, texture row 0 at the bottom.
    static void drawTexture(GLuint texture, int x, int y, int w, int h) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
        glColor4f(1, 1, 1, 1);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2i(x, y);
        glTexCoord2f(1, 0);
        glVertex2i(x + w, y);
        glTexCoord2f(1, 1);
        glVertex2i(x + w, y + h);
        glTexCoord2f(0, 1);
        glVertex2i(x, y + h);
        glEnd();
        glDisable(GL_TEXTURE_2D);
    }

    static GLuint newTexture(GLint minFilter) {
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        return texture;
    }
};

TEST_F(GlMapping, HintsOfOpenGl11AreTakenAndABadModeIsRefused) {
    for (GLenum target : {GL_PERSPECTIVE_CORRECTION_HINT, GL_POINT_SMOOTH_HINT, GL_LINE_SMOOTH_HINT,
                          GL_POLYGON_SMOOTH_HINT, GL_FOG_HINT}) {
        for (GLenum mode : {GL_NICEST, GL_FASTEST, GL_DONT_CARE}) {
            glHint(target, mode);
            EXPECT_EQ(glGetError(), GL_NO_ERROR) << std::hex << target << " " << mode;
        }
        glHint(target, GL_RGB);
        EXPECT_EQ(glGetError(), GL_INVALID_ENUM) << std::hex << target;
    }
    // The one hint WebGL knows still reaches it, and so does a target OpenGL lacks.
    glHint(GL_GENERATE_MIPMAP_HINT, GL_NICEST);
    EXPECT_EQ(glGetError(), GL_NO_ERROR);
    glHint(GL_RGB, GL_NICEST);
    EXPECT_EQ(glGetError(), GL_INVALID_ENUM);
}

TEST_F(GlMapping, TexImageTakesComponentCountsBlueGreenRedAndOtherPixelLayouts) {
    struct Case {
        const char* name;
        GLint internalFormat;
        GLenum format;
        std::vector<uint8_t> pixel;
        Rgb seen;
    };
    const Rgb orange{200, 100, 30};
    const Case cases[] = {
        {"3 from RGB", 3, GL_RGB, {200, 100, 30}, orange},
        {"4 from RGBA", 4, GL_RGBA, {200, 100, 30, 255}, orange},
        {"RGB from BGR", GL_RGB, GL_BGR_EXT, {30, 100, 200}, orange},
        {"RGBA from BGRA", GL_RGBA, GL_BGRA_EXT, {30, 100, 200, 255}, orange},
        {"1 from luminance", 1, GL_LUMINANCE, {90}, {90, 90, 90}},
        {"RGB from RGBA", GL_RGB, GL_RGBA, {200, 100, 30, 0}, orange},
        {"RGB8 from RGB", GL_RGB8, GL_RGB, {200, 100, 30}, orange},
    };
    int x = 10;
    for (const Case& c : cases) {
        // 3 x 2 texels: odd rows, which the unpack alignment of 1 must keep together.
        std::vector<uint8_t> texels;
        for (int i = 0; i < 6; ++i)
            texels.insert(texels.end(), c.pixel.begin(), c.pixel.end());
        GLuint texture = newTexture(GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, c.internalFormat, 3, 2, 0, c.format, GL_UNSIGNED_BYTE,
                     texels.data());
        EXPECT_EQ(glGetError(), GL_NO_ERROR) << c.name;
        // A texture of a size other than a power of two needs clamping in WebGL 1.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        drawTexture(texture, x, 10, 30, 20);
        EXPECT_TRUE(closeTo(pixelAt(x + 15, 20), c.seen)) << c.name << " " << pixelAt(x + 15, 20);
        glDeleteTextures(1, &texture);
        x += 40;
    }
}

TEST_F(GlMapping, MipmapsAreBuiltDownToOneTexelAsGluBuildsThem) {
    // Red and blue in a checker: each level below is their rounded mean, purple.
    const uint8_t checker[] = {255, 0, 0, 0, 0, 255, 0, 0, 255, 255, 0, 0};
    GLuint texture = newTexture(GL_NEAREST_MIPMAP_NEAREST);
    EXPECT_EQ(gluBuild2DMipmaps(GL_TEXTURE_2D, 3, 2, 2, GL_RGB, GL_UNSIGNED_BYTE, checker), 0);
    EXPECT_EQ(glGetError(), GL_NO_ERROR);
    // At its own size the texture shows level 0; at one pixel, level 1, which WebGL draws
    // black unless every level down to 1x1 is there.
    drawTexture(texture, 10, 10, 2, 2);
    drawTexture(texture, 20, 10, 1, 1);
    EXPECT_TRUE(closeTo(pixelAt(10, 10), {255, 0, 0})) << pixelAt(10, 10);
    EXPECT_TRUE(closeTo(pixelAt(11, 10), {0, 0, 255})) << pixelAt(11, 10);
    EXPECT_TRUE(closeTo(pixelAt(20, 10), {128, 0, 128})) << pixelAt(20, 10);

    // A side that is not a power of two is scaled to one (3 x 5 becomes 4 x 4) and keeps a
    // solid colour; a 4-component source with component count 4, and a blue-green-red one.
    struct Case {
        const char* name;
        int width, height, components;
        GLenum format;
        std::vector<uint8_t> pixel;
        Rgb seen;
    };
    const Case cases[] = {
        {"3x5 RGB", 3, 5, 3, GL_RGB, {20, 180, 60}, {20, 180, 60}},
        {"6x1 RGBA", 6, 1, 4, GL_RGBA, {20, 180, 60, 255}, {20, 180, 60}},
        {"64x32 BGR", 64, 32, 3, GL_BGR_EXT, {60, 180, 20}, {20, 180, 60}},
    };
    int x = 40;
    for (const Case& c : cases) {
        std::vector<uint8_t> texels;
        for (int i = 0; i < c.width * c.height; ++i)
            texels.insert(texels.end(), c.pixel.begin(), c.pixel.end());
        GLuint solid = newTexture(GL_LINEAR_MIPMAP_NEAREST);
        EXPECT_EQ(gluBuild2DMipmaps(GL_TEXTURE_2D, c.components, c.width, c.height, c.format,
                                    GL_UNSIGNED_BYTE, texels.data()),
                  0)
            << c.name;
        EXPECT_EQ(glGetError(), GL_NO_ERROR) << c.name;
        drawTexture(solid, x, 10, 1, 1);
        drawTexture(solid, x, 20, 16, 16);
        EXPECT_TRUE(closeTo(pixelAt(x, 10), c.seen)) << c.name << " " << pixelAt(x, 10);
        EXPECT_TRUE(closeTo(pixelAt(x + 8, 28), c.seen)) << c.name << " " << pixelAt(x + 8, 28);
        glDeleteTextures(1, &solid);
        x += 40;
    }

    EXPECT_EQ(gluBuild2DMipmaps(GL_TEXTURE_2D, 3, 0, 2, GL_RGB, GL_UNSIGNED_BYTE, checker),
              GLU_INVALID_VALUE);
    EXPECT_EQ(gluBuild2DMipmaps(GL_TEXTURE_2D, 3, 2, 2, GL_RGB, GL_FLOAT, checker),
              GLU_INVALID_ENUM);
    EXPECT_EQ(glGetError(), GL_NO_ERROR);
    glDeleteTextures(1, &texture);
}

TEST_F(GlMapping, SpotAndAttenuationParametersAreCheckedAndTaken) {
    const GLfloat direction[3] = {0, 0, -1};
    glLightfv(GL_LIGHT0, GL_SPOT_DIRECTION, direction);
    EXPECT_EQ(glGetError(), GL_NO_ERROR);
    struct Case {
        GLenum light;
        GLenum pname;
        GLfloat value;
        GLenum error;
    };
    const Case cases[] = {
        {GL_LIGHT0, GL_SPOT_CUTOFF, 180, GL_NO_ERROR},
        {GL_LIGHT0, GL_SPOT_CUTOFF, 90, GL_NO_ERROR},
        {GL_LIGHT0, GL_SPOT_CUTOFF, 100, GL_INVALID_VALUE},
        {GL_LIGHT7, GL_SPOT_EXPONENT, 128, GL_NO_ERROR},
        {GL_LIGHT0, GL_SPOT_EXPONENT, -1, GL_INVALID_VALUE},
        {GL_LIGHT0, GL_LINEAR_ATTENUATION, 0.5f, GL_NO_ERROR},
        {GL_LIGHT0, GL_QUADRATIC_ATTENUATION, -0.5f, GL_INVALID_VALUE},
        {GL_LIGHT7 + 1, GL_SPOT_CUTOFF, 90, GL_INVALID_ENUM},
        {GL_LIGHT0, GL_SPOT_DIRECTION, 0, GL_INVALID_ENUM},  // a vector, not for glLightf
    };
    for (const Case& c : cases) {
        glLightf(c.light, c.pname, c.value);
        EXPECT_EQ(glGetError(), c.error) << std::hex << c.light << " " << c.pname << " " << c.value;
        glLightfv(c.light, c.pname, &c.value);
        const GLenum vectorError = c.pname == GL_SPOT_DIRECTION ? GL_NO_ERROR : c.error;
        EXPECT_EQ(glGetError(), vectorError) << std::hex << c.light << " " << c.pname;
    }
}

TEST_F(GlMapping, ColourMaterialLightsWithTheCurrentColour) {
    // The show's light: at the eye, ambient 0.5, diffuse 0.4. A quad in the plane of the
    // eye gets no diffuse light, so it shows the ambient terms: 0.2 (the model's) plus 0.5
    // (the light's), times the ambient material, which colour material makes pure green.
    const GLfloat position[4] = {0, 0, 0, 1};
    const GLfloat ambient[4] = {0.5f, 0.5f, 0.5f, 1};
    const GLfloat diffuse[4] = {0.4f, 0.4f, 0.4f, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    glColor3f(0, 1, 0);
    static const int kCorners[4][2] = {{10, 10}, {60, 10}, {60, 60}, {10, 60}};
    glBegin(GL_QUADS);
    for (const auto& corner : kCorners) {
        glNormal3f(0, 0, 1);
        glVertex2i(corner[0], corner[1]);
    }
    glEnd();
    EXPECT_EQ(glGetError(), GL_NO_ERROR);
    const Rgb lit = pixelAt(35, 35);
    EXPECT_LE(lit.r, 8) << lit;
    EXPECT_LE(lit.b, 8) << lit;
    EXPECT_NEAR(lit.g, 0.7 * 255, 8) << lit;

    glDisable(GL_COLOR_MATERIAL);
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    glColorMaterial(GL_FRONT, GL_RGB);
    EXPECT_EQ(glGetError(), GL_INVALID_ENUM);
    glDisable(GL_LIGHTING);
}

TEST_F(GlMapping, ShadeModelTakesBothModesQuietly) {
    glShadeModel(GL_FLAT);
    EXPECT_EQ(glGetError(), GL_NO_ERROR);
    glShadeModel(GL_SMOOTH);
    EXPECT_EQ(glGetError(), GL_NO_ERROR);
    glShadeModel(GL_RGB);
    EXPECT_EQ(glGetError(), GL_INVALID_ENUM);
}

TEST(GluErrorString, NamesGlAndGluErrorsInMesasWords) {
    struct Case {
        GLenum error;
        const char* text;
    };
    const Case cases[] = {
        {GL_NO_ERROR, "no error"},
        {GL_INVALID_ENUM, "invalid enumerant"},
        {GL_INVALID_VALUE, "invalid value"},
        {GL_INVALID_OPERATION, "invalid operation"},
        {GL_OUT_OF_MEMORY, "out of memory"},
        {GL_STACK_UNDERFLOW, "stack underflow"},
        {GLU_INVALID_ENUM, "invalid enumerant"},
        {GLU_OUT_OF_MEMORY, "out of memory"},
    };
    for (const Case& c : cases) {
        const char* text = reinterpret_cast<const char*>(gluErrorString(c.error));
        ASSERT_NE(text, nullptr) << std::hex << c.error;
        EXPECT_STREQ(text, c.text) << std::hex << c.error;
    }
    EXPECT_EQ(gluErrorString(0x1234), nullptr);
}

TEST_F(GlMapping, QuadricIsMadeStyledAndDeletedWithoutErrors) {
    GLUquadric* quadric = gluNewQuadric();
    ASSERT_NE(quadric, nullptr);
    gluQuadricTexture(quadric, GL_TRUE);
    gluQuadricOrientation(quadric, GLU_OUTSIDE);
    gluQuadricNormals(quadric, GLU_SMOOTH);
    gluQuadricDrawStyle(quadric, GLU_FILL);
    EXPECT_EQ(glGetError(), GL_NO_ERROR);
    gluDeleteQuadric(quadric);
    EXPECT_EQ(glGetError(), GL_NO_ERROR);
}

}  // namespace
