#include "gfx/texture.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/gl.h"
#include "support/pictures.h"
#include "support/show_test.h"

namespace {

const Rgba kRed{255, 0, 0, 255};
const Rgba kBlue{0, 0, 255, 255};
const Rgba kGreen{0, 255, 0, 255};
const Rgba kWhite{255, 255, 255, 255};
// Distinct values per channel: a swap of blue and red cannot go unnoticed.
const Rgba kOrange{200, 100, 30, 255};

// Level 0 of a texture as OpenGL holds it, texture row 0 first.
struct Level {
    int width = 0;
    int height = 0;
    std::vector<Rgba> texels;
    Rgba at(int s, int t) const { return texels[static_cast<size_t>(t) * width + s]; }
};

GLint levelParameter(GLenum name) {
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, name, &value);
    return value;
}

// The base format of the bound texture's level 0. GL_TEXTURE_INTERNAL_FORMAT would give
// back the component count GLU was handed, so the channel sizes tell it instead.
GLenum baseFormat() {
    if (levelParameter(GL_TEXTURE_LUMINANCE_SIZE) > 0)
        return GL_LUMINANCE;
    if (levelParameter(GL_TEXTURE_RED_SIZE) == 0)
        return GL_NONE;
    return levelParameter(GL_TEXTURE_ALPHA_SIZE) > 0 ? GL_RGBA : GL_RGB;
}

// Lowers the loaders' buffer limit for one test.
class BufferLimit {
  public:
    explicit BufferLimit(uint64_t bytes) : saved_(gPixelBufferLimit) { gPixelBufferLimit = bytes; }
    ~BufferLimit() { gPixelBufferLimit = saved_; }

  private:
    uint64_t saved_;
};

