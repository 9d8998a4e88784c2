// PNG files from the capture tool's writer, read back by the picture decoder: the pixels
// given are the pixels decoded, whatever the rows' order and layout. Linux only: Windows
// has no picture writer.
#ifndef _WIN32

#include "platform/picture_file.h"

#include <string>
#include <vector>

#include "platform/image.h"
#include "support/show_test.h"

namespace {

// Every channel of every pixel differs from its neighbours', so that a swapped channel, a
// row out of place or a wrong filter shows.
std::vector<uint8_t> rgbPicture(int width, int height) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    uint32_t state = 12345;
    for (size_t i = 0; i < rgb.size(); ++i) {
        state = state * 1103515245u + 12345u;
        rgb[i] = static_cast<uint8_t>((i % 3) * 80 + (i / 3) % 7 * 20 + (state >> 24) % 5);
    }
    return rgb;
}

// The same picture as OpenGL reads back GL_BGRA: blue, green, red, a fourth byte, rows
// bottom first.
std::vector<uint8_t> bgrxBottomUp(const std::vector<uint8_t>& rgb, int width, int height) {
    std::vector<uint8_t> bgrx(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* from = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            uint8_t* to = &bgrx[(static_cast<size_t>(height - 1 - y) * width + x) * 4];
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
            to[3] = static_cast<uint8_t>(x + y);  // never written
        }
    }
    return bgrx;
}

// The decoded picture as RGB rows, top first.
std::vector<uint8_t> decodeRgb(const std::string& path, int& width, int& height) {
    platform::DecodedImage image;
    if (image.load(path.c_str()) != 0 || image.bitsPerPixel() != 24)
        return {};
    width = image.width();
    height = image.height();
    std::vector<uint8_t> rgb;
    const uint8_t* row = image.topRow();
    for (int y = 0; y < height; ++y, row += image.pitch()) {
        for (int x = 0; x < width; ++x)
            rgb.insert(rgb.end(), {row[x * 3 + 2], row[x * 3 + 1], row[x * 3]});
    }
    return rgb;
}

}  // namespace

TEST(PngWriter, TheDecoderGetsBackThePixelsGivenInEitherLayout) {
    TempDir dir;
    platform::PngWriter writer;
    struct Case {
        int width;
        int height;
        bool asReadBack;  // BGRX rows bottom first, as the capture hands them over
    };
    // Odd widths (rows that are no multiple of four bytes), a single pixel, a single row,
    // the capture's own frame size; one writer for all, sizes going up and down.
    for (const Case& c :
         {Case{37, 23, false}, Case{37, 23, true}, Case{1, 1, false}, Case{1, 1, true},
          Case{257, 1, true}, Case{800, 600, true}, Case{3, 5, true}}) {
        SCOPED_TRACE(testing::Message()
                     << c.width << "x" << c.height << (c.asReadBack ? " read back" : " rgb"));
        const std::vector<uint8_t> rgb = rgbPicture(c.width, c.height);
        const std::vector<uint8_t> bgrx = bgrxBottomUp(rgb, c.width, c.height);
        platform::PixelRows rows{rgb.data(), c.width * 3, c.width, c.height,
                                 platform::PixelOrder::rgb};
        if (c.asReadBack) {
            const ptrdiff_t pitch = ptrdiff_t{c.width} * 4;
            rows = {bgrx.data() + (c.height - 1) * pitch, -pitch, c.width, c.height,
                    platform::PixelOrder::bgrx};
        }
        const std::string path = dir.path("picture.png");
        ASSERT_TRUE(writer.write(path.c_str(), rows));
        int width = 0;
        int height = 0;
        const std::vector<uint8_t> decoded = decodeRgb(path, width, height);
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
        EXPECT_TRUE(decoded == rgb) << "pixels differ";

        // The same pixels give the same bytes, from a writer that has written other
        // pictures before and from a fresh one alike.
        const std::string again = dir.path("again.png");
        ASSERT_TRUE(platform::writePngRgb(again.c_str(), c.width, c.height, rgb.data()));
        EXPECT_TRUE(readFile(again) == readFile(path));
    }
}

TEST(PngWriter, AFileThatCannotBeWrittenIsAFailure) {
    TempDir dir;
    const std::vector<uint8_t> rgb = rgbPicture(4, 4);
    EXPECT_FALSE(platform::writePngRgb(dir.path("no/such/folder.png").c_str(), 4, 4, rgb.data()));
    EXPECT_FALSE(platform::writePngRgb(dir.root().c_str(), 4, 4, rgb.data()));
    EXPECT_FALSE(platform::writePngRgb(dir.path("empty.png").c_str(), 0, 4, rgb.data()));
}

#endif
