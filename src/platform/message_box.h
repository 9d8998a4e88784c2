// Modal message boxes.
//
// A box waits until the user dismisses it; the main thread stops meanwhile while audio
// plays on. Tests and tools install a sink that receives every box instead. A text that
// the system cannot show (not UTF-8 on Linux, not in the thread's ANSI code page on
// Windows) is shown as an empty text. When no box can be shown (no display), the title and
// text go to standard error so that nothing is lost.
#pragma once

#include "platform/display.h"

namespace platform {

enum class MessageBoxIcon { none, error };

struct MessageBoxRequest {
    WindowHandle owner = nullptr;
    const char* text = "";  // as shown: never null, empty for text the system cannot show
    const char* title = "";
    MessageBoxIcon icon = MessageBoxIcon::none;
};

// The result of a box dismissed with its one button.
constexpr int kMessageBoxOk = 1;

// Shows a box with one OK button and returns kMessageBoxOk, or what the sink returns.
// A null text shows as an empty text.
int showMessageBox(WindowHandle owner, const char* text, const char* title, MessageBoxIcon icon);

// Every later box goes to `sink` instead of the screen; null brings the real boxes back.
using MessageBoxSink = int (*)(const MessageBoxRequest& request, void* user);
void setMessageBoxSink(MessageBoxSink sink, void* user);

}  // namespace platform
