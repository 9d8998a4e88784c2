#include "gfx/render_target.h"

#include <climits>
#include <iterator>

#include "support/show_test.h"

TEST(NextPowerOfTwo, SmallestPowerNotBelowAtLeastTwoAndAtMostTwoToThe30) {
    const int32_t sides[] = {-7, 0, 1, 2, 3, 128, 129, 600, 1 << 30, (1 << 30) + 1, INT_MAX};
    const int32_t powers[] = {2, 2, 2, 2, 4, 128, 256, 1024, 1 << 30, 1 << 30, 1 << 30};
    for (size_t i = 0; i < std::size(sides); ++i)
        EXPECT_EQ(nextPowerOfTwo(sides[i]), powers[i]) << sides[i];
}
