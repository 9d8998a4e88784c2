#include "gfx/gl_window.h"

#include <algorithm>

#include "platform/gl.h"
#include "platform/message_box.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

// RGBA, 24 bits of colour in 32-bit pixels, double-buffered, 16-bit depth, 8-bit stencil,
// and one accumulation bit, which the show never uses; the system picks the nearest format.
constexpr platform::PixelFormat kPixelFormat{.colorBits = 32,
                                             .alphaBits = 0,
                                             .accumBits = 1,
                                             .depthBits = 16,
                                             .stencilBits = 8,
                                             .doubleBuffer = true};

void windowError(platform::WindowHandle owner, const char* text, const char* title) {
    platform::showMessageBox(owner, text, title, platform::MessageBoxIcon::none);
}

}  // namespace

PictureArea fitPicture(int width, int height) {
    // Whichever side is short for 4:3 sets the size; the product stays in range for every
    // size a display has.
    const int areaWidth = std::max(0, std::min(width, height * 4 / 3)) & ~1;
    const int areaHeight = std::max(0, std::min(height, width * 3 / 4)) & ~1;
    // Each offset is the even number nearest to half the margin.
    return {(width - areaWidth + 2) / 4 * 2, (height - areaHeight + 2) / 4 * 2, areaWidth,
            areaHeight};
}

GLWindow::GLWindow(ScreenMode screen) : screen(screen) {
    clock.start();
    frameCount = 0;
    framesPerSecond = 0;
    width = kWidth;
    height = kHeight;
    title = "hopsasa";

    if (!platform::registerWindowClass(title, windowProc)) {
        windowError(nullptr, "Unable to register window class", "Error");
        return;
    }

    // The desktop's mode is kept before it is read: a program that declares itself aware of
    // the display's scaling reads the mode in real pixels.
    const bool desktop = screen == ScreenMode::desktop;
    if (desktop && !platform::useDesktopMode()) {
        windowError(nullptr, "Unable to switch to fullscreen", "Window error");
        return;
    }
    platform::DisplayMode mode;
    if (!platform::currentDisplayMode(mode)) {
        windowError(nullptr, "Unable to get displaysettings", "Window error");
        return;
    }
    if (!desktop) {
        mode.width = kWidth;
        mode.height = kHeight;
        mode.bitsPerPixel = 32;
        if (!platform::changeDisplayMode(mode)) {
            windowError(nullptr, "Unable to switch to fullscreen", "Window error");
            return;
        }
    }

    platform::showCursor(false);

    // A borderless window has no frame, so the client area is the whole window.
    hWnd = platform::createWindow(title, title, 0, 0, mode.width, mode.height);
    if (!hWnd)
        return;
    hDC = platform::deviceOf(hWnd);

    int format = platform::choosePixelFormat(hDC, kPixelFormat);
    if (format == 0) {
        windowError(hWnd, "Unable to find a suitable pixelformat", "Window error");
        return;
    }
    if (!platform::setPixelFormat(hDC, format, kPixelFormat)) {
        windowError(hWnd, "Unable to set pixel format", "Window error");
        return;
    }
    hRC = platform::createContext(hDC);
    if (!hRC) {
        windowError(hWnd, "Unable to create HRC", "Window error");
        return;
    }
    if (!platform::makeCurrent(hDC, hRC)) {
        windowError(hWnd, "Unable to select HRC", "Window error");
        return;
    }

    platform::showWindow(hWnd);
    fitToSurface();
    resize();

    glEnable(GL_DEPTH_TEST);
    glEnable(GL_NORMALIZE);
    glEnable(GL_CULL_FACE);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
}

void GLWindow::resize() {
    width = kWidth;
    height = kHeight;
    glViewport(area.x, area.y, area.width, area.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 4.0 / 3.0, 0.01, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool GLWindow::pumpFrame() {
    frameCount += 1;
    clock.update();
    if (clock.elapsed >= 1.0f) {
        framesPerSecond = frameCount;
        frameCount = 0;
        clock.restart();
    }

    platform::Message message;
    bool taken = platform::peekMessage(message);
    if (taken && message.type == platform::MessageType::quit)
        return false;

    glFlush();
    platform::swapBuffers(hDC);
    if (taken)
        platform::dispatchMessage(message);
    fitToSurface();
    return true;
}

void GLWindow::fitToSurface() {
    int surfaceWidth = 0;
    int surfaceHeight = 0;
    if (screen != ScreenMode::desktop || !platform::drawableSize(hDC, surfaceWidth, surfaceHeight))
        return;
    const PictureArea fitted = fitPicture(surfaceWidth, surfaceHeight);
    if (fitted == area)
        return;
    area = fitted;
    glViewport(area.x, area.y, area.width, area.height);
}

intptr_t windowProc(platform::WindowHandle window, const platform::Message& message) {
    using platform::MessageType;
    switch (message.type) {
        case MessageType::keyDown:
            if (message.key == platform::Key::escape)
                platform::postQuitMessage();
            return 0;
        case MessageType::close:
            platform::postQuitMessage();
            return 0;
        case MessageType::size:
        case MessageType::eraseBackground:
            return 0;
        default:
            return platform::defaultWindowProc(window, message);
    }
}
