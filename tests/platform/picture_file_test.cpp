// PNG files from the capture tool's writer, read back by the picture decoder: the pixels
// given are the pixels decoded, whatever the rows' order and layout. Linux only: Windows
// has no picture writer.
#ifndef _WIN32

#include "platform/picture_file.h"

#include <string>
#include <tuple>
#include <vector>

#include "platform/image.h"
#include "support/show_test.h"

TEST(PngWriter, TheDecoderGetsBackThePixelsGivenInEitherLayoutAndFailuresAreReported) {
    TempDir dir;
    const std::string path = dir.path("picture.png");
    platform::PngWriter writer;
    // Odd widths (rows that are no multiple of four bytes), a single pixel, the capture's
    // own frame size; one writer for all, sizes going up and down. Read back: BGRX rows
    // bottom first, as OpenGL hands them to the capture.
    const std::tuple<int, int, bool> cases[] = {
        {37, 23, false}, {37, 23, true}, {1, 1, true}, {800, 600, true}, {3, 5, false}};
    for (auto [width, height, readBack] : cases) {
        SCOPED_TRACE(testing::Message() << width << "x" << height << " read back " << readBack);
        // Every channel of every pixel differs from its neighbours', so that a swapped
        // channel, a row out of place or a wrong filter shows.
        std::vector<uint8_t> rgb(size_t(width) * height * 3), bgrx(size_t(width) * height * 4);
        for (size_t i = 0; i < rgb.size(); ++i) {
            rgb[i] = static_cast<uint8_t>(i % 3 * 80 + i / 3 % 7 * 20 + (i * 2654435761u >> 29));
            const size_t x = i / 3 % width, y = i / 3 / width;
            bgrx[((height - 1 - y) * width + x) * 4 + 2 - i % 3] = rgb[i];
            bgrx[((height - 1 - y) * width + x) * 4 + 3] = static_cast<uint8_t>(x + y);
        }
        const ptrdiff_t pitch = ptrdiff_t{width} * 4;
        ASSERT_TRUE(writer.write(
            path.c_str(), readBack ? platform::PixelRows{bgrx.data() + (height - 1) * pitch, -pitch,
                                                         width, height, platform::PixelOrder::bgrx}
                                   : platform::PixelRows{rgb.data(), width * 3, width, height,
                                                         platform::PixelOrder::rgb}));
        platform::DecodedImage image;
        ASSERT_EQ(image.load(path.c_str()), 0);
        ASSERT_EQ(std::tuple(image.width(), image.height(), image.bitsPerPixel()),
                  std::tuple(width, height, 24));
        int wrong = 0;
        for (size_t i = 0; i < rgb.size(); ++i) {
            const uint8_t* row = image.topRow() + i / 3 / width * image.pitch();
            wrong += row[i / 3 % width * 3 + 2 - i % 3] != rgb[i];
        }
        EXPECT_EQ(wrong, 0);
    }
    const std::vector<uint8_t> rgb(4 * 4 * 3);
    for (const std::string& bad : {dir.path("no/such/folder.png"), dir.root()})
        EXPECT_FALSE(platform::writePngRgb(bad.c_str(), 4, 4, rgb.data())) << bad;
    EXPECT_FALSE(platform::writePngRgb(path.c_str(), 0, 4, rgb.data())) << "no pixels";
}

#endif
