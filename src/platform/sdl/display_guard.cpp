// The display guard: a fork of the show that saves the desktop's XRandR layout before the
// mode switch and puts back what differs once the show's process ends, however it ends:
// the guard watches the process itself, and the show's end of a socket pair, which the
// kernel closes with it. (A copy of that end can outlive the show: SDL draws a message
// box in a fork of the process, which stays until the box is answered.) The show says
// "dismissed" on its clean way out, after restoring the mode itself; then the guard
// leaves the display alone. Uses Xlib and XRandR directly: the guard must not depend on
// the state of SDL in a process that may have died in the middle of a call.
#include "platform/sdl/display_guard.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>

namespace platform {

// ---- What to put back --------------------------------------------------------------------

namespace {

const CrtcLayout* findCrtc(const DesktopLayout& layout, uint64_t crtc) {
    for (const CrtcLayout& candidate : layout.crtcs) {
        if (candidate.crtc == crtc)
            return &candidate;
    }
    return nullptr;
}

std::vector<uint64_t> sorted(std::vector<uint64_t> values) {
    std::sort(values.begin(), values.end());
    return values;
}

bool sameSetting(const CrtcLayout& a, const CrtcLayout& b) {
    return a.mode == b.mode && a.x == b.x && a.y == b.y && a.rotation == b.rotation &&
           sorted(a.outputs) == sorted(b.outputs);
}

bool fitsInto(const CrtcLayout& crtc, int width, int height) {
    return int64_t{crtc.x} + crtc.width <= width && int64_t{crtc.y} + crtc.height <= height;
}

}  // namespace

RestorePlan planRestore(const DesktopLayout& saved, const DesktopLayout& now) {
    RestorePlan plan;
    plan.resizeScreen = saved.width != now.width || saved.height != now.height;
    for (const CrtcLayout& wanted : saved.crtcs) {
        const CrtcLayout* current = findCrtc(now, wanted.crtc);
        if (!current || !sameSetting(*current, wanted))
            plan.reconfigure.push_back(wanted);
    }
    // XRandR refuses a screen size that an active CRTC would reach beyond.
    if (plan.resizeScreen) {
        for (const CrtcLayout& current : now.crtcs) {
            if (!fitsInto(current, saved.width, saved.height))
                plan.disable.push_back(current.crtc);
        }
    }
    return plan;
}

// ---- Reading and writing the layout through XRandR ---------------------------------------

namespace {

constexpr int kChannel = 3;  // the guard's end of the socket pair, after it settles in
constexpr char kReady = 'r';
constexpr char kDismissed = 'd';

// The show's end of the socket pair; -1 without a guard.
std::atomic<int> gChannel{-1};
static_assert(std::atomic<int>::is_always_lock_free, "dismissDisplayGuard runs in signal handlers");

int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

// Xlib's default ends the process with exit(), which would run the show's exit handlers
// in the guard.
int leaveOnLostDisplay(Display*) {
    _exit(1);
}

XRRScreenResources* screenResources(Display* display, Window root, bool current) {
    return current ? XRRGetScreenResourcesCurrent(display, root)
                   : XRRGetScreenResources(display, root);
}

// XRandR 1.2 has CRTCs; 1.3 can list them without probing the outputs, which takes long on
// real hardware.
bool randrVersion(Display* display, bool& current) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase) ||
        !XRRQueryVersion(display, &major, &minor))
        return false;
    if (major < 1 || (major == 1 && minor < 2))
        return false;
    current = major > 1 || minor >= 3;
    return true;
}

