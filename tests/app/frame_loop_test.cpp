#include "app/frame_loop.h"

#include "platform/display.h"
#include "support/show_test.h"

using platform::Key;
using platform::MessageType;

// Each pass takes one message or presents, then tests Escape, then draws; the pass that
// takes the quit message presents nothing. A posted Escape shows in the key's state at once,
// as a real press does: the first pass's test sees it, before a frame is drawn.
TEST_F(ShowTest, EachPassTakesOneMessageAndDrawsUntilTheQuitMessageOrEscape) {
    const struct {
        bool escape;
        int drawn, presented;
    } cases[] = {{false, 3, 3}, {true, 0, 1}};
    for (const auto& c : cases) {
        for (int i = 0; i < 3; ++i)
            post(MessageType::other);
        if (c.escape)
            post(MessageType::keyDown, Key::escape);
        else
            platform::postQuitMessage();
        const int64_t before = platform::framesPresented(window->hDC);
        int drawn = 0;
        runFrameLoop(*window, [&] { ++drawn; });
        EXPECT_EQ(drawn, c.drawn) << "Escape posted: " << c.escape;
        EXPECT_EQ(platform::framesPresented(window->hDC) - before, c.presented);
    }
}
