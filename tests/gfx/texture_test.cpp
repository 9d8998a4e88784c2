// Textures from picture files: the reader a name picks, what each reader makes of each kind
// of file, every refusal with its message, and the upload's GL state.
#include "gfx/texture.h"

#include <filesystem>
#include <functional>
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

// How a texture holds a picture: alpha dropped, 8-bit grey (written from red, read back as
// RGBA with luminance in red), rows in file order of a file stored bottom row first.
enum Look { kOpaque = 1, kGrey = 2, kFlipped = 4 };

Picture seen(const Picture& picture, int look) {
    Picture out = picture;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            Rgba c = picture.at(x, look & kFlipped ? picture.height - 1 - y : y);
            out.at(x, y) = look & kGrey ? Rgba{c.r, 0, 0, 255}
                                        : Rgba{c.r, c.g, c.b, look & kOpaque ? 255 : c.a};
        }
    }
    return out;
}

using Writer = std::function<void(const std::string& file)>;

Writer png(const Picture& picture, PngKind kind) {
    return [=](const std::string& file) { writePng(file, picture, kind); };
}
Writer tga(const Picture& picture, TgaOptions options) {
    return [=](const std::string& file) { writeTga(file, picture, options); };
}
// What `write` writes, less its last `cut` bytes, with bytes `first` to `last` set to `value`.
Writer changed(Writer write, uintmax_t cut, int first = 0, int last = -1, uint8_t value = 0) {
    return [=](const std::string& file) {
        write(file);
        std::filesystem::resize_file(file, std::filesystem::file_size(file) - cut);
        std::vector<uint8_t> bytes = readFile(file);
        std::fill(bytes.begin() + first, bytes.begin() + last + 1, value);
        writeFile(file, bytes);
    };
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
    struct Load {
        const char* file;
        Writer write;
        Picture expected;  // level 0, texture row 0 first
        int tolerance = 0;
    };
    // Decoded pictures have their top row at texture row 0; TGA rows arrive in file order,
    // so a file stored bottom row first (the default) lands upside down, and the origin bit
    // of a top-down file is not followed. The reader is chosen by the name's part after its
    // last dot, in any case; a dotless name is compared whole, so "tga" is loaded as TGA.
    const Load loads[] = {
        {"rgb.PNG", png(rows, PngKind::rgb), seen(rows, kOpaque)},
        {"rgba.png", png(rows, PngKind::rgba), rows},
        {"photo.JPEG", [&](auto& f) { writeJpeg(f, photo); }, photo, 3},
        {"grey.tga", tga(rows, {.bitsPerPixel = 8}), seen(rows, kGrey | kFlipped)},
        {"rgb.png.tga", tga(rows, {.bitsPerPixel = 24}), seen(rows, kOpaque | kFlipped)},
        {"tga", tga(rows, {.bitsPerPixel = 24, .topDown = true}), seen(rows, kOpaque)},
        {"id_and_map.tga", tga(rows, {.imageId = "made for a test", .colorMapEntries = 5}),
         seen(rows, kFlipped)},
        {"rle8.tga", tga(rows, {.bitsPerPixel = 8, .topDown = true, .runLength = true}),
         seen(rows, kGrey)},
        {"rle32.tga", tga(rows, {.topDown = true, .runLength = true}), rows}};
    for (const Load& c : loads) {
        SCOPED_TRACE(c.file);
        c.write(c.file);
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

TEST_F(TextureTest, EveryRefusalGivesItsMessageAndLeavesTheRecordAlone) {
    // Each message names the file as given, where its pattern says %s.
    const char* const unknown =
        "Texture load: Can't load the texture in file '%s'. Unknown or no file extension.";
    const char* const unreadable =
        "Texture load: Failed to read image data from %s for some reason. Maybe the file is in "
        "some format not supported.";
    const char* const undecodable =
        "Texture load: Can't load the texture in file '%s' for some reason.";
    const char* const unaffordable =
        "Texture load: Failed to allocate memory for the image %s. You should buy more RAM!";
    const Picture picture = solidPicture(4, 4, kOrange);  // as a 32-bit TGA: 18 + 64 bytes
    struct Refusal {
        const char* file;
        Writer write;
        const char* message;
        uint64_t bufferLimit = 0;  // 0: the loaders' own
    };
    const Refusal refusals[] = {
        {nullptr, nullptr, "Trying to load texture from filename NULL. No good..."},
        {"readme", nullptr, unknown},
        {"missing.tga", nullptr, "Texture load: Failed to open the file %s!"},
        {"short.tga", changed(tga(picture, {}), 82 - 17),
         "Texture load: Failed to read the header in file %s!"},
        {"sixteen.tga", changed(tga(picture, {}), 0, 16, 16, 16),
         "Texture load: Can't load the texture in %s, only 8/24/32-bit images supported."},
        {"mapped.tga", changed(tga(picture, {}), 0, 2, 2, 9),  // run-length colour-mapped
         "Texture load: Can't load the texture in %s, colour-mapped images are not supported."},
        {"truncated.tga", changed(tga(picture, {}), 1), unreadable},
        // 65535 x 65535 x 4 bytes in a file that holds almost nothing: a size computed with
        // overflow would read it as a tiny picture instead.
        {"huge.tga", changed(tga(picture, {}), 0, 12, 15, 0xff), unaffordable},
        {"small.png", png(picture, PngKind::rgb), unaffordable, 4 * 4 * 3 - 1},
        {"grey.png", png(picture, PngKind::grey),
         "Texture load: Sorry, only 3 or 4 channel images are supported. %s is not!"},
        {"garbage.png", changed(tga(picture, {}), 0, 0, 81, 'x'), undecodable}};
    for (const Refusal& c : refusals) {
        SCOPED_TRACE(c.file ? c.file : "null");
        if (c.write)
            c.write(c.file);
        const uint64_t saved =
            std::exchange(gPixelBufferLimit, c.bufferLimit ? c.bufferLimit : gPixelBufferLimit);
        // Recognisable contents: a refused load must leave all four fields alone.
        Texture texture;
        auto fields = std::tie(texture.loaded, texture.id, texture.width, texture.height);
        fields = std::tuple(true, 777u, 5, 6);
        EXPECT_FALSE(loadTexture(texture, c.file));
        gPixelBufferLimit = saved;
        std::string message = c.message;
        if (size_t at = message.find("%s"); at != std::string::npos)
            message.replace(at, 2, c.file);
        EXPECT_EQ(sink.texts(), std::vector<std::string>{message});
        EXPECT_EQ(fields, std::tuple(true, 777u, 5, 6));
        texture.id = 0;
        sink.boxes.clear();
    }
}

TEST_F(TextureTest, UploadFiltersThroughEveryMipmapUpToTheLastLevel) {
    writeSolidPng("card.png", 800, 600, kOrange);
    Texture texture;
    ASSERT_TRUE(loadTexture(texture, "card.png"));
    EXPECT_EQ(std::pair(texture.width, texture.height), std::pair(800, 600)) << "its own size";
    // Minified through the mipmaps, magnified smoothly. (The unpack alignment and the tint
    // by the current colour show in the pictures the readers' and the blob field's tests draw.)
    GLint filters[2] = {};
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filters[0]);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &filters[1]);
    EXPECT_EQ(std::pair(filters[0], filters[1]), std::pair(GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR));

    // GL_TEXTURE_MAX_LEVEL names the last level GLU built: one short would leave a level
    // unused, one beyond would size storage for a level that never comes. Sides GLU rounds
    // down and up (at 1.5 times the lower power and just below), and one pixel across.
    const std::pair<int, int> sizes[] = {{1, 1},    {1, 300},  {3, 5},
                                         {767, 16}, {768, 16}, {800, 600}};
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
