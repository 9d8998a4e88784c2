// The show's one window: the display switched to 800x600, a borderless window covering it,
// a double-buffered OpenGL context current on the main thread, and the frame pump.
//
// The constructor shows each failure in a box titled "Window error" (or "Error" when the
// window class cannot be registered) and stops there; the object is usable in every case,
// and without a current context every OpenGL call simply has no effect.
#pragma once

#include <cstdint>

#include "base/stopwatch.h"
#include "platform/display.h"

class GLWindow {
  public:
    GLWindow();

    // Sets the fixed 800x600 viewport and the 45-degree, 4:3 perspective, whatever size the
    // window really has.
    void resize();

    // One pass of the frame loop: counts the frame, takes at most one message, and presents
    // the frame drawn since the last pass. False once the quit message was taken; that
    // pass presents nothing.
    bool pumpFrame();

    platform::WindowHandle hWnd = nullptr;
    platform::DeviceHandle hDC = nullptr;
    platform::ContextHandle hRC = nullptr;
    const char* title = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    Stopwatch clock;  // times the current frames-per-second window
    int32_t frameCount = 0;
    int32_t framesPerSecond = 0;
};

// Escape and close requests post the quit message; sizing and background erasing are
// swallowed; everything else goes to the platform's default handling.
intptr_t windowProc(platform::WindowHandle window, const platform::Message& message);
