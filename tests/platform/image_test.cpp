#include "platform/image.h"

#include <string>

#include "support/pictures.h"
#include "support/show_test.h"

namespace {

const Rgba kOrange{200, 100, 30, 255};
const Rgba kBlue{0, 0, 255, 255};

// The pixel at (x, y) from the top, as the loader reads it: blue, green, red(, alpha).
Rgba decodedPixel(const platform::DecodedImage& image, int x, int y) {
    int bytes = image.bitsPerPixel() / 8;
    const uint8_t* p = image.topRow() + y * image.pitch() + x * bytes;
    return {p[2], p[1], p[0], bytes == 4 ? p[3] : 255};
}

}  // namespace

TEST(DecodedImage, DepthFollowsTheSourceTopRowFirstInWordAlignedRows) {
    TempDir dir;
    const Picture opaque = splitPicture(3, 2, 1, kOrange, kBlue);
    writePng(dir.path("rgb.png"), opaque, PngKind::rgb);
    // Fixed files of the same pictures with a palette of the colours and a tRNS chunk of
    // their alphas.
    for (const char* name : {"palette_alpha.png", "keyed.png"})
        writeFile(dir.path(name), readFile(kPictures + name));
    writeBmp(dir.path("rgb.bmp"), opaque, 24);
    struct Case {
        std::string name;
        int bits;
        Rgba top, bottom;
    };
    const Case cases[] = {
        {"rgb.png", 24, kOrange, kBlue},
        {"palette_alpha.png", 32, kOrange, {0, 0, 255, 128}},
        // A palette with one entry fully transparent: a colour key rather than an alpha table.
        {"keyed.png", 32, kOrange, {0, 0, 255, 0}},
        {"rgb.bmp", 24, kOrange, kBlue},
    };
    platform::DecodedImage image;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(image.load(dir.path(c.name).c_str()), 0);
        EXPECT_EQ(image.width(), 3);
        EXPECT_EQ(image.height(), 2);
        EXPECT_EQ(image.bitsPerPixel(), c.bits);
        EXPECT_EQ(image.pitch() % 4, 0);
        EXPECT_GE(image.pitch(), 3 * c.bits / 8);
        EXPECT_TRUE(decodedPixel(image, 0, 0).closeTo(c.top, 0)) << decodedPixel(image, 0, 0);
        EXPECT_TRUE(decodedPixel(image, 2, 1).closeTo(c.bottom, 0)) << decodedPixel(image, 2, 1);
    }
}
