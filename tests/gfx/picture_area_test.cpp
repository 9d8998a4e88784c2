// Where the 4:3 picture goes on a display or video frame of another size.
#include <gtest/gtest.h>

#include <cstdlib>

#include "gfx/gl_window.h"

TEST(FitPicture, EvenAreaInsideFillsOneSideAndKeepsTheShape) {
    for (int width = 16; width <= 4000; width += 37) {
        for (int height = 16; height <= 3000; height += 29) {
            const PictureArea a = fitPicture(width, height);
            SCOPED_TRACE(testing::Message() << width << "x" << height);
            EXPECT_EQ((a.x | a.y | a.width | a.height) & 1, 0);
            EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.x + a.width <= width && a.y + a.height <= height);
            EXPECT_TRUE(width - a.width <= 1 || height - a.height <= 1);
            EXPECT_LE(std::abs(a.width * 3 - a.height * 4), 8);
            // Centred: the bars on either side differ by at most two pixels.
            EXPECT_LE(std::abs((width - a.width - a.x) - a.x), 2);
            EXPECT_LE(std::abs((height - a.height - a.y) - a.y), 2);
        }
    }
}
