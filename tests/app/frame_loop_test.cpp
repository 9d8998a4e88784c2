#include "app/frame_loop.h"

#include "platform/display.h"
#include "support/show_test.h"

using platform::MessageType;

TEST_F(ShowTest, EachPassTakesOneMessageAndPresentsUntilTheQuitMessage) {
    for (int i = 0; i < 3; ++i)
        post(MessageType::other);
    platform::postQuitMessage();
    const int64_t before = platform::framesPresented(window->hDC);
    for (int pass = 0; pass < 3; ++pass)
        EXPECT_TRUE(window->pumpFrame());
    EXPECT_EQ(platform::framesPresented(window->hDC) - before, 3);
    EXPECT_FALSE(window->pumpFrame());
    EXPECT_EQ(platform::framesPresented(window->hDC) - before, 3)
        << "the pass that takes the quit message presents nothing";
}
