// The performance counter on SDL2.
#include <SDL.h>

#include "platform/internal/backend.h"

namespace platform {

int64_t systemCounterFrequency() {
    return static_cast<int64_t>(SDL_GetPerformanceFrequency());
}

int64_t systemCounterValue() {
    return static_cast<int64_t>(SDL_GetPerformanceCounter());
}

}  // namespace platform