bool readLayout(Display* display, bool current, DesktopLayout& layout) {
    Window root = DefaultRootWindow(display);
    Window rootOfRoot = 0;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    if (!XGetGeometry(display, root, &rootOfRoot, &x, &y, &width, &height, &border, &depth))
        return false;
    layout.width = static_cast<int>(width);
    layout.height = static_cast<int>(height);
    int screen = DefaultScreen(display);
    layout.widthMm = DisplayWidthMM(display, screen);
    layout.heightMm = DisplayHeightMM(display, screen);
    // XRandR refuses a screen size of 0 mm; what xrandr assumes for such a screen is 96 dpi.
    if (layout.widthMm <= 0 || layout.heightMm <= 0) {
        layout.widthMm = static_cast<int>(layout.width * 25.4 / 96.0 + 0.5);
        layout.heightMm = static_cast<int>(layout.height * 25.4 / 96.0 + 0.5);
    }

    XRRScreenResources* resources = screenResources(display, root, current);
    if (!resources)
        return false;
    layout.crtcs.clear();
    for (int i = 0; i < resources->ncrtc; ++i) {
        XRRCrtcInfo* info = XRRGetCrtcInfo(display, resources, resources->crtcs[i]);
        if (!info)
            continue;
        if (info->mode != None) {
            CrtcLayout crtc;
            crtc.crtc = resources->crtcs[i];
            crtc.mode = info->mode;
            crtc.x = info->x;
            crtc.y = info->y;
            crtc.width = info->width;
            crtc.height = info->height;
            crtc.rotation = info->rotation;
            crtc.outputs.assign(info->outputs, info->outputs + info->noutput);
            layout.crtcs.push_back(crtc);
        }
        XRRFreeCrtcInfo(info);
    }
    XRRFreeScreenResources(resources);
    return true;
}

bool readDesktop(DesktopLayout& layout) {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    bool current = false;
    bool read = randrVersion(display, current) && readLayout(display, current, layout);
    XCloseDisplay(display);
    return read && !layout.crtcs.empty();
}

// The whole comparison and change under a server grab, so that nothing changes the layout
// between what was read and what is set.
void restoreDesktop(const DesktopLayout& saved) {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;
    bool current = false;
    if (!randrVersion(display, current)) {
        XCloseDisplay(display);
        return;
    }
    Window root = DefaultRootWindow(display);
    XGrabServer(display);
    DesktopLayout now;
    XRRScreenResources* resources = nullptr;
    if (readLayout(display, current, now) &&
        (resources = screenResources(display, root, current)) != nullptr) {
        RestorePlan plan = planRestore(saved, now);
        for (uint64_t crtc : plan.disable) {
            XRRSetCrtcConfig(display, resources, crtc, CurrentTime, 0, 0, None, RR_Rotate_0,
                             nullptr, 0);
        }
        if (plan.resizeScreen) {
            XRRSetScreenSize(display, root, saved.width, saved.height, saved.widthMm,
                             saved.heightMm);
        }
        for (const CrtcLayout& crtc : plan.reconfigure) {
            std::vector<RROutput> outputs(crtc.outputs.begin(), crtc.outputs.end());
            XRRSetCrtcConfig(display, resources, crtc.crtc, CurrentTime, crtc.x, crtc.y, crtc.mode,
                             static_cast<Rotation>(crtc.rotation), outputs.data(),
                             static_cast<int>(outputs.size()));
        }
        XRRFreeScreenResources(resources);
    }
    XUngrabServer(display);
    XSync(display, False);
    XCloseDisplay(display);
}

// ---- The guard process --------------------------------------------------------------------

// A fork is safe to go on living only where the process had no other thread: another
// thread may have held a lock (in Xlib, in the allocator) that stays locked in the copy.
bool onlyThread() {
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks)
        return false;
    int count = 0;
    while (dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] != '.')
            ++count;
    }
    closedir(tasks);
    return count == 1;
}

