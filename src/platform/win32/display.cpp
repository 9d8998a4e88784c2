// Display, window, context and message queue on Win32.
//
// The thread's message queue is the message queue; each message keeps its system form, so
// dispatching and the default handling hand the very message back to the system. The
// system calls one procedure for the registered class, which translates each message and
// hands it to the program's window procedure: messages dispatched from the queue as well as
// those the system sends directly (while the window is made, shown or sized, and during a
// message box's own loop).
#include <windows.h>

#include <string>

#include "platform/display.h"
#include "platform/internal/backend.h"
#include "platform/win32/local.h"

namespace platform {

struct DeviceRecord {
    HDC hdc = nullptr;
    int64_t presented = 0;
};

struct WindowRecord {
    HWND hwnd = nullptr;
    DeviceRecord device;
};

struct ContextRecord {
    HGLRC hglrc = nullptr;
};

namespace {

constexpr DWORD kWindowStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr UINT kOtherMessage = WM_APP;  // what postMessage sends for MessageType::other

struct DisplayState {
    WindowProc proc = nullptr;
    WindowRecord* window = nullptr;  // the one window the program makes
    bool escapePosted = false;       // by postMessage, since the last query of the key
};
DisplayState gDisplay;

Message translate(HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam) {
    Message message;
    message.system = {hwnd, id, wParam, lParam};
    if (gDisplay.window && hwnd && hwnd == gDisplay.window->hwnd)
        message.window = gDisplay.window;
    switch (id) {
        case WM_QUIT:
            message.type = MessageType::quit;
            break;
        case WM_KEYDOWN:
            message.type = MessageType::keyDown;
            message.key = wParam == VK_ESCAPE ? Key::escape : Key::other;
            break;
        case WM_CLOSE:
            message.type = MessageType::close;
            break;
        case WM_SIZE:
            message.type = MessageType::size;
            break;
        case WM_ERASEBKGND:
            message.type = MessageType::eraseBackground;
            break;
        default:
            break;
    }
    return message;
}

LRESULT CALLBACK classWindowProc(HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam) {
    // The first messages arrive while CreateWindowExW is still making the window.
    if (gDisplay.window && !gDisplay.window->hwnd)
        gDisplay.window->hwnd = hwnd;
    Message message = translate(hwnd, id, wParam, lParam);
    if (gDisplay.proc)
        return gDisplay.proc(message.window, message);
    return defaultWindowProc(message.window, message);
}

// The primary display's current settings, cleared first.
bool currentSettings(DEVMODEW& settings) {
    ZeroMemory(&settings, sizeof settings);
    settings.dmSize = sizeof settings;
    return EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &settings) != 0;
}

PIXELFORMATDESCRIPTOR descriptorOf(const PixelFormat& format) {
    PIXELFORMATDESCRIPTOR descriptor = {};
    descriptor.nSize = sizeof descriptor;
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    if (format.doubleBuffer)
        descriptor.dwFlags |= PFD_DOUBLEBUFFER;
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cColorBits = static_cast<BYTE>(format.colorBits);
    descriptor.cAlphaBits = static_cast<BYTE>(format.alphaBits);
    descriptor.cAccumBits = static_cast<BYTE>(format.accumBits);
    descriptor.cDepthBits = static_cast<BYTE>(format.depthBits);
    descriptor.cStencilBits = static_cast<BYTE>(format.stencilBits);
    descriptor.iLayerType = PFD_MAIN_PLANE;
    return descriptor;
}

// ChoosePixelFormat takes an alpha size of 0 as "any", as drivers do, and may well choose
// a format with alpha. A request without alpha gets the same format without it, where the
// device has one.
int withoutAlpha(HDC hdc, int chosen) {
    PIXELFORMATDESCRIPTOR best = {};
    // The chosen format's description, and the number of the device's formats.
    const int count = DescribePixelFormat(hdc, chosen, sizeof best, &best);
    if (count == 0 || best.cAlphaBits == 0)
        return chosen;
    for (int index = 1; index <= count; ++index) {
        PIXELFORMATDESCRIPTOR other = {};
        if (DescribePixelFormat(hdc, index, sizeof other, &other) != 0 && other.cAlphaBits == 0 &&
            other.dwFlags == best.dwFlags && other.iPixelType == best.iPixelType &&
            other.cRedBits == best.cRedBits && other.cGreenBits == best.cGreenBits &&
            other.cBlueBits == best.cBlueBits && other.cAccumBits == best.cAccumBits &&
            other.cDepthBits == best.cDepthBits && other.cStencilBits == best.cStencilBits &&
            other.cAuxBuffers == best.cAuxBuffers) {
            return index;
        }
    }
    return chosen;
}

}  // namespace

