// The show's one window: the display switched to 800x600 (or left in its own mode, the
// picture fitted into it), a borderless window covering it, a double-buffered OpenGL context
// current on the main thread, and the frame pump.
//
// The constructor shows each failure in a box titled "Window error" (or "Error" when the
// window class cannot be registered) and stops there; the object is usable in every case,
// and without a current context every OpenGL call simply has no effect.
#pragma once

#include <cstdint>

#include "base/stopwatch.h"
#include "platform/display.h"

// Where the show's 800x600 picture goes on a surface of width x height pixels: the largest
// 4:3 area that fits, centred, the rest left black. Its sides and offsets are even, so that
// a video with chroma at half resolution holds it exactly, and the bars on either side differ
// by up to two pixels. y counts from the bottom, as glViewport's does.
struct PictureArea {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const PictureArea&) const = default;
};
PictureArea fitPicture(int width, int height);

enum class ScreenMode {
    switched,  // the display switched to 800x600, the picture over the whole of it
    desktop,   // the display left in its own mode, the picture fitted into it (fitPicture)
};

class GLWindow {
  public:
    explicit GLWindow(ScreenMode screen = ScreenMode::switched);

    // Sets the viewport (the picture's area of the window) and the 45-degree, 4:3
    // perspective. The picture is 800x600 pixels in the switched mode whatever size the
    // window really has.
    void resize();

    // One pass of the frame loop: counts the frame, takes at most one message, and presents
    // the frame drawn since the last pass. False once the quit message was taken; that
    // pass presents nothing. In the desktop mode the picture's area follows the drawing
    // surface's size, from the next frame on.
    bool pumpFrame();

    // In the desktop mode, fits the viewport to the drawing surface's size in pixels (which
    // is not the window's size in the system's units on a high-DPI display); nothing in the
    // switched mode.
    void fitToSurface();

    platform::WindowHandle hWnd = nullptr;
    platform::DeviceHandle hDC = nullptr;
    platform::ContextHandle hRC = nullptr;
    const char* title = nullptr;
    int32_t width = 0;  // the picture's size in the show's own pixels: always 800x600
    int32_t height = 0;
    ScreenMode screen = ScreenMode::switched;
    PictureArea area{0, 0, 800, 600};  // where the picture goes in the window's pixels
    Stopwatch clock;                   // times the current frames-per-second window
    int32_t frameCount = 0;
    int32_t framesPerSecond = 0;
};

// Escape and close requests post the quit message; sizing and background erasing are
// swallowed; everything else goes to the platform's default handling.
intptr_t windowProc(platform::WindowHandle window, const platform::Message& message);
