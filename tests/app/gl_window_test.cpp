#include "app/gl_window.h"

#include "platform/display.h"
#include "platform/gl.h"
#include "support/show_test.h"

using platform::Key;
using platform::Message;
using platform::MessageType;

namespace {

// Takes the next message and hands it to the window procedure; false when it is the quit
// message.
bool takeAndDispatch() {
    Message m;
    if (!platform::peekMessage(m))
        return true;
    if (m.type == MessageType::quit)
        return false;
    platform::dispatchMessage(m);
    return true;
}

// Whether the quit message waits in the queue; takes everything up to it. (On Windows a
// key also queues its character message, which the window procedure passes on.)
bool quitIsQueued() {
    Message m;
    while (platform::peekMessage(m)) {
        if (m.type == MessageType::quit)
            return true;
    }
    return false;
}

}  // namespace

TEST_F(ShowTest, WindowSetsUpTheFixedViewAndState) {
    EXPECT_TRUE(sink.boxes.empty());
    EXPECT_EQ(window->width, 800);
    EXPECT_EQ(window->height, 600);
    EXPECT_STREQ(window->title, "hopsasa");
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    GLint func;
    glGetIntegerv(GL_DEPTH_FUNC, &func);
    EXPECT_EQ(func, GL_LEQUAL);
    GLint mode;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    // 45 degrees vertical, 4:3: the projection's y scale is cot(22.5 degrees).
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_NEAR(projection[5], 2.4142135, 1e-5);
    EXPECT_NEAR(projection[0], 2.4142135 * 3 / 4, 1e-5);
}

TEST_F(ShowTest, ResizeAlwaysRestoresTheFixedSize) {
    window->width = 1024;
    window->height = 17;
    glViewport(0, 0, 10, 10);
    window->resize();
    EXPECT_EQ(window->width, 800);
    EXPECT_EQ(window->height, 600);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);
}

TEST_F(ShowTest, WindowProcedureQuitsOnEscapeAndCloseOnly) {
    post(MessageType::keyDown, Key::other);
    post(MessageType::size);
    post(MessageType::eraseBackground);
    ASSERT_TRUE(takeAndDispatch());
    ASSERT_TRUE(takeAndDispatch());
    ASSERT_TRUE(takeAndDispatch());
    EXPECT_FALSE(quitIsQueued()) << "a key other than Escape must not quit";

    post(MessageType::keyDown, Key::escape);
    ASSERT_TRUE(takeAndDispatch());
    EXPECT_TRUE(quitIsQueued());

    post(MessageType::close);
    ASSERT_TRUE(takeAndDispatch());
    EXPECT_TRUE(quitIsQueued());
}

TEST_F(ShowTest, SizeMessageLeavesTheViewport) {
    post(MessageType::size);
    ASSERT_TRUE(window->pumpFrame());
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);
}

TEST(GLWindowFailure, DisplayWithoutTheModeShowsTheBoxAndGoesOn) {
    MessageSink sink;
    platform::useOffscreenDisplay({1024, 768, 32});
    useManualClock();
    GLWindow window;
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0].text, "Unable to switch to fullscreen");
    EXPECT_EQ(sink.boxes[0].title, "Window error");
    EXPECT_EQ(sink.boxes[0].owner, nullptr);
    EXPECT_EQ(window.hWnd, nullptr);
    EXPECT_EQ(window.hRC, nullptr);
    EXPECT_EQ(window.width, 800);
    EXPECT_EQ(window.height, 600);
    // The loop still runs without a window: frames pass and the quit message ends it.
    EXPECT_TRUE(window.pumpFrame());
    platform::postQuitMessage();
    EXPECT_FALSE(window.pumpFrame());
}

TEST(GLWindowFailure, SixteenBitDisplayIsNotTakenForThirtyTwo) {
    MessageSink sink;
    platform::useOffscreenDisplay({800, 600, 16});
    GLWindow window;
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0].text, "Unable to switch to fullscreen");
}