bool widen(const char* text, std::wstring& wide) {
    wide.clear();
    if (!text)
        return false;
    // The length includes the terminator.
    int length = MultiByteToWideChar(CP_THREAD_ACP, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (length <= 0)
        return false;
    wide.resize(static_cast<size_t>(length));
    if (MultiByteToWideChar(CP_THREAD_ACP, MB_ERR_INVALID_CHARS, text, -1, wide.data(), length) !=
        length) {
        wide.clear();
        return false;
    }
    wide.pop_back();  // std::wstring keeps its own terminator
    return true;
}

HWND hwndOf(WindowHandle window) {
    return window ? window->hwnd : nullptr;
}

intptr_t defaultWindowProc(WindowHandle, const Message& message) {
    const SystemMessage& m = message.system;
    if (m.id == 0)
        return 0;
    return static_cast<intptr_t>(
        DefWindowProcW(static_cast<HWND>(m.target), m.id, m.wParam, m.lParam));
}

bool registerWindowClass(const char* className, WindowProc proc) {
    std::wstring name;
    if (!proc || !widen(className, name) || name.empty())
        return false;
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = classWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.hIconSm = LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = name.c_str();
    if (RegisterClassExW(&windowClass) == 0)
        return false;
    gDisplay.proc = proc;
    return true;
}

bool currentDisplayMode(DisplayMode& mode) {
    if (const DisplayMode* only = offscreenDisplayMode()) {
        mode = *only;
        return true;
    }
    DEVMODEW settings;
    if (!currentSettings(settings))
        return false;
    mode = {static_cast<int>(settings.dmPelsWidth), static_cast<int>(settings.dmPelsHeight),
            static_cast<int>(settings.dmBitsPerPel)};
    return true;
}

bool changeDisplayMode(const DisplayMode& mode) {
    if (const DisplayMode* only = offscreenDisplayMode())
        return mode == *only;
    // Only the size and depth are asked for; the rest stays as the display has it. The
    // change is temporary: the desktop's mode comes back when the process ends.
    DEVMODEW settings;
    if (!currentSettings(settings))
        return false;
    settings.dmBitsPerPel = static_cast<DWORD>(mode.bitsPerPixel);
    settings.dmPelsWidth = static_cast<DWORD>(mode.width);
    settings.dmPelsHeight = static_cast<DWORD>(mode.height);
    settings.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    return ChangeDisplaySettingsW(&settings, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
}

int displayRefreshRate() {
    DEVMODEW settings;
    if (offscreenDisplayMode() || !currentSettings(settings))
        return 0;
    // 0 and 1 stand for the hardware's default rate, which the system does not name.
    return settings.dmDisplayFrequency > 1 ? static_cast<int>(settings.dmDisplayFrequency) : 0;
}

bool useDesktopMode() {
    // Without it, a scaled display would report its mode in scaled units and stretch the
    // window's smaller surface over the display.
    SetProcessDPIAware();
    return true;
}

void showCursor(bool show) {
    ShowCursor(show ? TRUE : FALSE);
}

WindowHandle createWindow(const char* className, const char* title, int x, int y, int width,
                          int height) {
    std::wstring wideClass;
    std::wstring wideTitle;
    if (!widen(className, wideClass) || width <= 0 || height <= 0)
        return nullptr;
    widen(title, wideTitle);
    // The frame the style adds, if any, around the client area asked for.
    RECT rect = {0, 0, width, height};
    AdjustWindowRect(&rect, kWindowStyle, FALSE);

    auto* window = new WindowRecord;
    gDisplay.window = window;
    HWND hwnd = CreateWindowExW(0, wideClass.c_str(), wideTitle.c_str(), kWindowStyle, x, y,
                                rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) {
        gDisplay.window = nullptr;
        delete window;
        return nullptr;
    }
    window->hwnd = hwnd;
    return window;
}

DeviceHandle deviceOf(WindowHandle window) {
    if (!window)
        return nullptr;
    if (!window->device.hdc)
        window->device.hdc = GetDC(window->hwnd);
    return window->device.hdc ? &window->device : nullptr;
}

int choosePixelFormat(DeviceHandle device, const PixelFormat& format) {
    if (!device)
        return 0;
    PIXELFORMATDESCRIPTOR descriptor = descriptorOf(format);
    const int chosen = ChoosePixelFormat(device->hdc, &descriptor);
    return chosen != 0 && format.alphaBits == 0 ? withoutAlpha(device->hdc, chosen) : chosen;
}

bool setPixelFormat(DeviceHandle device, int formatIndex, const PixelFormat& format) {
    if (!device)
        return false;
    PIXELFORMATDESCRIPTOR descriptor = descriptorOf(format);
    return SetPixelFormat(device->hdc, formatIndex, &descriptor) != 0;
}

ContextHandle createContext(DeviceHandle device) {
    if (!device)
        return nullptr;
    HGLRC hglrc = wglCreateContext(device->hdc);
    return hglrc ? new ContextRecord{hglrc} : nullptr;
}

bool makeCurrent(DeviceHandle device, ContextHandle context) {
    if (!device || !context)
        return false;
    return wglMakeCurrent(device->hdc, context->hglrc) != 0;
}

void showWindow(WindowHandle window) {
    if (!window)
        return;
    ShowWindow(window->hwnd, SW_SHOWNORMAL);
    UpdateWindow(window->hwnd);
    SetForegroundWindow(window->hwnd);
    SetFocus(window->hwnd);
}

bool drawableSize(DeviceHandle device, int& width, int& height) {
    RECT client;
    if (!device || !GetClientRect(WindowFromDC(device->hdc), &client))
        return false;
    width = static_cast<int>(client.right - client.left);
    height = static_cast<int>(client.bottom - client.top);
    return true;
}

bool swapBuffers(DeviceHandle device) {
    if (!device || !SwapBuffers(device->hdc))
        return false;
    ++device->presented;
    return true;
}

bool syncToVerticalBlank(DeviceHandle device) {
    // An extension function: only the driver of the current context knows it. The cast
    // goes by way of a function of no arguments, the type GCC takes as any function's.
    using SwapInterval = BOOL(WINAPI*)(int);
    const auto setInterval = reinterpret_cast<SwapInterval>(
        reinterpret_cast<void (*)()>(wglGetProcAddress("wglSwapIntervalEXT")));
    return device && setInterval && setInterval(1);
}

int64_t framesPresented(DeviceHandle device) {
    return device ? device->presented : 0;
}

bool peekMessage(Message& message) {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    message = translate(msg.hwnd, msg.message, msg.wParam, msg.lParam);
    return true;
}

intptr_t dispatchMessage(const Message& message) {
    if (message.type == MessageType::quit)
        return 0;
    const SystemMessage& m = message.system;
    MSG msg = {};
    msg.hwnd = static_cast<HWND>(m.target);
    msg.message = m.id;
    msg.wParam = m.wParam;
    msg.lParam = m.lParam;
    // A key's character message, which TranslateMessage queues, reaches the window
    // procedure in a later pass and goes on to the default handling.
    TranslateMessage(&msg);
    return static_cast<intptr_t>(DispatchMessageW(&msg));
}

void postQuitMessage() {
    PostQuitMessage(0);
}

void postMessage(const Message& message) {
    HWND hwnd = hwndOf(message.window);
    switch (message.type) {
        case MessageType::quit:
            PostQuitMessage(0);
            break;
        case MessageType::keyDown:
            PostMessageW(hwnd, WM_KEYDOWN, message.key == Key::escape ? VK_ESCAPE : 'A', 0);
            // A press the system makes shows in its key state at once; a posted one does not.
            if (message.key == Key::escape)
                gDisplay.escapePosted = true;
            break;
        case MessageType::close:
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
            break;
        case MessageType::size:
            PostMessageW(hwnd, WM_SIZE, SIZE_RESTORED, 0);
            break;
        case MessageType::eraseBackground:
            PostMessageW(hwnd, WM_ERASEBKGND, 0, 0);
            break;
        case MessageType::other:
            PostMessageW(hwnd, kOtherMessage, 0, 0);
            break;
    }
}

bool keyDownOrPressedSinceLastQuery(Key key) {
    if (key != Key::escape)
        return false;
    // Non-zero when the key is down now, or (the lowest bit) was pressed since the last call.
    const bool pressed = GetAsyncKeyState(VK_ESCAPE) != 0;
    const bool posted = gDisplay.escapePosted;
    gDisplay.escapePosted = false;
    return pressed || posted;
}

}  // namespace platform
