#include "gfx/render_target.h"

#include <climits>
#include <iterator>
#include <tuple>
#include <utility>

#include "platform/gl.h"
#include "support/show_test.h"

TEST(NextPowerOfTwo, SmallestPowerNotBelowAtLeastTwoAndAtMostTwoToThe30) {
    const int32_t sides[] = {-7, 0, 1, 2, 3, 128, 129, 600, 1 << 30, (1 << 30) + 1, INT_MAX};
    const int32_t powers[] = {2, 2, 2, 2, 4, 128, 256, 1024, 1 << 30, 1 << 30, 1 << 30};
    for (size_t i = 0; i < std::size(sides); ++i)
        EXPECT_EQ(nextPowerOfTwo(sides[i]), powers[i]) << sides[i];
}

TEST_F(ShowTest, RenderTargetsOfTheShowHaveTheirSizesAndFractions) {
    RenderTarget screen(window, 800, 600);
    EXPECT_EQ(std::tie(screen.window, screen.width, screen.height, screen.textureWidth,
                       screen.textureHeight, screen.uMax, screen.vMax),
              std::tuple(window, 800, 600, 1024, 1024, 0.78125f, 0.5859375f));
    // An empty texture of that size, bound.
    GLint bound = 0, width = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(std::pair(bound, width), std::pair(static_cast<GLint>(screen.id), 1024));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(sink.boxes.empty());
}
