// The display guard of the SDL2 backend on X11: a small process that holds the desktop's
// display layout while the show has the display in its own mode, and puts the layout back
// once the show's process is gone, however it ended (SIGKILL and crashes included).
// Windows does this for every program; X11 leaves a mode set by a dead process in place.
// Nothing outside src/platform includes this header.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

// One active CRTC (the scanout engine behind one or more outputs) as XRandR describes it.
struct CrtcLayout {
    uint64_t crtc = 0;
    uint64_t mode = 0;
    int x = 0;
    int y = 0;
    unsigned width = 0;  // the area it covers on the screen, rotation applied
    unsigned height = 0;
    int rotation = 0;
    std::vector<uint64_t> outputs;
};

// The screen's size and its active CRTCs; inactive ones are left out.
struct DesktopLayout {
    int width = 0;
    int height = 0;
    int widthMm = 0;
    int heightMm = 0;
    std::vector<CrtcLayout> crtcs;
};

// What brings a layout back to the saved one, in the order XRandR accepts it: the CRTCs in
// `disable` are switched off (they would not fit into the saved screen size), the screen
// gets its saved size if `resizeScreen`, and each CRTC in `reconfigure` gets its saved
// setting back. Only what differs is touched: a layout that is already back gives an
// empty plan, and CRTCs that were not active when the layout was saved are kept as they
// are unless they stand in the way of the screen's size.
struct RestorePlan {
    std::vector<uint64_t> disable;
    bool resizeScreen = false;
    std::vector<CrtcLayout> reconfigure;

    bool empty() const { return disable.empty() && !resizeScreen && reconfigure.empty(); }
};

RestorePlan planRestore(const DesktopLayout& saved, const DesktopLayout& now);

// Starts the guard on the X display named by $DISPLAY and waits until it has read the
// desktop's layout, so that a mode switch made after this returns is one it can undo.
// Call on the main thread before anything else in the process starts a thread: the guard
// is a fork of the process, and it refuses to start (false) when other threads exist.
// False also when the display cannot be read through XRandR 1.2. The guard closes every
// descriptor it inherits (it holds its end of the channel and a pidfd of the show),
// ignores the signals a terminal sends to its whole process group (it outlives the show
// by at most the restore), and holds no connection to the display while it waits. Starts
// at most one guard per process.
bool startDisplayGuard();

// For the clean end of the program, once the desktop's mode is back: the guard leaves
// without touching the display, so a mode someone sets after the show is kept. Safe to
// call from a signal handler; does nothing without a guard.
void dismissDisplayGuard();

// Where no guard could start: reads the desktop's layout into this process, for
// restoreHeldDesktopLayout. Call before the mode switch. False when it cannot be read.
bool holdDesktopLayout();

// For a crash-signal handler without a guard: puts back what differs from the held layout
// through a connection of its own, never through the one the interrupted code may hold
// locked or be waiting on. Not async-signal-safe (it allocates): the caller bounds it with
// a timer. X errors are ignored from then on; a display lost meanwhile ends the process at
// once. False when no layout is held.
bool restoreHeldDesktopLayout();

}  // namespace platform
