// Display, window, context and message queue on SDL2.
//
// SDL's events are the message queue: each event taken is one message. The quit message
// and synthetic "other" messages are SDL user events of our own, so that they queue in
// order behind whatever the system delivered. SDL's own SDL_QUIT (SIGINT, SIGTERM) is a
// close request to the window, like the window manager's close button; SIGHUP is made one
// too.
//
// The desktop's mode comes back on the clean way out from an exit handler. On X11 a guard
// process (sdl/display_guard.cpp) puts it back when the process ends any other way.
#include <SDL.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/display.h"
#include "platform/internal/backend.h"
#include "platform/internal/trace.h"
#include "platform/sdl/display_guard.h"
#include "platform/sdl/local.h"

namespace platform {

struct DeviceRecord {
    WindowRecord* window = nullptr;
    int64_t presented = 0;
};

struct ContextRecord {
    SDL_GLContext gl = nullptr;
};

// The window owns its surface and its context, and lives as long as the process: the one
// window is never destroyed, and a context torn down from an exit path can wait forever
// for Mesa's rasterizer threads.
struct WindowRecord {
    std::string title;
    int x = 0, y = 0, width = 0, height = 0;
    SDL_Window* sdl = nullptr;
    DeviceRecord device;
    ContextRecord context;
};

namespace {

// Seconds a crash-signal handler may take to restore the mode before the process ends
// anyway; the restore itself takes milliseconds.
constexpr unsigned kCrashRestoreSeconds = 2;

struct DisplayState {
    bool eventsReady = false;
    bool videoReady = false;
    Uint32 quitEvent = 0;
    Uint32 otherEvent = 0;
    WindowProc proc = nullptr;
    bool modeRequested = false;
    SDL_DisplayMode requestedMode{};
    bool desktopMode = false;        // the window covers the display in the desktop's own mode
    WindowRecord* window = nullptr;  // the one window the program makes
    std::atomic<bool> escapePressed{false};
};
DisplayState gDisplay;

// Sees every event as it enters the queue, before the window procedure gets it.
int SDLCALL watchEscape(void*, SDL_Event* event) {
    if (event->type == SDL_KEYDOWN && event->key.keysym.sym == SDLK_ESCAPE) {
        gDisplay.escapePressed = true;
    }
    return 0;
}

bool ensureEvents() {
    if (gDisplay.eventsReady)
        return true;
    if (SDL_InitSubSystem(SDL_INIT_EVENTS) != 0)
        return false;
    Uint32 first = SDL_RegisterEvents(2);
    if (first == static_cast<Uint32>(-1))
        return false;
    gDisplay.quitEvent = first;
    gDisplay.otherEvent = first + 1;
    SDL_AddEventWatch(watchEscape, nullptr);
    gDisplay.eventsReady = true;
    return true;
}

// Installs `handler` unless the signal is ignored: a program started with SIGHUP or
// SIGQUIT ignored (nohup, a background job) keeps it so.
void handleUnlessIgnored(int sig, void (*handler)(int)) {
    struct sigaction old = {};
    if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
        return;
    struct sigaction action = {};
    action.sa_handler = handler;
    sigaction(sig, &action, nullptr);
}

// A hang-up (the terminal went away) ends the show as SIGTERM does, whatever SIGTERM does
// at the moment: a close request, or the end at once while a message box is open.
void hangUpAsTerminate(int) {
    int saved = errno;
    std::raise(SIGTERM);
    errno = saved;
}

// The crash signal being handled, for the watchdog.
volatile std::sig_atomic_t gCrashSignal = 0;

// Ends the process with the crash signal's own default action (a core dump, where enabled).
void endAsCrashed(int) {
    int sig = gCrashSignal;
    std::signal(sig, SIG_DFL);
    sigset_t crash;
    sigemptyset(&crash);
    sigaddset(&crash, sig);
    pthread_sigmask(SIG_UNBLOCK, &crash, nullptr);
    std::raise(sig);
}

// Only without a guard, whose restore needs nothing from the dying process. Restoring from
// here may wait forever on a lock the interrupted code holds: SDL's restore did, about one
// SIGSEGV in seven that arrived while Xlib waited for a reply on SDL's connection. On X11
// the restore goes through a connection of its own, and in any case a timer ends the
// process as the crash would have if the restore does not return.
void onCrashSignal(int sig) {
    gCrashSignal = sig;
    struct sigaction watchdog = {};
    watchdog.sa_handler = endAsCrashed;
    sigaction(SIGALRM, &watchdog, nullptr);
    sigset_t alarmSignal;
    sigemptyset(&alarmSignal);
    sigaddset(&alarmSignal, SIGALRM);
    pthread_sigmask(SIG_UNBLOCK, &alarmSignal, nullptr);
    alarm(kCrashRestoreSeconds);
    if (!restoreHeldDesktopLayout())
        restoreDesktopMode();
    endAsCrashed(sig);
}

bool onX11() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "x11") == 0;
}

