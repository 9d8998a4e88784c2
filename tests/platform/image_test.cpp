#include "platform/image.h"

#include <string>

#include "support/pictures.h"
#include "support/show_test.h"

namespace {

const Rgba kOrange{200, 100, 30, 255};

// The pixel at (x, y) from the top, as the loader reads it: blue, green, red(, alpha).
Rgba decodedPixel(const platform::DecodedImage& image, int x, int y) {
    int bytes = image.bitsPerPixel() / 8;
    const uint8_t* p = image.topRow() + y * image.pitch() + x * bytes;
    return {p[2], p[1], p[0], bytes == 4 ? p[3] : 255};
}

}  // namespace

TEST(DecodedImage, DepthFollowsTheSourceAndRowsAreWordAligned) {
    TempDir dir;
    const Rgba translucent{200, 100, 30, 128};
    struct Case {
        std::string name;
        int bits;
        Rgba color;
        int tolerance;
    };
    writeSolidPng(dir.path("rgb.png"), 3, 2, kOrange, PngKind::rgb);
    writeSolidPng(dir.path("rgba.png"), 3, 2, translucent, PngKind::rgba);
    writeSolidPng(dir.path("palette.png"), 3, 2, kOrange, PngKind::palette);
    writeSolidPng(dir.path("palette_alpha.png"), 3, 2, translucent, PngKind::paletteAlpha);
    writeSolidPng(dir.path("grey.png"), 3, 2, kOrange, PngKind::grey);
    writeSolidPng(dir.path("grey_alpha.png"), 3, 2, {90, 0, 0, 128}, PngKind::greyAlpha);
    writeSolidJpeg(dir.path("photo.jpg"), 3, 2, kOrange);
    writeSolidBmp(dir.path("rgb.bmp"), 3, 2, kOrange, 24);
    writeSolidBmp(dir.path("rgba.bmp"), 3, 2, kOrange, 32);
    const Case cases[] = {
        {"rgb.png", 24, kOrange, 0},   {"rgba.png", 32, translucent, 0},
        {"palette.png", 8, {}, -1},    {"palette_alpha.png", 32, translucent, 0},
        {"grey.png", 8, {}, -1},       {"grey_alpha.png", 32, {90, 90, 90, 128}, 0},
        {"photo.jpg", 24, kOrange, 4}, {"rgb.bmp", 24, kOrange, 0},
        {"rgba.bmp", 32, kOrange, 0},
    };

    platform::DecodedImage image;
    for (const Case& c : cases) {
        ASSERT_EQ(image.load(dir.path(c.name).c_str()), 0) << c.name;
        EXPECT_EQ(image.width(), 3) << c.name;
        EXPECT_EQ(image.height(), 2) << c.name;
        EXPECT_EQ(image.bitsPerPixel(), c.bits) << c.name;
        EXPECT_EQ(image.pitch() % 4, 0) << c.name;
        EXPECT_GE(image.pitch(), 3 * c.bits / 8) << c.name;
        if (c.tolerance >= 0) {
            EXPECT_TRUE(decodedPixel(image, 0, 0).closeTo(c.color, c.tolerance))
                << c.name << " " << decodedPixel(image, 0, 0);
            EXPECT_TRUE(decodedPixel(image, 2, 1).closeTo(c.color, c.tolerance))
                << c.name << " " << decodedPixel(image, 2, 1);
        }
    }
}

TEST(DecodedImage, OneTransparentPaletteEntryBecomesAlpha) {
    TempDir dir;
    Picture picture = splitPicture(4, 2, 1, {255, 0, 0, 255}, {0, 0, 255, 0});
    writePng(dir.path("keyed.png"), picture, PngKind::paletteAlpha);
    platform::DecodedImage image;
    ASSERT_EQ(image.load(dir.path("keyed.png").c_str()), 0);
    EXPECT_EQ(image.bitsPerPixel(), 32);
    EXPECT_EQ(decodedPixel(image, 1, 0).a, 255);
    EXPECT_EQ(decodedPixel(image, 1, 0).r, 255);
    EXPECT_EQ(decodedPixel(image, 1, 1).a, 0);
}

TEST(DecodedImage, TopRowComesFirstAndFailuresLeaveNothing) {
    TempDir dir;
    writePng(dir.path("split.png"), splitPicture(2, 2, 1, {255, 0, 0, 255}, {0, 0, 255, 255}));
    platform::DecodedImage image;
    ASSERT_EQ(image.load(dir.path("split.png").c_str()), 0);
    EXPECT_EQ(decodedPixel(image, 0, 0).r, 255);
    EXPECT_EQ(decodedPixel(image, 0, 1).b, 255);

    EXPECT_NE(image.load(dir.path("missing.png").c_str()), 0);
    EXPECT_EQ(image.topRow(), nullptr);
    EXPECT_EQ(image.width(), 0);
    EXPECT_NE(image.load(nullptr), 0);
    writeFile(dir.path("empty.png"), {});
    EXPECT_NE(image.load(dir.path("empty.png").c_str()), 0);
}
