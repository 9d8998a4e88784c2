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
const Rgba kWhite{255, 255, 255, 255};
// Distinct values per channel: a swap of blue and red cannot go unnoticed.
const Rgba kOrange{200, 100, 30, 255};

GLint levelParameter(GLenum name, GLint level = 0) {
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
    return value;
}

// The base format of the bound texture's level 0. GL_TEXTURE_INTERNAL_FORMAT would give
// back the component count GLU was handed, so the channel sizes tell it instead.
GLenum baseFormat() {
    if (levelParameter(GL_TEXTURE_LUMINANCE_SIZE) > 0)
        return GL_LUMINANCE;
    return levelParameter(GL_TEXTURE_ALPHA_SIZE) > 0 ? GL_RGBA : GL_RGB;
}

// Whether the texture's level 0 (texture row 0 first) shows `expected`, texel for pixel.
::testing::AssertionResult shows(const Texture& texture, const Picture& expected,
                                 int tolerance = 0) {
    glBindTexture(GL_TEXTURE_2D, texture.id);
    const int width = levelParameter(GL_TEXTURE_WIDTH), height = levelParameter(GL_TEXTURE_HEIGHT);
    std::vector<uint8_t> bytes(static_cast<size_t>(width) * height * 4 + 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    if (width != expected.width || height != expected.height)
        return ::testing::AssertionFailure() << "level 0 is " << width << "x" << height;
    for (int t = 0; t < height; ++t) {
        for (int s = 0; s < width; ++s) {
            const Rgba want = expected.at(s, t);
            const uint8_t* p = &bytes[(static_cast<size_t>(t) * width + s) * 4];
            if (const Rgba texel{p[0], p[1], p[2], p[3]}; !texel.closeTo(want, tolerance))
                return ::testing::AssertionFailure()
                       << "texel (" << s << ", " << t << ") is " << texel << ", not " << want;
        }
    }
    return ::testing::AssertionSuccess();
}

// How a texture holds a picture: alpha dropped, 8-bit grey (written from red, read back as
// RGBA with luminance in red), rows in file order of a file stored bottom row first.
enum Look { kAsIs = 0, kOpaque = 1, kGrey = 2, kFlipped = 4 };

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

TEST(TextureReaderChoice, ExtensionAfterTheLastDotIgnoringCase) {
    for (const char* name : {"a.png", "a.Png", "b.jpg", "b.JPEG", "c.bmp", "d.e.jpeg"})
        EXPECT_EQ(textureReaderFor(name), TextureReader::decoder) << name;
    for (const char* name : {"x.tar.tga", "X.TGA", "TgA"})
        EXPECT_EQ(textureReaderFor(name), TextureReader::tga) << name;
    for (const char* name : {"readme", "name.", "png.txt", "a.gif", "", "a.pngx", "jpg."})
        EXPECT_EQ(textureReaderFor(name), TextureReader::none) << name;
    EXPECT_EQ(textureReaderFor(nullptr), TextureReader::none);
}

TEST_F(TextureTest, EachKindOfFileGivesItsFormatColoursAndRowOrder) {
    // Rows of 6 bytes where there are three channels (any unpack alignment but 1 mixes
    // them), each row its own colour, a translucent one where the format keeps alpha, and
    // the first pixel red: a row mirrored shows.
    Picture rows = splitPicture(2, 4, 1, kGreen, kBlue);
    for (int x = 0; x < 2; ++x)
        rows.at(x, 1) = {255, 255, 255, 90};
    rows.at(0, 0) = kRed;
    rows.at(0, 2) = kOrange;
    // Stripes make literal packets of run-length files, solid rows make runs across row ends.
    Picture runs = solidPicture(8, 4, kBlue);
    for (int x = 0; x < 8; ++x)
        runs.at(x, 0) = x % 2 ? kRed : kWhite;
    runs.at(5, 2) = kGreen;
    // Halves of whole 16-row blocks, which JPEG's subsampled colour keeps apart.
    const Picture photo = splitPicture(32, 32, 16, kOrange, kBlue);
    struct Load {
        const char* file;
        Writer write;
        GLenum format;
        Picture expected;  // level 0, texture row 0 first
        int tolerance = 0;
    };
    // Decoded pictures have their top row at texture row 0; TGA rows arrive in file order,
    // so a file stored bottom row first (the default) lands upside down, and the origin bit
    // of a top-down file is not followed. A dotless name is compared whole, so "tga" is
    // loaded by that very name.
    const Load loads[] = {
        {"rgb.PNG", png(rows, PngKind::rgb), GL_RGB, seen(rows, kOpaque)},
        {"rgba.png", png(rows, PngKind::rgba), GL_RGBA, rows},
        {"rgb.bmp", [&](auto& f) { writeBmp(f, rows); }, GL_RGB, seen(rows, kOpaque)},
        {"photo.jpg", [&](auto& f) { writeJpeg(f, photo); }, GL_RGB, photo, 12},
        {"grey.tga", tga(rows, {.bitsPerPixel = 8}), GL_LUMINANCE, seen(rows, kGrey | kFlipped)},
        {"rgb.tga", tga(rows, {.bitsPerPixel = 24}), GL_RGB, seen(rows, kOpaque | kFlipped)},
        {"tga", tga(rows, {.bitsPerPixel = 24, .topDown = true}), GL_RGB, seen(rows, kOpaque)},
        {"id_and_map.tga", tga(rows, {.imageId = "made for a test", .colorMapEntries = 5}), GL_RGBA,
         seen(rows, kFlipped)},
        {"rle8.tga", tga(runs, {.bitsPerPixel = 8, .topDown = true, .runLength = true}),
         GL_LUMINANCE, seen(runs, kGrey)},
        {"rle32.tga", tga(runs, {.topDown = true, .runLength = true}), GL_RGBA, runs},
    };
    for (const Load& c : loads) {
        SCOPED_TRACE(c.file);
        c.write(c.file);
        Texture texture;
        ASSERT_TRUE(loadTexture(texture, c.file));
        EXPECT_EQ(std::tuple(texture.loaded, texture.width, texture.height),
                  std::tuple(true, c.expected.width, c.expected.height));
        EXPECT_EQ(baseFormat(), c.format);
        EXPECT_TRUE(shows(texture, c.expected, c.tolerance));
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
    const char* const colourMapped =
        "Texture load: Can't load the texture in %s, colour-mapped images are not supported.";
    const Picture picture = solidPicture(4, 4, kOrange);  // as a 32-bit TGA: 18 + 64 bytes
    struct Refusal {
        const char* file;
        Writer write;
        const char* message;       // null: loaded after all
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
        {"mapped.tga", changed(tga(picture, {}), 0, 2, 2, 1), colourMapped},  // image type 1
        {"mapped_rle.tga", changed(tga(picture, {}), 0, 2, 2, 9), colourMapped},
        {"truncated.tga", changed(tga(picture, {}), 1), unreadable},
        {"rle_truncated.tga",
         changed(tga(solidPicture(64, 4, kOrange), {.bitsPerPixel = 24, .runLength = true}), 4),
         unreadable},
        {"empty.tga", tga(solidPicture(0, 4, kOrange), {.bitsPerPixel = 24}), unreadable},
        // 65535 x 65535 x 4 bytes in a file that holds almost nothing: a size computed with
        // overflow would read it as a tiny picture instead.
        {"huge.tga", changed(tga(picture, {}), 0, 12, 15, 0xff), unaffordable},
        {"small.tga", tga(picture, {.bitsPerPixel = 24}), unaffordable, 4 * 4 * 3 - 1},
        {"small.png", png(picture, PngKind::rgb), unaffordable, 4 * 4 * 3 - 1},
        {"small.tga", nullptr, nullptr, 4 * 4 * 3},  // the limit itself is affordable
        {"grey.png", png(picture, PngKind::grey),
         "Texture load: Sorry, only 3 or 4 channel images are supported. %s is not!"},
        {"garbage.png", changed(tga(picture, {}), 0, 0, 81, 'x'), undecodable},
        {"missing.jpg", nullptr, undecodable},
    };
    for (const Refusal& c : refusals) {
        SCOPED_TRACE(c.file ? c.file : "null");
        if (c.write)
            c.write(c.file);
        const uint64_t saved = gPixelBufferLimit;
        gPixelBufferLimit = c.bufferLimit ? c.bufferLimit : saved;
        // Recognisable contents: a refused load must leave all four fields alone.
        Texture texture;
        const auto fields = [&] {
            return std::tie(texture.loaded, texture.id, texture.width, texture.height);
        };
        fields() = std::tuple(true, 777u, 5, 6);
        EXPECT_EQ(loadTexture(texture, c.file), c.message == nullptr);
        gPixelBufferLimit = saved;
        if (c.message) {
            std::string message = c.message;
            if (size_t at = message.find("%s"); at != std::string::npos)
                message.replace(at, 2, c.file);
            EXPECT_EQ(sink.texts(), std::vector<std::string>{message});
            EXPECT_EQ(fields(), std::tuple(true, 777u, 5, 6));
            texture.id = 0;
        }
        sink.boxes.clear();
    }
}

TEST_F(TextureTest, UploadBindsEveryMipmapUpToTheLastLevelAndModulates) {
    writeSolidPng("card.png", 800, 600, kOrange);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    Texture texture;
    ASSERT_TRUE(loadTexture(texture, "card.png"));
    EXPECT_EQ(std::pair(texture.width, texture.height), std::pair(800, 600)) << "its own size";
    // Bound, unpacked by bytes, mipmapped, and tinted by the current colour.
    GLint state[5] = {};
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &state[0]);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &state[1]);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &state[2]);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &state[3]);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &state[4]);
    EXPECT_EQ(std::vector<GLint>(state, state + 5),
              (std::vector<GLint>{static_cast<GLint>(texture.id), 1, GL_LINEAR_MIPMAP_NEAREST,
                                  GL_LINEAR, GL_MODULATE}));

    // GL_TEXTURE_MAX_LEVEL names the last level GLU built: one short would leave a level
    // unused, one beyond would size storage for a level that never comes. Sides GLU rounds
    // down and up (at 1.5 times the lower power and just below), and one pixel across.
    for (auto [width, height] : {std::pair{1, 1},
                                 {1, 300},
                                 {3, 5},
                                 {5, 3},
                                 {130, 40},
                                 {767, 16},
                                 {768, 16},
                                 {800, 600},
                                 {2048, 512}}) {
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

TEST_F(TextureTest, FailedUploadsSayWhyAndWhatTheyLeave) {
    // Null pixels: reported, a fresh name that is not loaded, the size taken.
    Texture texture;
    EXPECT_FALSE(uploadTexture(texture, nullptr, 16, 8, 3, GL_RGB, GL_RGB));
    EXPECT_EQ(std::tuple(texture.loaded, texture.id != 0, texture.width, texture.height),
              std::tuple(false, true, 16, 8));
    // GLU refuses a size of 0, which OpenGL takes as an empty level: one linear level. A
    // pixel format GLU refuses reaches OpenGL through that fallback, and its error is
    // reported with GLU's text.
    const uint8_t pixels[16] = {};
    Texture empty;
    EXPECT_TRUE(uploadTexture(empty, pixels, 0, 1, 3, GL_RGB, GL_RGB));
    EXPECT_TRUE(empty.loaded);
    GLint filter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
    Texture wrong;
    EXPECT_TRUE(uploadTexture(wrong, pixels, 2, 2, 4, GL_RGBA, GL_TEXTURE_2D));
    const std::string noMipmaps =
        "Texture load: Can't make mipmaps of the texture in databuffer for some reason.";
    EXPECT_EQ(sink.texts(),
              (std::vector<std::string>{"Texture load: Data pointer is null.", noMipmaps, noMipmaps,
                                        "OpenGL Error 1280 (0x500): invalid enumerant"}));
}

TEST_F(TextureTest, ReleaseClearsTheNameAndAllowsReloading) {
    writeSolidPng("red.png", 4, 4, kRed);
    writeSolidPng("blue.png", 4, 4, kBlue);
    Texture texture("red.png");
    ASSERT_TRUE(texture.loaded) << "the constructor records the result";
    const GLuint first = texture.id;
    // Loading over a loaded record replaces its texture.
    ASSERT_TRUE(loadTexture(texture, "blue.png"));
    EXPECT_TRUE(texture.id == first || !glIsTexture(first));
    EXPECT_TRUE(shows(texture, solidPicture(4, 4, kBlue)));

    const GLuint second = texture.id;
    releaseTexture(texture);
    EXPECT_EQ(std::pair(texture.loaded, texture.id), std::pair(false, 0u));
    EXPECT_FALSE(glIsTexture(second));
    // A second release must not delete a name someone else was given meanwhile.
    GLuint other = 0;
    glGenTextures(1, &other);
    glBindTexture(GL_TEXTURE_2D, other);
    releaseTexture(texture);
    EXPECT_TRUE(glIsTexture(other));
    EXPECT_TRUE(sink.boxes.empty());
    Texture missing("none.png");
    EXPECT_EQ(std::pair(missing.loaded, missing.id), std::pair(false, 0u));
    EXPECT_EQ(sink.boxes.size(), 1u);
}
