// Display, window, context and message queue in a web page.
//
// The page's canvas (Module.canvas) is both the display and the window: its one mode is
// 800x600 at 32 bits per pixel. Switching to that mode asks the browser to show the page
// fullscreen, which browsers grant only in answer to a click; a refusal changes nothing
// and is not an error, the show then plays in the page. The context is WebGL 1 under
// emscripten's legacy GL emulation (src/platform/web/gl.cpp supplies what it lacks).
//
// Presenting a frame gives the browser back its thread until the next animation frame
// (asyncify unwinds the wasm stack and rewinds it then): the browser composites the canvas
// drawn in that task, runs the page's events, and the show goes on with the next frame.
//
// Messages: key presses reach the queue from the page's key events; the page being hidden
// (another tab, a minimised window) or closed is the close request. Both are queued by
// the page's event handlers, which run while the show waits for an animation frame.
#include <emscripten.h>

#include <deque>

#include "platform/clock.h"
#include "platform/display.h"
#include "platform/internal/backend.h"
#include "platform/web/local.h"

namespace platform {

struct DeviceRecord {
    int64_t presented = 0;
};

struct WindowRecord {
    DeviceRecord device;
};

struct ContextRecord {};

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

struct DisplayState {
    WindowProc proc = nullptr;
    WindowRecord* window = nullptr;  // the one window of a run of the show
    ContextRecord context;
    PixelFormat format;
    std::deque<Message> queue;
    bool escapeDown = false;
    bool escapePressed = false;  // since the last query
    int64_t presentedByThePage = 0;
};
DisplayState gDisplay;

// The page's events, as the handlers below hand them to the queue.
enum PageEvent { kEscapeDown = 0, kEscapeUp = 1, kOtherKeyDown = 2, kCloseRequest = 3 };

// Installed once per page; they outlive a run of the show, so that "watch again" finds them.
// Keys are taken on the window in the capture phase, before the page's own handlers; while
// a message box is open its own handler takes them (web/message_box.cpp).

// JavaScript, which clang-format would break (=== becomes == =).
// clang-format off
EM_JS(void, installPageEvents, (), {
    if (Module["hopsasaEventsInstalled"])
        return;
    Module["hopsasaEventsInstalled"] = true;
    var post = function(event) {
        if (Module["_hopsasa_web_event"])
            Module["_hopsasa_web_event"](event);
    };
    window.addEventListener("keydown", function(e) {
        if (Module["hopsasaBoxOpen"])
            return;
        if (e.key === "Escape") {
            post(0);
        } else if (!e.repeat) {
            post(2);
        }
    }, true);
    window.addEventListener("keyup", function(e) {
        if (e.key === "Escape")
            post(1);
    }, true);
    document.addEventListener("visibilitychange", function() {
        if (document.visibilityState === "hidden")
            post(3);
    });
    window.addEventListener("pagehide", function() { post(3); });
});

EM_JS(int, pageHasCanvas, (), { return Module["canvas"] ? 1 : 0; });

EM_JS(void, pageScreenSize, (int* width, int* height), {
    HEAP32[width >> 2] = window.screen ? window.screen.width : 0;
    HEAP32[height >> 2] = window.screen ? window.screen.height : 0;
});

// Asks for fullscreen now when the page is handling a click or key press, else on the next
// click on the canvas. The element shown fullscreen is the canvas's container when the page
// names one (so that the page's own overlays stay visible), else the canvas.
EM_JS(void, requestPageFullscreen, (), {
    var element = Module["hopsasaFullscreenElement"] || Module["canvas"];
    if (!element || !element.requestFullscreen)
        return;
    var request = function() {
        if (document.fullscreenElement)
            return;
        try {
            var asked = element.requestFullscreen();
            if (asked && asked.catch)
                asked.catch(function() {});
        } catch (e) {
        }
    };
    if (navigator.userActivation && navigator.userActivation.isActive) {
        request();
    } else {
        Module["canvas"].addEventListener("click", request, {once: true});
    }
});

EM_JS(void, setCanvasCursor, (int show), {
    if (Module["canvas"])
        Module["canvas"].style.cursor = show ? "" : "none";
});

EM_JS(void, sizeCanvas, (int width, int height), {
    var canvas = Module["canvas"];
    canvas.width = width;
    canvas.height = height;
});

EM_JS(void, canvasSize, (int* width, int* height), {
    var canvas = Module["canvas"];
    HEAP32[width >> 2] = canvas ? canvas.width : 0;
    HEAP32[height >> 2] = canvas ? canvas.height : 0;
});

// Depth, stencil and alpha as the pixel format asks; no multisampling, which the desktop
// formats do not have either. The drawing buffer is not preserved: every frame is drawn
// whole, and is read back (by the tests) in the same task as it was drawn.
EM_JS(int, createPageContext, (int depth, int stencil, int alpha), {
    var canvas = Module["canvas"];
    if (!canvas)
        return 0;
    var gl = Browser.createContext(canvas, true, true, {
        depth: depth > 0,
        stencil: stencil > 0,
        alpha: alpha > 0,
        antialias: false,
        premultipliedAlpha: true,
        preserveDrawingBuffer: false
    });
    return gl ? 1 : 0;
});

EM_JS(void, showCanvas, (), {
    var canvas = Module["canvas"];
    canvas.style.visibility = "visible";
    if (!canvas.hasAttribute("tabindex"))
        canvas.setAttribute("tabindex", "-1");
    canvas.focus({preventScroll: true});
});

// Runs in the same task as the frame's drawing, before the browser composites it.
EM_JS(void, tellPagePresented, (double drawnAt, double presented), {
    var hook = Module["hopsasaFramePresented"];
    var started = Module["hopsasaFrameStarted"];
    var worked = started === undefined ? 0 : performance.now() - started;
    if (hook)
        hook(drawnAt, presented, worked);
});

EM_ASYNC_JS(void, awaitAnimationFrame, (), {
    await new Promise(function(resolve) { requestAnimationFrame(resolve); });
    Module["hopsasaFrameStarted"] = performance.now();
    // The emulation's temporary vertex buffers are a ring per frame.
    GL.newRenderingFrameStarted();
});
// clang-format on

}  // namespace

