// Shared between the files of the Win32 backend; nothing outside src/platform includes it.
#pragma once

#include <windows.h>

#include <string>

#include "platform/display.h"

namespace platform {

// The system window behind a window handle; null for none.
HWND hwndOf(WindowHandle window);

// Converts narrow text to UTF-16 with the calling thread's ANSI code page, as the system's
// own narrow calls do. False, leaving `wide` empty, for a null text or one with bytes the
// code page does not define.
bool widen(const char* text, std::wstring& wide);

}  // namespace platform
