#include "gfx/gl_window.h"

#include "platform/display.h"
#include "platform/gl.h"
#include "support/show_test.h"

using platform::Key;
using platform::MessageType;

// Whatever the sizes were made, resizing gives the fixed view back: 45 degrees vertical at
// 4:3, the projection's y scale cot(22.5 degrees).
TEST_F(ShowTest, WindowKeepsItsFixedViewAndState) {
    window->width = 1024;
    window->height = 17;
    window->resize();
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
