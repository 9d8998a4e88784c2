#include "gfx/gl_window.h"

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

GLWindow::GLWindow() {
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

    platform::DisplayMode mode;
    if (!platform::currentDisplayMode(mode)) {
        windowError(nullptr, "Unable to get displaysettings", "Window error");
        return;
    }
    mode.width = kWidth;
    mode.height = kHeight;
    mode.bitsPerPixel = 32;
    if (!platform::changeDisplayMode(mode)) {
        windowError(nullptr, "Unable to switch to fullscreen", "Window error");
        return;
    }

    platform::showCursor(false);

    // A borderless window has no frame, so the client area is the whole window.
    hWnd = platform::createWindow(title, title, 0, 0, kWidth, kHeight);
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
    glViewport(0, 0, kWidth, kHeight);
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
    return true;
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
