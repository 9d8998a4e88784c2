// The OpenGL 1.1 that src/platform/web/gl.cpp supplies or maps for emscripten's legacy GL
// emulation for the page's mipmapped textures, on a real WebGL context in headless
// Chromium: the GL's error state after the upload, and what a viewer would see (pixels
// read back).
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "gfx/gl_window.h"
#include "platform/gl.h"
#include "platform/message_box.h"

namespace {

using Rgb = std::array<int, 3>;

// The pixel from the bottom left, as glReadPixels counts them: `near` where it is within
// `tolerance` of it in each channel.
Rgb pixelAt(int x, int y, const Rgb& near, int tolerance = 2) {
    uint8_t p[4] = {};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    const Rgb seen{p[0], p[1], p[2]};
    for (int i = 0; i < 3; ++i) {
        if (std::abs(seen[i] - near[i]) > tolerance)
            return seen;
    }
    return near;
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
        for (GLenum cap : {GL_DEPTH_TEST, GL_CULL_FACE, GL_LIGHTING, GL_TEXTURE_2D, GL_BLEND})
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
        static const int kCorners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        for (const auto& [s, t] : kCorners) {
            glTexCoord2f(s, t);
            glVertex2i(x + s * w, y + t * h);
        }
        glEnd();
        glDisable(GL_TEXTURE_2D);
    }
};

TEST_F(GlMapping, MipmapsAreBuiltDownToOneTexelAsGluBuildsThem) {
    // Red and blue in a checker: each level below is their rounded mean, purple. At its own
    // size the texture shows level 0; at one pixel, level 1, which WebGL draws black unless
    // every level down to 1x1 is there.
    const uint8_t checker[] = {255, 0, 0, 0, 0, 255, 0, 0, 255, 255, 0, 0};
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    EXPECT_EQ(gluBuild2DMipmaps(GL_TEXTURE_2D, 3, 2, 2, GL_RGB, GL_UNSIGNED_BYTE, checker), 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    drawTexture(texture, 10, 10, 2, 2);
    drawTexture(texture, 20, 10, 1, 1);
    const std::pair<int, Rgb> levels[] = {
        {10, {255, 0, 0}}, {11, {0, 0, 255}}, {20, {128, 0, 128}}};
    for (const auto& [x, seen] : levels)
        EXPECT_EQ(pixelAt(x, 10, seen), seen) << x;
    glDeleteTextures(1, &texture);
}

}  // namespace
