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
    const Picture translucent = splitPicture(3, 2, 1, kOrange, {0, 0, 255, 128});
    writePng(dir.path("rgb.png"), opaque, PngKind::rgb);
    writePng(dir.path("rgba.png"), translucent, PngKind::rgba);
    // Fixed files of the same pictures: with a palette of the colours and a tRNS chunk of
    // their alphas, and grey with alpha.
    for (const char* name : {"palette_alpha.png", "keyed.png", "grey_alpha.png"})
        writeFile(dir.path(name), readFile(kPictures + name));
    writeSolidJpeg(dir.path("photo.jpg"), 3, 2, kOrange);
    writeBmp(dir.path("rgb.bmp"), opaque, 24);
    struct Case {
        std::string name;
        int bits;
        Rgba top, bottom;
        int tolerance;
    };
    const Case cases[] = {
        {"rgb.png", 24, kOrange, kBlue, 0},
        {"rgba.png", 32, kOrange, {0, 0, 255, 128}, 0},
        {"palette_alpha.png", 32, kOrange, {0, 0, 255, 128}, 0},
        // A palette with one entry fully transparent: a colour key rather than an alpha table.
        {"keyed.png", 32, kOrange, {0, 0, 255, 0}, 0},
        {"grey_alpha.png", 32, {200, 200, 200, 255}, {0, 0, 0, 128}, 0},
        {"photo.jpg", 24, kOrange, kOrange, 4},
        {"rgb.bmp", 24, kOrange, kBlue, 0},
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
        EXPECT_TRUE(decodedPixel(image, 0, 0).closeTo(c.top, c.tolerance))
            << decodedPixel(image, 0, 0);
        EXPECT_TRUE(decodedPixel(image, 2, 1).closeTo(c.bottom, c.tolerance))
            << decodedPixel(image, 2, 1);
    }
    // A failure leaves nothing of the picture before.
    EXPECT_NE(image.load(dir.path("missing.png").c_str()), 0);
    EXPECT_EQ(image.topRow(), nullptr);
    EXPECT_EQ(image.width(), 0);
}
