// The display: what every backend shares, the offscreen display's one mode.
#include "platform/display.h"

#include "platform/internal/backend.h"

namespace platform {
namespace {

bool gOffscreen = false;
DisplayMode gOffscreenMode;

}  // namespace

void useOffscreenDisplay(const DisplayMode& mode) {
    gOffscreen = true;
    gOffscreenMode = mode;
}

const DisplayMode* offscreenDisplayMode() {
    return gOffscreen ? &gOffscreenMode : nullptr;
}

}  // namespace platform
