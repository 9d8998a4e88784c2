// Textures from picture files: the reader a name picks, what each reader makes of each kind
// of file, the message of a picture too large for the pixel buffer, and the upload's GL state.
#include "gfx/texture.h"

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/gl.h"
#include "support/pictures.h"
#include "support/show_test.h"

#ifndef GL_TEXTURE_MAX_LEVEL
#define GL_TEXTURE_MAX_LEVEL 0x813D
#endif

namespace {

const Rgba kRed{255, 0, 0, 255};
const Rgba kGreen{0, 255, 0, 255};
const Rgba kBlue{0, 0, 255, 255};
// Distinct values per channel: a swap of blue and red cannot go unnoticed.
const Rgba kOrange{200, 100, 30, 255};

GLint levelParameter(GLenum name, GLint level = 0) {
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
    return value;
}

// The bound texture's level 0, texture row 0 first.
Picture levelZero() {
    Picture level =
        solidPicture(levelParameter(GL_TEXTURE_WIDTH), levelParameter(GL_TEXTURE_HEIGHT), {});
    std::vector<uint8_t> bytes(level.pixels.size() * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    for (size_t i = 0; i < level.pixels.size(); ++i)
        level.pixels[i] = {bytes[i * 4], bytes[i * 4 + 1], bytes[i * 4 + 2], bytes[i * 4 + 3]};
    return level;
}

// How a texture holds a picture: alpha dropped, rows in file order of a file stored bottom
// row first.
enum Look { kOpaque = 1, kFlipped = 2 };

Picture seen(const Picture& picture, int look) {
    Picture out = picture;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            Rgba c = picture.at(x, look & kFlipped ? picture.height - 1 - y : y);
            out.at(x, y) = {c.r, c.g, c.b, look & kOpaque ? 255 : c.a};
        }
    }
    return out;
}

class TextureTest : public ShowTest {
  protected:
    TempDir dir;
    InFolder in{dir.root()};
};

}  // namespace

TEST_F(TextureTest, EachKindOfFileGivesItsColoursAndRowOrder) {
    // Rows of 6 bytes where there are three channels (any unpack alignment but 1 mixes
    // them), each row its own colour, a translucent one where the format keeps alpha, and
    // the first pixel red: a row mirrored shows. Read top row first, a run-length file holds
    // a literal packet of two, a run of two and a run across the row end.
    Picture rows = splitPicture(2, 4, 1, kGreen, kBlue);
    rows.at(0, 1) = rows.at(1, 1) = {255, 255, 255, 90};
    rows.at(0, 0) = kRed;
    rows.at(0, 2) = kOrange;
    const Picture photo = splitPicture(8, 16, 8, kOrange, kBlue);  // two whole JPEG blocks
    writePng("rgb.PNG", rows, PngKind::rgb);
    writePng("rgba.png", rows, PngKind::rgba);
    writeJpeg("photo.JPEG", photo);
    writeTga("id.png.tga", rows, {.bitsPerPixel = 24, .imageId = "made for a test"});
    writeTga("rle.tga", rows, {.topDown = true, .runLength = true});
    struct Load {
        const char* file;
        Picture expected;  // level 0, texture row 0 first
        int tolerance = 0;
    };
    // Decoded pictures have their top row at texture row 0; TGA rows arrive in file order,
    // so a file stored bottom row first (the default) lands upside down, and the origin bit
    // of a top-down file is not followed. The reader is chosen by the name's part after its
    // last dot, in any case.
    const Load loads[] = {{"rgb.PNG", seen(rows, kOpaque)},
                          {"rgba.png", rows},
                          {"photo.JPEG", photo, 3},
                          {"id.png.tga", seen(rows, kOpaque | kFlipped)},
                          {"rle.tga", rows}};
    for (const Load& c : loads) {
        SCOPED_TRACE(c.file);
        Texture texture;
        ASSERT_TRUE(loadTexture(texture, c.file));
        const Picture level = levelZero();
        const int w = c.expected.width, h = c.expected.height;
        ASSERT_EQ(
            std::tuple(texture.loaded, texture.width, texture.height, level.width, level.height),
            std::tuple(true, w, h, w, h));
        for (size_t i = 0; i < level.pixels.size(); ++i) {
            EXPECT_TRUE(level.pixels[i].closeTo(c.expected.pixels[i], c.tolerance))
                << "texel " << i << ": " << level.pixels[i] << ", not " << c.expected.pixels[i];
        }
    }
    EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(TextureTest, PictureOverThePixelBufferLimitIsRefusedWithItsMessage) {
    writePng("small.png", solidPicture(4, 4, kOrange));
    const uint64_t saved = std::exchange(gPixelBufferLimit, 4 * 4 * 3 - 1);
    Texture texture;
    EXPECT_FALSE(loadTexture(texture, "small.png"));
    gPixelBufferLimit = saved;
    EXPECT_EQ(sink.texts(), std::vector<std::string>{"Texture load: Failed to allocate memory for "
                                                     "the image small.png. You should buy more "
                                                     "RAM!"});
}

TEST_F(TextureTest, UploadFiltersThroughEveryMipmapUpToTheLastLevel) {
    writeSolidPng("card.png", 800, 600, kOrange);
    Texture texture;
    ASSERT_TRUE(loadTexture(texture, "card.png"));
    // Minified through the mipmaps, magnified smoothly. (The unpack alignment and the tint
    // by the current colour show in the pictures the readers' and the blob field's tests draw.)
    GLint filters[2] = {};
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filters[0]);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &filters[1]);
    EXPECT_EQ(std::pair(filters[0], filters[1]), std::pair(GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR));

    // GL_TEXTURE_MAX_LEVEL names the last level GLU built: one short would leave a level
    // unused, one beyond would size storage for a level that never comes. Sides GLU rounds
    // down and up (at 1.5 times the lower power and just below), and one pixel across.
    const std::pair<int, int> sizes[] = {{1, 1}, {3, 5}, {767, 16}, {768, 16}, {800, 600}};
    for (auto [width, height] : sizes) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3, 90);
        ASSERT_TRUE(uploadTexture(texture, pixels.data(), width, height, 3, GL_RGB, GL_RGB));
        GLint last = 0, maxLevel = -1;
        while (levelParameter(GL_TEXTURE_WIDTH, last + 1) > 0)
            ++last;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, &maxLevel);
        EXPECT_EQ(maxLevel, last);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(sink.boxes.empty());
}