void restoreModeOnExit() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    bool x11 = onX11();
    bool guarded = x11 && startDisplayGuard();
    std::atexit([] {
        restoreDesktopMode();
        dismissDisplayGuard();
    });
    if (guarded)
        return;
    if (x11)
        holdDesktopLayout();
    // SIGQUIT asks for a core dump: a crash the user asked for.
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGQUIT})
        handleUnlessIgnored(sig, onCrashSignal);
}

WindowRecord* recordOf(Uint32 windowId) {
    if (SDL_Window* sdl = SDL_GetWindowFromID(windowId)) {
        if (auto* record = static_cast<WindowRecord*>(SDL_GetWindowData(sdl, "record"))) {
            return record;
        }
    }
    return gDisplay.window;
}

Message translate(const SDL_Event& event) {
    Message message;
    if (event.type == gDisplay.quitEvent) {
        message.type = MessageType::quit;
        return message;
    }
    switch (event.type) {
        case SDL_QUIT:
            message.type = MessageType::close;
            message.window = gDisplay.window;
            break;
        case SDL_KEYDOWN:
            message.type = MessageType::keyDown;
            message.key = event.key.keysym.sym == SDLK_ESCAPE ? Key::escape : Key::other;
            message.window = recordOf(event.key.windowID);
            break;
        case SDL_WINDOWEVENT:
            message.window = recordOf(event.window.windowID);
            switch (event.window.event) {
                case SDL_WINDOWEVENT_CLOSE:
                    message.type = MessageType::close;
                    break;
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                    message.type = MessageType::size;
                    break;
                case SDL_WINDOWEVENT_EXPOSED:
                    message.type = MessageType::eraseBackground;
                    break;
                default:
                    break;
            }
            break;
        default:
            message.window = gDisplay.window;
            break;
    }
    return message;
}

// Four bytes per pixel count as 32 bits, whatever SDL says of the colour bits.
int bitsPerPixel(Uint32 format) {
    return static_cast<int>(SDL_BYTESPERPIXEL(format)) * 8;
}

Uint32 sdlWindowId(WindowHandle window) {
    return window && window->sdl ? SDL_GetWindowID(window->sdl) : 0;
}

}  // namespace

// Taking the window out of fullscreen puts the display back into the desktop's mode.
// Nothing else is torn down: destroying the OpenGL context from an exit handler can wait
// forever for Mesa's llvmpipe rasterizer threads (seen on a loaded machine), and the
// process ends anyway.
void restoreDesktopMode() {
    WindowRecord* window = gDisplay.window;
    if (!gDisplay.modeRequested || !window || !window->sdl)
        return;
    gDisplay.modeRequested = false;
    SDL_SetWindowFullscreen(window->sdl, 0);
}

intptr_t defaultWindowProc(WindowHandle, const Message&) {
    return 0;
}

