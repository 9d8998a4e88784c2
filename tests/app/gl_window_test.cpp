#include "gfx/gl_window.h"

#include "platform/display.h"
#include "support/show_test.h"

using platform::Key;
using platform::MessageType;

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
