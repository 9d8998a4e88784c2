// A texture's GL_TEXTURE_MAX_LEVEL names the last mipmap level GLU built: never one short
// (a level beyond it would go unused, and minified pictures would change), never beyond
// (the driver would size the storage for levels that never come).
#include <vector>

#include "gfx/texture.h"
#include "platform/gl.h"
#include "support/show_test.h"

#ifndef GL_TEXTURE_MAX_LEVEL
#define GL_TEXTURE_MAX_LEVEL 0x813D
#endif

using TextureLevelsTest = ShowTest;

TEST_F(TextureLevelsTest, MaxLevelIsTheLastLevelGluBuilt) {
    // Powers of two, sides GLU rounds down and up (at 1.5 times the lower power and just
    // below), and pictures one pixel across.
    const struct {
        int width;
        int height;
    } sizes[] = {{1, 1},    {2, 1},    {1, 300},  {3, 5},     {5, 3},      {100, 50},
                 {130, 40}, {767, 16}, {768, 16}, {800, 600}, {1024, 512}, {2048, 512}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size.width << "x" << size.height);
        std::vector<uint8_t> pixels(static_cast<size_t>(size.width) * size.height * 3, 90);
        Texture texture;
        ASSERT_TRUE(
            uploadTexture(texture, pixels.data(), size.width, size.height, 3, GL_RGB, GL_RGB));
        GLint last = -1;
        for (GLint level = 0; level < 20; ++level) {
            GLint width = 0;
            glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
            if (width == 0)
                break;
            last = level;
        }
        GLint maxLevel = -1;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, &maxLevel);
        EXPECT_GE(last, 0);
        EXPECT_EQ(maxLevel, last);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
    EXPECT_TRUE(sink.boxes.empty());
}
