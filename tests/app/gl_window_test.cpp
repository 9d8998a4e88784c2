#include "gfx/gl_window.h"

#include <array>

#include "platform/display.h"
#include "platform/gl.h"
#include "support/show_test.h"

using platform::Key;
using platform::MessageType;

TEST_F(ShowTest, WindowKeepsItsFixedViewAndState) {
    EXPECT_STREQ(window->title, "hopsasa");
    // Whatever the sizes were made, resizing gives the fixed ones back, and a size message
    // changes nothing.
    window->width = 1024;
    window->height = 17;
    glViewport(0, 0, 10, 10);
    window->resize();
    post(MessageType::size);
    ASSERT_TRUE(window->pumpFrame());
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ((std::array<int, 4>{window->width, window->height, viewport[2], viewport[3]}),
              (std::array<int, 4>{800, 600, 800, 600}));

    // 45 degrees vertical, 4:3: the projection's y scale is cot(22.5 degrees).
    GLint value;
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_MODELVIEW);
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_NEAR(projection[5], 2.4142135, 1e-5);
    EXPECT_NEAR(projection[0], 2.4142135 * 3 / 4, 1e-5);
}

TEST_F(ShowTest, WindowProcedureQuitsOnEscapeAndCloseOnly) {
    const struct {
        MessageType type;
        Key key;
        bool quits;
    } cases[] = {{MessageType::keyDown, Key::other, false},
                 {MessageType::size, Key::other, false},
                 {MessageType::eraseBackground, Key::other, false},
                 {MessageType::keyDown, Key::escape, true},
                 {MessageType::close, Key::other, true}};
    // Handed to the procedure directly: a system's own queue may hold messages of its own.
    for (const auto& c : cases) {
        platform::Message message;
        message.type = c.type;
        message.key = c.key;
        message.window = window->hWnd;
        windowProc(window->hWnd, message);
        bool quit = false;
        while (platform::peekMessage(message))
            quit = quit || message.type == MessageType::quit;
        EXPECT_EQ(quit, c.quits) << "message " << static_cast<int>(c.type);
    }
}

// The display's only mode is not 800x600 at 32 bits (the choice holds for the process):
// the window's box, and neither a window nor a context.
static void expectNoWindowOn(const platform::DisplayMode& mode) {
    MessageSink sink;
    platform::useOffscreenDisplay(mode);
    GLWindow window;
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0].text, "Unable to switch to fullscreen");
    EXPECT_EQ(sink.boxes[0].title, "Window error");
    EXPECT_EQ(window.hWnd, nullptr);
    EXPECT_EQ(window.hRC, nullptr);
}

TEST(GLWindowFailure, DisplayWithoutTheModeShowsTheBoxAndMakesNoWindow) {
    expectNoWindowOn({1024, 768, 32});
}

TEST(GLWindowFailure, SixteenBitDisplayIsNotTakenForThirtyTwo) {
    expectNoWindowOn({800, 600, 16});
}
