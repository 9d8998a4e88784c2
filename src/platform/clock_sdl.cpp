// Performance counter on SDL2, with the manual counter that tests and tools drive.
#include "platform/clock.h"

#include <SDL.h>

namespace platform {
namespace {

struct ManualCounter {
    bool active = false;
    int64_t frequency = 1;
    int64_t ticks = 0;
};
ManualCounter gManual;

}  // namespace

int64_t counterFrequency() {
    if (gManual.active)
        return gManual.frequency;
    return static_cast<int64_t>(SDL_GetPerformanceFrequency());
}

int64_t counterValue() {
    if (gManual.active)
        return gManual.ticks;
    return static_cast<int64_t>(SDL_GetPerformanceCounter());
}

void useManualCounter(int64_t frequency, int64_t ticks) {
    gManual = {true, frequency > 0 ? frequency : 1, ticks};
}

void setManualCounter(int64_t ticks) {
    gManual.ticks = ticks;
}

void advanceManualCounter(int64_t ticks) {
    gManual.ticks += ticks;
}

void useSystemCounter() {
    gManual.active = false;
}

}  // namespace platform
