#include "app/frame_loop.h"

#include "platform/display.h"
#include "support/show_test.h"

using platform::Key;
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
    EXPECT_TRUE(window->pumpFrame()) << "a pass without a message presents";
    EXPECT_EQ(platform::framesPresented(window->hDC) - before, 4);
}

TEST_F(ShowTest, LoopRunsUntilTheQuitMessageIsTakenOrEscapeIsSeen) {
    // A close request is answered with the quit message: passes other, close, quit taken.
    // Escape is seen through the key state before the window procedure: the first pass's
    // Escape test already sees the queued press.
    const struct {
        MessageType last;
        Key key;
        int drawn;
    } cases[] = {{MessageType::close, Key::other, 2}, {MessageType::keyDown, Key::escape, 0}};
    for (const auto& c : cases) {
        int drawn = 0;
        post(MessageType::other);
        post(c.last, c.key);
        runFrameLoop(*window, [&] { ++drawn; });
        EXPECT_EQ(drawn, c.drawn);
        EXPECT_FALSE(platform::keyDownOrPressedSinceLastQuery(Key::escape))
            << "a press is reported once";
    }
}

TEST_F(ShowTest, FramesPerSecondWindowClosesAfterALongFrame) {
    for (int i = 0; i < 10; ++i) {
        advanceClock(0.05);
        window->pumpFrame();
    }
    EXPECT_EQ(window->framesPerSecond, 0);
    EXPECT_EQ(window->frameCount, 10);
    advanceClock(2.5);  // a message box open for a while
    window->pumpFrame();
    EXPECT_EQ(window->framesPerSecond, 11);
    EXPECT_EQ(window->frameCount, 0);
    EXPECT_EQ(window->clock.elapsed, 0.0f);
    advanceClock(0.5);
    window->pumpFrame();
    EXPECT_EQ(window->framesPerSecond, 11);
    EXPECT_EQ(window->frameCount, 1);
}
