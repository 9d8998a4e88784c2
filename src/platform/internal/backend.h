// What each backend of the platform layer provides to the parts that all backends share.
// Nothing outside src/platform includes it.
#pragma once

#include <cstdint>

#include "platform/message_box.h"

namespace platform {

// The system's performance counter: ticks per second, and the current count.
int64_t systemCounterFrequency();
int64_t systemCounterValue();

// Whether the system can show `text` as it stands in a box: valid UTF-8 on Linux, text that
// the thread's ANSI code page converts on Windows.
bool systemCanShowText(const char* text);

// Shows the box and waits until it is dismissed; false when no box could be shown.
bool showSystemMessageBox(const MessageBoxRequest& request);

// Frees what DecodedImage::load kept of a decoded picture.
void freeDecodedBitmap(void* bitmap);

}  // namespace platform
