#include "gfx/render_target.h"

#include <climits>
#include <utility>

#include "platform/gl.h"
#include "support/show_test.h"

TEST(NextPowerOfTwo, SmallestPowerNotBelowAtLeastTwoAndAtMostTwoToThe30) {
    const std::pair<int32_t, int32_t> cases[] = {
        {-7, 2},
        {0, 2},
        {1, 2},
        {2, 2},
        {3, 4},
        {128, 128},
        {129, 256},
        {600, 1024},
        {1000, 1024},
        {1 << 30, 1 << 30},
        {(1 << 30) + 1, 1 << 30},
        {INT_MAX, 1 << 30},
    };
    for (const auto& [n, power] : cases)
        EXPECT_EQ(nextPowerOfTwo(n), power) << n;
}

TEST_F(ShowTest, RenderTargetsOfTheShowHaveTheirSizesAndFractions) {
    RenderTarget screen(window, 800, 600);
    EXPECT_EQ(screen.window, window);
    EXPECT_EQ(screen.width, 800);
    EXPECT_EQ(screen.height, 600);
    EXPECT_EQ(screen.textureWidth, 1024);
    EXPECT_EQ(screen.textureHeight, 1024);
    EXPECT_EQ(screen.uMax, 0.78125f);
    EXPECT_EQ(screen.vMax, 0.5859375f);
    // An empty RGBA texture of that size, bound, filtered linearly and repeated.
    GLint value = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(static_cast<GLuint>(value), screen.id);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &value);
    EXPECT_EQ(value, 1024);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &value);
    EXPECT_GT(value, 0);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
    EXPECT_EQ(value, GL_REPEAT);

    RenderTarget small(window, 128, 128);
    EXPECT_NE(small.id, screen.id);
    EXPECT_EQ(small.textureWidth, 128);
    EXPECT_EQ(small.uMax, 1.0f);
    EXPECT_EQ(small.vMax, 1.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(sink.boxes.empty());
}