Level readLevel0(const Texture& texture) {
    glBindTexture(GL_TEXTURE_2D, texture.id);
    Level level;
    level.width = levelParameter(GL_TEXTURE_WIDTH);
    level.height = levelParameter(GL_TEXTURE_HEIGHT);
    std::vector<uint8_t> bytes(static_cast<size_t>(level.width) * level.height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    for (size_t i = 0; i < bytes.size(); i += 4) {
        level.texels.push_back({bytes[i], bytes[i + 1], bytes[i + 2], bytes[i + 3]});
    }
    return level;
}

// True when every texel of texture row t is within `tolerance` of `color`.
::testing::AssertionResult rowIs(const Level& level, int t, Rgba color, int tolerance = 1) {
    for (int s = 0; s < level.width; ++s) {
        if (!level.at(s, t).closeTo(color, tolerance)) {
            return ::testing::AssertionFailure()
                   << "texel (" << s << ", " << t << ") is " << level.at(s, t) << ", not " << color;
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult allTexelsAre(const Level& level, Rgba color, int tolerance = 1) {
    if (level.texels.empty())
        return ::testing::AssertionFailure() << "no texels";
    for (int t = 0; t < level.height; ++t) {
        if (auto row = rowIs(level, t, color, tolerance); !row)
            return row;
    }
    return ::testing::AssertionSuccess();
}

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A record with recognisable contents: a refused load must leave all four fields alone.
struct SentinelTexture : Texture {
    SentinelTexture() {
        loaded = true;
        id = 777;
        width = 5;
        height = 6;
    }
    ~SentinelTexture() { id = 0; }
};

class TextureTest : public ShowTest {
  protected:
    // Loads `path`, expects it refused with exactly `message` and the record unchanged.
    void expectRefused(const char* path, const std::string& message) {
        SentinelTexture texture;
        EXPECT_FALSE(loadTexture(texture, path));
        EXPECT_EQ(sink.texts(), std::vector<std::string>{message});
        EXPECT_TRUE(texture.loaded);
        EXPECT_EQ(texture.id, 777u);
        EXPECT_EQ(texture.width, 5);
        EXPECT_EQ(texture.height, 6);
        sink.boxes.clear();
    }

    TempDir dir;
};

using TgaTest = TextureTest;
using DecodedPictureTest = TextureTest;
using UploadTest = TextureTest;

}  // namespace

// ---- choice of reader ----

TEST(TextureReaderChoice, ExtensionAfterTheLastDotIgnoringCase) {
    for (const char* name : {"a.png", "a.PNG", "a.Png", "b.jpg", "b.JPEG", "c.bmp", "d.e.jpeg"}) {
        EXPECT_EQ(textureReaderFor(name), TextureReader::decoder) << name;
    }
    for (const char* name : {"x.tga", "x.tar.tga", "X.TGA", "tga", "TgA"}) {
        EXPECT_EQ(textureReaderFor(name), TextureReader::tga) << name;
    }
    for (const char* name : {"readme", "name.", "png.txt", "a.gif", ".", "", "a.pngx", "jpg."}) {
        EXPECT_EQ(textureReaderFor(name), TextureReader::none) << name;
    }
    EXPECT_EQ(textureReaderFor(nullptr), TextureReader::none);
}

TEST_F(TextureTest, NamesWithoutAKnownExtensionAreRefusedWithTheirMessages) {
    expectRefused(nullptr, "Trying to load texture from filename NULL. No good...");
    expectRefused("readme",
                  "Texture load: Can't load the texture in file 'readme'. Unknown or no file "
                  "extension.");
    expectRefused("name.",
                  "Texture load: Can't load the texture in file 'name.'. Unknown or no file "
                  "extension.");
}

TEST_F(TextureTest, ExtensionCaseAndDotlessNamesReachTheRightReader) {
    writeSolidPng(dir.path("upper.PNG"), 4, 4, kOrange);
    writeSolidPng(dir.path("mixed.Png"), 4, 4, kOrange);
    writeSolidTga(dir.path("x.tar.tga"), 4, 4, kOrange, {.bitsPerPixel = 24});
    writeSolidTga(dir.path("tga"), 4, 4, kOrange, {.bitsPerPixel = 24});
    // A dotless name is compared whole, so "tga" must be loaded by that very name.
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.root());
    for (const char* name : {"upper.PNG", "mixed.Png", "x.tar.tga", "tga"}) {
        Texture texture;
        EXPECT_TRUE(loadTexture(texture, name)) << name;
        EXPECT_TRUE(allTexelsAre(readLevel0(texture), kOrange)) << name;
    }
    std::filesystem::current_path(previous);
    EXPECT_TRUE(sink.boxes.empty());
}

// ---- TGA reader ----

TEST_F(TgaTest, DepthsGiveLuminanceRgbAndRgbaWithBlueAndRedInPlace) {
    const Rgba translucent{200, 100, 30, 90};
    writeSolidTga(dir.path("grey.tga"), 4, 2, {77, 0, 0, 255}, {.bitsPerPixel = 8});
    writeSolidTga(dir.path("rgb.tga"), 4, 2, kOrange, {.bitsPerPixel = 24});
    writeSolidTga(dir.path("rgba.tga"), 4, 2, translucent, {.bitsPerPixel = 32});

    Texture grey, rgb, rgba;
    ASSERT_TRUE(loadTexture(grey, dir.path("grey.tga").c_str()));
    EXPECT_EQ(baseFormat(), static_cast<GLenum>(GL_LUMINANCE));
    // Read back as RGBA, luminance lands in red alone.
    EXPECT_TRUE(allTexelsAre(readLevel0(grey), {77, 0, 0, 255}));

    ASSERT_TRUE(loadTexture(rgb, dir.path("rgb.tga").c_str()));
    EXPECT_EQ(baseFormat(), static_cast<GLenum>(GL_RGB));
    EXPECT_TRUE(allTexelsAre(readLevel0(rgb), kOrange));

    ASSERT_TRUE(loadTexture(rgba, dir.path("rgba.tga").c_str()));
    EXPECT_EQ(baseFormat(), static_cast<GLenum>(GL_RGBA));
    EXPECT_TRUE(allTexelsAre(readLevel0(rgba), translucent));

    EXPECT_EQ(rgba.width, 4);
    EXPECT_EQ(rgba.height, 2);
    EXPECT_TRUE(rgba.loaded);
    EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(TgaTest, RowsArriveInFileOrder) {
    Picture picture = splitPicture(4, 4, 1, kRed, kBlue);
    writeTga(dir.path("bottom_up.tga"), picture, {.bitsPerPixel = 24});
    writeTga(dir.path("top_down.tga"), picture, {.bitsPerPixel = 24, .topDown = true});

    Texture bottomUp, topDown;
    ASSERT_TRUE(loadTexture(bottomUp, dir.path("bottom_up.tga").c_str()));
    ASSERT_TRUE(loadTexture(topDown, dir.path("top_down.tga").c_str()));
    Level fromBottom = readLevel0(bottomUp);
    EXPECT_TRUE(rowIs(fromBottom, 0, kBlue));
    EXPECT_TRUE(rowIs(fromBottom, 3, kRed));
    // The origin bit of a top-down file is not followed: its top row lands at row 0.
    Level fromTop = readLevel0(topDown);
    EXPECT_TRUE(rowIs(fromTop, 0, kRed));
    EXPECT_TRUE(rowIs(fromTop, 3, kBlue));
}

TEST_F(TgaTest, OddWidthRowsAreReadWithoutPadding) {
    // Rows of 9 bytes: any row alignment but 1 would mix the rows' colours.
    Picture picture = solidPicture(3, 4, kRed);
    const Rgba rows[4] = {kRed, kGreen, kBlue, kWhite};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 3; ++x)
            picture.at(x, y) = rows[y];
    }
    writeTga(dir.path("three.tga"), picture, {.bitsPerPixel = 24, .topDown = true});
    Texture texture;
    ASSERT_TRUE(loadTexture(texture, dir.path("three.tga").c_str()));
    EXPECT_EQ(texture.width, 3);
    Level level = readLevel0(texture);
    ASSERT_EQ(level.height, 4);
    // Mesa's GLU blackens the last row when it scales the width alone; the first three rows
    // show the row stride well enough.
    for (int t = 0; t < 3; ++t)
        EXPECT_TRUE(rowIs(level, t, rows[t])) << "row " << t;
}

TEST_F(TgaTest, BrokenFilesAreRefusedWithTheirMessages) {
    std::string missing = dir.path("missing.tga");
    expectRefused(missing.c_str(), "Texture load: Failed to open the file " + missing + "!");

    std::string shortHeader = dir.path("short.tga");
    writeFile(shortHeader, std::vector<uint8_t>(17, 0));
    expectRefused(shortHeader.c_str(),
                  "Texture load: Failed to read the header in file " + shortHeader + "!");

    std::string sixteen = dir.path("sixteen.tga");
    writeSolidTga(sixteen, 4, 4, kOrange, {.bitsPerPixel = 24});
    std::vector<uint8_t> bytes = readBytes(sixteen);
    bytes[16] = 16;
    writeFile(sixteen, bytes);
    expectRefused(sixteen.c_str(), "Texture load: Can't load the texture in " + sixteen +
                                       ", only 8/24/32-bit images supported.");

    const std::string dataMessage =
        " for some reason. Maybe the file is in some format not supported.";
    std::string truncated = dir.path("truncated.tga");
    writeSolidTga(truncated, 4, 4, kOrange, {.bitsPerPixel = 32});
    std::filesystem::resize_file(truncated, 18 + 4 * 4 * 4 - 1);
    expectRefused(truncated.c_str(),
                  "Texture load: Failed to read image data from " + truncated + dataMessage);

    std::string empty = dir.path("empty.tga");
    writeSolidTga(empty, 0, 4, kOrange, {.bitsPerPixel = 24});
    expectRefused(empty.c_str(),
                  "Texture load: Failed to read image data from " + empty + dataMessage);

    std::string rleTruncated = dir.path("rle_truncated.tga");
    writeSolidTga(rleTruncated, 64, 4, kOrange, {.bitsPerPixel = 24, .runLength = true});
    std::filesystem::resize_file(rleTruncated, std::filesystem::file_size(rleTruncated) - 4);
    expectRefused(rleTruncated.c_str(),
                  "Texture load: Failed to read image data from " + rleTruncated + dataMessage);
}

TEST_F(TgaTest, ImageIdAndUnusedColourMapAreSkipped) {
    Picture picture = splitPicture(4, 4, 2, kRed, kBlue);
    writeTga(dir.path("id.tga"), picture, {.bitsPerPixel = 24, .imageId = "made for a test"});
    writeTga(dir.path("map.tga"), picture,
             {.bitsPerPixel = 32, .imageId = "x", .colorMapEntries = 5});
    for (const char* name : {"id.tga", "map.tga"}) {
        Texture texture;
        ASSERT_TRUE(loadTexture(texture, dir.path(name).c_str())) << name;
        Level level = readLevel0(texture);
        EXPECT_TRUE(rowIs(level, 0, kBlue)) << name;
        EXPECT_TRUE(rowIs(level, 1, kBlue)) << name;
        EXPECT_TRUE(rowIs(level, 2, kRed)) << name;
        EXPECT_TRUE(rowIs(level, 3, kRed)) << name;
    }
    EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(TgaTest, ColourMappedFilesAreRefused) {
    std::string path = dir.path("mapped.tga");
    writeTga(path, splitPicture(4, 4, 2, kRed, kBlue), {.colorMapped = true});
    expectRefused(path.c_str(), "Texture load: Can't load the texture in " + path +
                                    ", colour-mapped images are not supported.");
    writeTga(path, splitPicture(4, 4, 2, kRed, kBlue), {.colorMapped = true, .runLength = true});
    expectRefused(path.c_str(), "Texture load: Can't load the texture in " + path +
                                    ", colour-mapped images are not supported.");
}

TEST_F(TgaTest, RunLengthTrueColourAndGreyAreDecoded) {
    // Stripes make literal packets, solid rows make runs that cross row ends.
    Picture picture = solidPicture(8, 4, kBlue);
    for (int x = 0; x < 8; ++x)
        picture.at(x, 0) = x % 2 ? kRed : kWhite;
    picture.at(5, 2) = kGreen;
    for (int bits : {8, 24, 32}) {
        std::string path = dir.path("rle" + std::to_string(bits) + ".tga");
        writeTga(path, picture, {.bitsPerPixel = bits, .topDown = true, .runLength = true});
        Texture texture;
        ASSERT_TRUE(loadTexture(texture, path.c_str())) << bits;
        Level level = readLevel0(texture);
        ASSERT_EQ(level.width, 8);
        ASSERT_EQ(level.height, 4);
        for (int t = 0; t < 4; ++t) {
            for (int s = 0; s < 8; ++s) {
                Rgba expected = picture.at(s, t);
                if (bits == 8)
                    expected = {expected.r, 0, 0, 255};
                EXPECT_TRUE(level.at(s, t).closeTo(expected, 0))
                    << bits << " bits, texel (" << s << ", " << t << ") " << level.at(s, t);
            }
        }
    }
    EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(TgaTest, HugeOrUnaffordablePicturesAreRefusedWithTheAllocationMessage) {
    // 65535 x 65535 x 4 bytes is far beyond what the loader asks for; the file holds almost
    // nothing, so a size computed with overflow would read it as a tiny picture instead.
    std::string huge = dir.path("huge.tga");
    writeSolidTga(huge, 4, 4, kOrange, {.bitsPerPixel = 32});
    std::vector<uint8_t> bytes = readBytes(huge);
    bytes[12] = bytes[13] = bytes[14] = bytes[15] = 0xff;
    writeFile(huge, bytes);
    const std::string tail = ". You should buy more RAM!";
    expectRefused(huge.c_str(),
                  "Texture load: Failed to allocate memory for the image " + huge + tail);

    std::string small = dir.path("small.tga");
    writeSolidTga(small, 4, 4, kOrange, {.bitsPerPixel = 24});
    {
        BufferLimit limit(4 * 4 * 3 - 1);
        expectRefused(small.c_str(),
                      "Texture load: Failed to allocate memory for the image " + small + tail);
    }
    BufferLimit limit(4 * 4 * 3);
    Texture texture;
    EXPECT_TRUE(loadTexture(texture, small.c_str()));
}

TEST(PackedImageBytes, LargeSizesDoNotOverflow) {
    EXPECT_EQ(packedImageBytes(65535, 65535, 4), 65535ull * 65535 * 4);
    EXPECT_EQ(packedImageBytes(INT32_MAX, INT32_MAX, 4), uint64_t(INT32_MAX) * INT32_MAX * 4);
    EXPECT_EQ(packedImageBytes(INT32_MAX, INT32_MAX, INT32_MAX), UINT64_MAX);
    EXPECT_EQ(packedImageBytes(0, 600, 3), 0u);
    EXPECT_EQ(packedImageBytes(-800, 600, 3), 0u);
}

// ---- decoded pictures (PNG, JPEG, BMP) ----

TEST_F(DecodedPictureTest, TrueColourPicturesGiveRgbOrRgbaWithTheirColours) {
    const Rgba translucent{200, 100, 30, 128};
    writeSolidPng(dir.path("rgb.png"), 4, 4, kOrange, PngKind::rgb);
    writeSolidPng(dir.path("rgba.png"), 4, 4, translucent, PngKind::rgba);
    writeSolidPng(dir.path("palette_alpha.png"), 4, 4, translucent, PngKind::paletteAlpha);
    writeSolidPng(dir.path("grey_alpha.png"), 4, 4, {90, 90, 90, 128}, PngKind::greyAlpha);
    writeSolidJpeg(dir.path("photo.jpg"), 8, 8, kOrange);
    writeSolidBmp(dir.path("rgb.bmp"), 4, 4, kOrange, 24);
    writeSolidBmp(dir.path("rgba.bmp"), 4, 4, kOrange, 32);

    struct Case {
        const char* name;
        GLenum format;
        Rgba color;
        int tolerance;
    };
    const Case cases[] = {
        {"rgb.png", GL_RGB, kOrange, 0},
        {"rgba.png", GL_RGBA, translucent, 0},
        {"palette_alpha.png", GL_RGBA, translucent, 0},
        {"grey_alpha.png", GL_RGBA, {90, 90, 90, 128}, 0},
        {"photo.jpg", GL_RGB, kOrange, 4},
        {"rgb.bmp", GL_RGB, kOrange, 0},
        {"rgba.bmp", GL_RGBA, kOrange, 0},
    };
    for (const Case& c : cases) {
        Texture texture;
        ASSERT_TRUE(loadTexture(texture, dir.path(c.name).c_str())) << c.name;
        EXPECT_EQ(baseFormat(), c.format) << c.name;
        EXPECT_TRUE(allTexelsAre(readLevel0(texture), c.color, c.tolerance)) << c.name;
    }
    EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(DecodedPictureTest, TopRowLandsAtTextureRowZero) {
    Picture picture = splitPicture(4, 4, 1, kRed, kBlue);
    writePng(dir.path("split.png"), picture, PngKind::rgb);
    writeBmp(dir.path("split.bmp"), picture, 24);
    for (const char* name : {"split.png", "split.bmp"}) {
        Texture texture;
        ASSERT_TRUE(loadTexture(texture, dir.path(name).c_str())) << name;
        Level level = readLevel0(texture);
        EXPECT_TRUE(rowIs(level, 0, kRed)) << name;
        EXPECT_TRUE(rowIs(level, 3, kBlue)) << name;
    }
}

TEST_F(DecodedPictureTest, PaletteAndGreyPicturesAreRefused) {
    for (PngKind kind : {PngKind::palette, PngKind::grey}) {
        std::string path = dir.path(kind == PngKind::grey ? "grey.png" : "palette.png");
        writeSolidPng(path, 4, 4, kOrange, kind);
        expectRefused(
            path.c_str(),
            "Texture load: Sorry, only 3 or 4 channel images are supported. " + path + " is not!");
    }
}

TEST_F(DecodedPictureTest, UnreadableFilesAreRefused) {
    std::string garbage = dir.path("garbage.png");
    writeFile(garbage, {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'});
    expectRefused(garbage.c_str(), "Texture load: Can't load the texture in file '" + garbage +
                                       "' for some reason.");
    std::string missing = dir.path("missing.jpg");
    expectRefused(missing.c_str(), "Texture load: Can't load the texture in file '" + missing +
                                       "' for some reason.");
}

TEST_F(DecodedPictureTest, ScreenSizedPictureKeepsItsOwnSizeInTheRecord) {
    writeSolidPng(dir.path("card.png"), 800, 600, kOrange);
    Texture texture;
    ASSERT_TRUE(loadTexture(texture, dir.path("card.png").c_str()));
    EXPECT_EQ(texture.width, 800);
    EXPECT_EQ(texture.height, 600);
    // GLU stores the nearest powers of two.
    Level level = readLevel0(texture);
    EXPECT_EQ(level.width, 1024);
    EXPECT_EQ(level.height, 512);
    EXPECT_TRUE(allTexelsAre(level, kOrange));
}

TEST_F(DecodedPictureTest, UnaffordableBufferIsRefusedWithoutACrash) {
    std::string path = dir.path("rgb.png");
    writeSolidPng(path, 4, 4, kOrange);
    BufferLimit limit(4 * 4 * 3 - 1);
    expectRefused(path.c_str(), "Texture load: Failed to allocate memory for the image " + path +
                                    ". You should buy more RAM!");
}

// ---- upload and release ----

TEST_F(UploadTest, LeavesTheTextureBoundWithMipmapsAndModulation) {
    writeSolidPng(dir.path("a.png"), 8, 8, kOrange);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    Texture texture;
    ASSERT_TRUE(loadTexture(texture, dir.path("a.png").c_str()));
    EXPECT_TRUE(texture.loaded);
    EXPECT_NE(texture.id, 0u);

    GLint value = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(static_cast<GLuint>(value), texture.id);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &value);
    EXPECT_EQ(value, 1);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR_MIPMAP_NEAREST);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
    EXPECT_EQ(value, GL_REPEAT);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
    EXPECT_EQ(value, GL_MODULATE);
    // Every level down to 1x1 exists.
    GLint smallest = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 3, GL_TEXTURE_WIDTH, &smallest);
    EXPECT_EQ(smallest, 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(UploadTest, NullPixelsLeaveAFreshNameUnloaded) {
    writeSolidPng(dir.path("a.png"), 4, 4, kOrange);
    Texture texture;
    ASSERT_TRUE(loadTexture(texture, dir.path("a.png").c_str()));
    EXPECT_FALSE(uploadTexture(texture, nullptr, 16, 8, 3, GL_RGB, GL_RGB));
    EXPECT_EQ(sink.texts(), std::vector<std::string>{"Texture load: Data pointer is null."});
    EXPECT_FALSE(texture.loaded);
    EXPECT_NE(texture.id, 0u);
    EXPECT_EQ(texture.width, 16);
    EXPECT_EQ(texture.height, 8);
}

TEST_F(UploadTest, FailedMipmapsFallBackToOneLinearLevel) {
    // GLU refuses a size of 0; OpenGL takes it as an empty level.
    const uint8_t pixel[3] = {1, 2, 3};
    Texture texture;
    EXPECT_TRUE(uploadTexture(texture, pixel, 0, 1, 3, GL_RGB, GL_RGB));
    EXPECT_EQ(
        sink.texts(),
        std::vector<std::string>{
            "Texture load: Can't make mipmaps of the texture in databuffer for some reason."});
    EXPECT_TRUE(texture.loaded);
    GLint filter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
}

TEST_F(UploadTest, OpenGlErrorsAreReportedWithGluText) {
    // A pixel format GLU refuses reaches OpenGL through the single-level fallback.
    const uint8_t pixels[16] = {};
    Texture texture;
    EXPECT_TRUE(uploadTexture(texture, pixels, 2, 2, 4, GL_RGBA, GL_TEXTURE_2D));
    EXPECT_EQ(sink.texts(),
              (std::vector<std::string>{
                  "Texture load: Can't make mipmaps of the texture in databuffer for some reason.",
                  "OpenGL Error 1280 (0x500): invalid enumerant"}));
}

TEST_F(UploadTest, ReleaseClearsTheNameAndAllowsReloading) {
    writeSolidPng(dir.path("red.png"), 4, 4, kRed);
    writeSolidPng(dir.path("blue.png"), 4, 4, kBlue);
    Texture texture;
    ASSERT_TRUE(loadTexture(texture, dir.path("red.png").c_str()));
    GLuint first = texture.id;

    // Loading over a loaded record replaces its texture.
    ASSERT_TRUE(loadTexture(texture, dir.path("blue.png").c_str()));
    if (texture.id != first) {
        EXPECT_FALSE(glIsTexture(first));
    }
    EXPECT_TRUE(allTexelsAre(readLevel0(texture), kBlue));

    GLuint second = texture.id;
    releaseTexture(texture);
    EXPECT_FALSE(texture.loaded);
    EXPECT_EQ(texture.id, 0u);
    EXPECT_FALSE(glIsTexture(second));

    // A second release must not delete a name someone else was given meanwhile.
    GLuint other = 0;
    glGenTextures(1, &other);
    glBindTexture(GL_TEXTURE_2D, other);
    releaseTexture(texture);
    EXPECT_TRUE(glIsTexture(other));

    ASSERT_TRUE(loadTexture(texture, dir.path("red.png").c_str()));
    EXPECT_TRUE(allTexelsAre(readLevel0(texture), kRed));
    EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(UploadTest, TextureMadeFromAFileNameRecordsTheResult) {
    writeSolidPng(dir.path("a.png"), 4, 2, kOrange);
    Texture good(dir.path("a.png").c_str());
    EXPECT_TRUE(good.loaded);
    EXPECT_EQ(good.width, 4);
    Texture bad(dir.path("none.png").c_str());
    EXPECT_FALSE(bad.loaded);
    EXPECT_EQ(bad.id, 0u);
    EXPECT_EQ(sink.boxes.size(), 1u);
}