bool registerWindowClass(const char* className, WindowProc proc) {
    if (!className || !*className || !proc)
        return false;
    if (!gDisplay.videoReady) {
        if (offscreenDisplayMode())
            SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
        // A message box over the show must not minimise it and drop the display mode.
        SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
        if (!ensureEvents() || SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return false;
        gDisplay.videoReady = true;
        if (!offscreenDisplayMode())
            handleUnlessIgnored(SIGHUP, hangUpAsTerminate);
    }
    gDisplay.proc = proc;
    return true;
}

bool currentDisplayMode(DisplayMode& mode) {
    if (!gDisplay.videoReady)
        return false;
    if (const DisplayMode* only = offscreenDisplayMode()) {
        mode = *only;
        return true;
    }
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0)
        return false;
    mode = {desktop.w, desktop.h, bitsPerPixel(desktop.format)};
    return true;
}

bool changeDisplayMode(const DisplayMode& mode) {
    if (!gDisplay.videoReady)
        return false;
    if (const DisplayMode* only = offscreenDisplayMode())
        return mode == *only;
    // X11 reports its depth-24 modes as RGB888: 24 bits of colour in 4-byte pixels, which
    // is what a 32-bit mode means here. Compare bytes per pixel, not SDL's bit count.
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode candidate;
        if (SDL_GetDisplayMode(0, i, &candidate) != 0)
            continue;
        if (candidate.w == mode.width && candidate.h == mode.height &&
            bitsPerPixel(candidate.format) == mode.bitsPerPixel) {
            gDisplay.requestedMode = candidate;
            gDisplay.modeRequested = true;
            restoreModeOnExit();
            return true;
        }
    }
    return false;
}

int displayRefreshRate() {
    SDL_DisplayMode now;
    if (!gDisplay.videoReady || offscreenDisplayMode() || SDL_GetCurrentDisplayMode(0, &now) != 0)
        return 0;
    return now.refresh_rate;
}

bool useDesktopMode() {
    if (!gDisplay.videoReady)
        return false;
    gDisplay.desktopMode = offscreenDisplayMode() == nullptr;
    return true;
}

void showCursor(bool show) {
    if (gDisplay.videoReady)
        SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

WindowHandle createWindow(const char*, const char* title, int x, int y, int width, int height) {
    if (!gDisplay.videoReady || width <= 0 || height <= 0)
        return nullptr;
    auto* window = new WindowRecord;
    window->title = title ? title : "";
    window->x = x;
    window->y = y;
    window->width = width;
    window->height = height;
    window->device.window = window;
    gDisplay.window = window;
    return window;
}

DeviceHandle deviceOf(WindowHandle window) {
    return window ? &window->device : nullptr;
}

int choosePixelFormat(DeviceHandle device, const PixelFormat& format) {
    if (!device || !gDisplay.videoReady)
        return 0;
    // SDL asks for the accumulation buffer channel by channel; a total of a few bits has no
    // such form, and nothing draws into it, so none is asked for.
    int channel = format.colorBits >= 24 ? 8 : format.colorBits >= 15 ? 5 : 0;
    if (channel == 0)
        return 0;
    bool ok = SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel) == 0 &&
              SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel) == 0 &&
              SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel) == 0 &&
              SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, format.alphaBits) == 0 &&
              SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, format.depthBits) == 0 &&
              SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, format.stencilBits) == 0 &&
              SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, format.doubleBuffer ? 1 : 0) == 0;
    return ok ? 1 : 0;
}

bool setPixelFormat(DeviceHandle device, int formatIndex, const PixelFormat&) {
    if (!device || formatIndex != 1)
        return false;
    WindowRecord* window = device->window;
    if (window->sdl)
        return false;
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN;
    if (gDisplay.modeRequested)
        flags |= SDL_WINDOW_FULLSCREEN;
    else if (gDisplay.desktopMode)
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;  // never a mode change
    window->sdl = SDL_CreateWindow(window->title.c_str(), window->x, window->y, window->width,
                                   window->height, flags);
    if (!window->sdl)
        return false;
    SDL_SetWindowData(window->sdl, "record", window);
    if (gDisplay.modeRequested)
        SDL_SetWindowDisplayMode(window->sdl, &gDisplay.requestedMode);
    return true;
}

