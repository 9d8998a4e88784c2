// Display, window, rendering context and the window's message queue.
//
// The shape follows a desktop window system: a window class with its window procedure, a
// display mode switched for the run, a window whose drawing surface gets a pixel format,
// a rendering context made current on the calling thread, and a queue from which the
// program takes one message at a time and hands it to the window procedure.
//
// Two displays are available: the real one (Win32 on Windows, SDL2 on X11), and an
// offscreen one with a virtual display whose only mode is given, for tests and the capture
// tool. The offscreen display gives a real OpenGL context and never touches the desktop's
// display mode.
//
// Every call runs on the main thread. No call here ends the program.
#pragma once

#include <cstdint>

namespace platform {

struct WindowRecord;
struct ContextRecord;
using WindowHandle = WindowRecord*;
using ContextHandle = ContextRecord*;

// A window's drawing surface: where the pixel format is set and frames are presented.
struct DeviceRecord;
using DeviceHandle = DeviceRecord*;

enum class Key { escape, other };

enum class MessageType {
    quit,             // posted by postQuitMessage; never delivered to a window procedure
    keyDown,          // `key` says which
    close,            // the user (or the system, on SIGINT/SIGTERM) asks the window to close
    size,             // the window's size changed
    eraseBackground,  // the window needs its background repainted
    other,            // anything else the system delivers
};

// The message in the window system's own terms, where it has them (Windows): what the
// system's default handling and dispatch need back. All zero on SDL2.
struct SystemMessage {
    void* target = nullptr;  // the system's window the message is for
    uint32_t id = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

struct Message {
    MessageType type = MessageType::other;
    Key key = Key::other;
    WindowHandle window = nullptr;
    SystemMessage system;
};

// Returns what the platform expects back for the message; 0 when it was handled.
using WindowProc = intptr_t (*)(WindowHandle window, const Message& message);

// The platform's own handling of a message the window procedure does not handle.
intptr_t defaultWindowProc(WindowHandle window, const Message& message);

struct DisplayMode {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;  // 32 means four bytes per pixel (24 bits of colour on X11)

    bool operator==(const DisplayMode&) const = default;
};

// The pixel format a window asks for: colour bits exclude alpha, as on the desktop systems.
struct PixelFormat {
    int colorBits = 32;
    int alphaBits = 0;
    int accumBits = 0;  // all channels together
    int depthBits = 16;
    int stencilBits = 8;
    bool doubleBuffer = true;
};

// Selects the offscreen display whose only mode is `mode`. Call before registering the
// window class; the choice holds for the rest of the process.
void useOffscreenDisplay(const DisplayMode& mode);

// Initialises the video system and registers the window procedure under `className`.
bool registerWindowClass(const char* className, WindowProc proc);

// The primary display's current mode.
bool currentDisplayMode(DisplayMode& mode);

// Switches the primary display to exactly `mode` for the rest of the run: the same width,
// height and bytes per pixel, never the closest other mode. False when the display has no
// such mode. The switch shows once the window is shown, and the desktop's mode comes back
// however the program ends (Windows restores it itself; on X11 the program restores it on
// its clean way out and a guard process on any other, SIGKILL included).
bool changeDisplayMode(const DisplayMode& mode);

// The primary display's refresh rate in Hz, as its mode is now; 0 where the system does not
// tell (the offscreen display, a web page).
int displayRefreshRate();

// Leaves the primary display in its current mode for the run, instead of changeDisplayMode:
// the window made next covers the whole display in that mode, above the rest of the
// desktop. Nothing changes, so nothing is restored and no guard is started. On Windows the
// program declares itself aware of the display's scaling, so that the mode and the window
// are in real pixels. Call after registerWindowClass; false where the system has no such
// choice (a browser's page, whose canvas is its one mode).
bool useDesktopMode();

void showCursor(bool show);

// Creates a hidden borderless window covering (x, y, width, height); null on failure.
WindowHandle createWindow(const char* className, const char* title, int x, int y, int width,
                          int height);

DeviceHandle deviceOf(WindowHandle window);

// Chooses the format that best fits `format`; 0 when none does.
int choosePixelFormat(DeviceHandle device, const PixelFormat& format);

// Gives the surface its pixel format, once. On X11 a window's visual is fixed when the
// window is made, so there this is where the system window comes into being.
bool setPixelFormat(DeviceHandle device, int formatIndex, const PixelFormat& format);

ContextHandle createContext(DeviceHandle device);
bool makeCurrent(DeviceHandle device, ContextHandle context);

// Shows the window, brings it to the front and gives it the keyboard focus.
void showWindow(WindowHandle window);

// The size in pixels of the device's drawing surface: the window's client area, which a
// high-DPI display may measure in units of its own elsewhere. False without a surface.
bool drawableSize(DeviceHandle device, int& width, int& height);

// Presents the back buffer.
bool swapBuffers(DeviceHandle device);

// Asks swapBuffers on the device, with its context current, to present at the display's
// vertical blank. False where the system cannot; in a web page every present waits for the
// browser's animation frame already.
bool syncToVerticalBlank(DeviceHandle device);

// How many frames swapBuffers has presented on the device so far.
int64_t framesPresented(DeviceHandle device);

// Takes at most one pending message, without waiting. False when none was pending.
bool peekMessage(Message& message);

// Hands a message taken by peekMessage to its window's procedure.
intptr_t dispatchMessage(const Message& message);

// Queues the quit message behind whatever is pending.
void postQuitMessage();

// Queues a message as if the system had sent it: for tests and tools.
void postMessage(const Message& message);

// True when the key is down now or was pressed since the previous query for it, even if
// the press still waits in the queue.
bool keyDownOrPressedSinceLastQuery(Key key);

}  // namespace platform
