// The performance counter on Windows.
#include <windows.h>

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

}  // namespace platform