ContextHandle createContext(DeviceHandle device) {
    if (!device || !device->window->sdl)
        return nullptr;
    ContextRecord& context = device->window->context;
    if (context.gl)
        return nullptr;
    context.gl = SDL_GL_CreateContext(device->window->sdl);
    return context.gl ? &context : nullptr;
}

bool makeCurrent(DeviceHandle device, ContextHandle context) {
    if (!device || !device->window->sdl || !context)
        return false;
    return SDL_GL_MakeCurrent(device->window->sdl, context->gl) == 0;
}

void showWindow(WindowHandle window) {
    if (!window || !window->sdl)
        return;
    SDL_ShowWindow(window->sdl);
    SDL_RaiseWindow(window->sdl);
}

bool drawableSize(DeviceHandle device, int& width, int& height) {
    if (!device || !device->window->sdl)
        return false;
    SDL_GL_GetDrawableSize(device->window->sdl, &width, &height);
    return true;
}

bool swapBuffers(DeviceHandle device) {
    if (!device || !device->window->sdl)
        return false;
    SDL_GL_SwapWindow(device->window->sdl);
    traceEvent("frame");
    ++device->presented;
    return true;
}

bool syncToVerticalBlank(DeviceHandle device) {
    return device && SDL_GL_SetSwapInterval(1) == 0;
}

int64_t framesPresented(DeviceHandle device) {
    return device ? device->presented : 0;
}

bool peekMessage(Message& message) {
    if (!ensureEvents())
        return false;
    // Not SDL_PollEvent: it answers "none" once per batch even when events are pending.
    SDL_PumpEvents();
    SDL_Event event;
    if (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) != 1)
        return false;
    message = translate(event);
    return true;
}

intptr_t dispatchMessage(const Message& message) {
    if (message.type == MessageType::quit)
        return 0;
    // A close request from the system (SIGINT, SIGTERM) reaches the procedure even when
    // no window could be made, so that the program can still be ended that way.
    if (gDisplay.proc)
        return gDisplay.proc(message.window, message);
    return defaultWindowProc(message.window, message);
}

void postQuitMessage() {
    if (!ensureEvents())
        return;
    SDL_Event event{};
    event.type = gDisplay.quitEvent;
    SDL_PushEvent(&event);
}

void postMessage(const Message& message) {
    if (!ensureEvents())
        return;
    SDL_Event event{};
    Uint32 id = sdlWindowId(message.window);
    switch (message.type) {
        case MessageType::quit:
            event.type = gDisplay.quitEvent;
            break;
        case MessageType::keyDown:
            event.type = SDL_KEYDOWN;
            event.key.windowID = id;
            event.key.state = SDL_PRESSED;
            event.key.keysym.sym = message.key == Key::escape ? SDLK_ESCAPE : SDLK_a;
            event.key.keysym.scancode =
                message.key == Key::escape ? SDL_SCANCODE_ESCAPE : SDL_SCANCODE_A;
            break;
        case MessageType::close:
        case MessageType::size:
        case MessageType::eraseBackground:
            event.type = SDL_WINDOWEVENT;
            event.window.windowID = id;
            event.window.event = message.type == MessageType::close  ? SDL_WINDOWEVENT_CLOSE
                                 : message.type == MessageType::size ? SDL_WINDOWEVENT_SIZE_CHANGED
                                                                     : SDL_WINDOWEVENT_EXPOSED;
            break;
        case MessageType::other:
            event.type = gDisplay.otherEvent;
            break;
    }
    SDL_PushEvent(&event);
}

bool keyDownOrPressedSinceLastQuery(Key key) {
    if (key != Key::escape || !ensureEvents())
        return false;
    SDL_PumpEvents();
    bool down = gDisplay.videoReady && SDL_GetKeyboardState(nullptr)[SDL_SCANCODE_ESCAPE];
    return gDisplay.escapePressed.exchange(false) || down;
}

}  // namespace platform

namespace platform {

SDL_Window* sdlWindowOf(WindowHandle window) {
    return window ? window->sdl : nullptr;
}

}  // namespace platform
