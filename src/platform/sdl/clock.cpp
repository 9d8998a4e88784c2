// The performance counter on SDL2.
#include <SDL.h>
#include <time.h>

#include "platform/internal/backend.h"

namespace platform {

int64_t systemCounterFrequency() {
    return static_cast<int64_t>(SDL_GetPerformanceFrequency());
}

int64_t systemCounterValue() {
    return static_cast<int64_t>(SDL_GetPerformanceCounter());
}

void systemSleepMicroseconds(int64_t microseconds) {
    // nanosleep, not SDL_Delay: a frame slot at 240 Hz is shorter than SDL_Delay's
    // millisecond steps allow to hit.
    const int64_t us = microseconds > 0 ? microseconds : 1;
    timespec wait{static_cast<time_t>(us / 1'000'000), static_cast<long>(us % 1'000'000) * 1000};
    nanosleep(&wait, nullptr);
}

}  // namespace platform