// The page's event handlers call this while the show waits; it only queues.
extern "C" EMSCRIPTEN_KEEPALIVE void hopsasa_web_event(int event) {
    Message message;
    message.window = gDisplay.window;
    switch (event) {
        case kEscapeDown:
            gDisplay.escapeDown = true;
            gDisplay.escapePressed = true;
            message.type = MessageType::keyDown;
            message.key = Key::escape;
            break;
        case kEscapeUp:
            gDisplay.escapeDown = false;
            return;
        case kOtherKeyDown:
            message.type = MessageType::keyDown;
            break;
        case kCloseRequest:
            message.type = MessageType::close;
            break;
        default:
            return;
    }
    gDisplay.queue.push_back(message);
}

intptr_t defaultWindowProc(WindowHandle, const Message&) {
    return 0;
}

bool registerWindowClass(const char* className, WindowProc proc) {
    if (!proc || !className || !*className)
        return false;
    gDisplay.proc = proc;
    gDisplay.queue.clear();
    gDisplay.escapeDown = false;
    gDisplay.escapePressed = false;
    installPageEvents();
    return true;
}

bool currentDisplayMode(DisplayMode& mode) {
    if (const DisplayMode* only = offscreenDisplayMode()) {
        mode = *only;
        return true;
    }
    int width = 0;
    int height = 0;
    pageScreenSize(&width, &height);
    mode = {width, height, 32};
    return true;
}

int displayRefreshRate() {
    return 0;
}

bool changeDisplayMode(const DisplayMode& mode) {
    if (const DisplayMode* only = offscreenDisplayMode())
        return mode == *only;
    // The page's one mode: its canvas, shown on the whole screen where the browser lets it.
    const bool canvasMode = mode == DisplayMode{kWidth, kHeight, 32};
    if (canvasMode)
        requestPageFullscreen();
    return canvasMode;
}

// The page's fullscreen view fits the canvas into the screen by itself.
bool useDesktopMode() {
    return false;
}

void showCursor(bool show) {
    if (pageHasCanvas())
        setCanvasCursor(show ? 1 : 0);
}

WindowHandle createWindow(const char* className, const char*, int, int, int width, int height) {
    if (!className || width <= 0 || height <= 0 || !pageHasCanvas())
        return nullptr;
    // One window a run; the one before belongs to a run that has ended.
    delete gDisplay.window;
    gDisplay.window = new WindowRecord;
    sizeCanvas(width, height);
    return gDisplay.window;
}

DeviceHandle deviceOf(WindowHandle window) {
    return window ? &window->device : nullptr;
}

int choosePixelFormat(DeviceHandle device, const PixelFormat&) {
    return device ? 1 : 0;
}

bool setPixelFormat(DeviceHandle device, int formatIndex, const PixelFormat& format) {
    if (!device || formatIndex != 1)
        return false;
    gDisplay.format = format;
    return true;
}

ContextHandle createContext(DeviceHandle device) {
    if (!device)
        return nullptr;
    const PixelFormat& f = gDisplay.format;
    return createPageContext(f.depthBits, f.stencilBits, f.alphaBits) ? &gDisplay.context : nullptr;
}

bool makeCurrent(DeviceHandle device, ContextHandle context) {
    // createContext made it current: a page has one context.
    return device && context;
}

void showWindow(WindowHandle window) {
    if (window)
        showCanvas();
}

bool drawableSize(DeviceHandle device, int& width, int& height) {
    if (!device || !pageHasCanvas())
        return false;
    canvasSize(&width, &height);
    return true;
}

bool swapBuffers(DeviceHandle device) {
    if (!device)
        return false;
    ++device->presented;
    ++gDisplay.presentedByThePage;
    tellPagePresented(static_cast<double>(counterValue()),
                      static_cast<double>(gDisplay.presentedByThePage));
    awaitAnimationFrame();
    recordPlayedSamples();
    frameClockPresented(gDisplay.presentedByThePage);
    return true;
}

bool syncToVerticalBlank(DeviceHandle device) {
    return device != nullptr;
}

int64_t framesPresented(DeviceHandle device) {
    return device ? device->presented : 0;
}

bool peekMessage(Message& message) {
    if (gDisplay.queue.empty())
        return false;
    message = gDisplay.queue.front();
    gDisplay.queue.pop_front();
    return true;
}

intptr_t dispatchMessage(const Message& message) {
    if (message.type == MessageType::quit || !gDisplay.proc)
        return 0;
    return gDisplay.proc(message.window, message);
}

void postQuitMessage() {
    Message message;
    message.type = MessageType::quit;
    gDisplay.queue.push_back(message);
}

void postMessage(const Message& message) {
    if (message.type == MessageType::keyDown && message.key == Key::escape)
        gDisplay.escapePressed = true;
    gDisplay.queue.push_back(message);
}

bool keyDownOrPressedSinceLastQuery(Key key) {
    if (key != Key::escape)
        return false;
    const bool result = gDisplay.escapeDown || gDisplay.escapePressed;
    gDisplay.escapePressed = false;
    return result;
}

}  // namespace platform
