// The performance counter on Windows.
#include <windows.h>
// After windows.h, which it needs.
#include <timeapi.h>

#include "platform/internal/backend.h"

namespace platform {

int64_t systemCounterFrequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

int64_t systemCounterValue() {
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return count.QuadPart;
}

void systemSleepMicroseconds(int64_t microseconds) {
    // The system's timer ticks every 15.6 ms unless asked for 1 ms, once for the process:
    // a frame slot is shorter than that.
    static const bool fineTimer = timeBeginPeriod(1) == TIMERR_NOERROR;
    (void)fineTimer;
    Sleep(static_cast<DWORD>(microseconds > 0 ? (microseconds + 999) / 1000 : 1));
}

}  // namespace platform
