// Shared between the files of the SDL2 backend; nothing outside src/platform includes it.
#pragma once

#include <SDL.h>

#include "platform/display.h"

namespace platform {

// The SDL window behind a window handle; null for none.
SDL_Window* sdlWindowOf(WindowHandle window);

// Puts the display back into the desktop's mode; used at exit and when a signal ends the
// program. Does nothing the second time.
void restoreDesktopMode();

}  // namespace platform