// Signals a terminal sends to its whole foreground process group (Ctrl+C, Ctrl+\,
// Ctrl+Z, hang-up) and a group-wide SIGTERM must not take the guard down before the show:
// it is there for the moment the show goes. Every handler the show installed is dropped.
void settleSignals() {
    for (int sig = 1; sig < NSIG; ++sig) {
        struct sigaction action = {};
        if (sigaction(sig, nullptr, &action) == 0 && action.sa_handler != SIG_DFL &&
            action.sa_handler != SIG_IGN) {
            action = {};
            action.sa_handler = SIG_DFL;
            sigaction(sig, &action, nullptr);
        }
    }
    for (int sig : {SIGINT, SIGQUIT, SIGHUP, SIGTERM, SIGTSTP, SIGTTIN, SIGTTOU, SIGPIPE})
        std::signal(sig, SIG_IGN);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

// The guard keeps only its end of the socket pair: an inherited copy of the show's X
// connection would keep the show's client alive in the server, and an inherited pipe
// would keep whoever reads the show's output waiting.
void settleDescriptors(int channel) {
    if (channel != kChannel)
        dup2(channel, kChannel);
    int null = open("/dev/null", O_RDWR);
    for (int fd = 0; fd < kChannel; ++fd)
        dup2(null, fd);
    if (close_range(kChannel + 1, ~0U, 0) != 0) {
        for (long fd = kChannel + 1, last = sysconf(_SC_OPEN_MAX); fd < last; ++fd)
            close(static_cast<int>(fd));
    }
}

// A descriptor that becomes readable when the show's process ends (the kernel's pidfd),
// or -1 where the kernel has none: then the channel's end alone tells. Opened after the
// descriptors are settled, so it is the one the guard holds beside the channel.
int watchShow(pid_t show) {
    const int process = static_cast<int>(syscall(SYS_pidfd_open, show, 0));
    // The show may have gone between the fork and the open, and its number been reused.
    if (process >= 0 && getppid() != show) {
        close(process);
        return -1;
    }
    return process;
}

// Waits until the show dismisses the guard (true) or is gone (false).
bool waitForTheShow(int process) {
    pollfd watched[2] = {{kChannel, POLLIN, 0}, {process, POLLIN, 0}};
    for (;;) {
        if (poll(watched, process >= 0 ? 2 : 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        // A show that ended cleanly said so before it went: read the channel first.
        if (watched[0].revents != 0) {
            char byte = 0;
            ssize_t got = recv(kChannel, &byte, 1, MSG_DONTWAIT);
            if (got == 1 && byte == kDismissed)
                return true;
            if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))
                return false;
        }
        if (watched[1].revents != 0) {
            char byte = 0;
            return recv(kChannel, &byte, 1, MSG_DONTWAIT) == 1 && byte == kDismissed;
        }
    }
}

[[noreturn]] void runGuard(int channel, pid_t show) {
    prctl(PR_SET_NAME, "hopsasa-guard");
    settleSignals();
    settleDescriptors(channel);
    const int process = watchShow(show);
    XSetErrorHandler(ignoreXError);
    XSetIOErrorHandler(leaveOnLostDisplay);

    DesktopLayout saved;
    if (!readDesktop(saved))
        _exit(1);
    if (write(kChannel, &kReady, 1) != 1)
        _exit(1);
    if (getppid() == show && waitForTheShow(process))
        _exit(0);
    restoreDesktop(saved);
    _exit(0);
}

}  // namespace

bool startDisplayGuard() {
    static bool tried = false;
    if (tried)
        return gChannel.load() >= 0;
    tried = true;
    if (!onlyThread())
        return false;

    // Close-on-exec: a program the show starts (SDL runs zenity for message boxes) must not
    // hold the show's end and keep the guard waiting after the show is gone.
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return false;
    const pid_t show = getpid();
    pid_t guard = fork();
    if (guard < 0) {
        close(ends[0]);
        close(ends[1]);
        return false;
    }
    if (guard == 0)
        runGuard(ends[1], show);
    close(ends[1]);

    char byte = 0;
    ssize_t got = 0;
    do {
        got = read(ends[0], &byte, 1);
    } while (got < 0 && errno == EINTR);
    if (got != 1 || byte != kReady) {
        close(ends[0]);
        waitpid(guard, nullptr, 0);
        return false;
    }
    gChannel = ends[0];
    return true;
}

namespace {

DesktopLayout* gHeldLayout = nullptr;

}  // namespace

bool holdDesktopLayout() {
    if (gHeldLayout)
        return true;
    auto* layout = new DesktopLayout;
    // The default handler would end the program on an error; SDL's own is put back after.
    XErrorHandler sdlHandler = XSetErrorHandler(ignoreXError);
    bool read = readDesktop(*layout);
    XSetErrorHandler(sdlHandler);
    if (!read) {
        delete layout;
        return false;
    }
    gHeldLayout = layout;
    return true;
}

bool restoreHeldDesktopLayout() {
    if (!gHeldLayout)
        return false;
    XSetErrorHandler(ignoreXError);
    XSetIOErrorHandler(leaveOnLostDisplay);
    restoreDesktop(*gHeldLayout);
    return true;
}

void dismissDisplayGuard() {
    int channel = gChannel.exchange(-1);
    if (channel < 0)
        return;
    // The guard may be gone already; a closed peer must not raise SIGPIPE here.
    send(channel, &kDismissed, 1, MSG_NOSIGNAL);
    close(channel);
}

}  // namespace platform
