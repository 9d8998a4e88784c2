// The trace on Linux: lines appended with one write() each, so that lines written from
// different threads never interleave.
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "platform/internal/trace.h"

namespace platform {
namespace {

constexpr int kUnopened = -2;
constexpr int kOff = -1;

// The descriptor, or whether it is still to be opened, or tracing is off. Kept open to the
// end of the process; never closed, so that a thread still tracing during exit writes to a
// file rather than to a reused descriptor.
std::atomic<int> gTraceFile{kUnopened};

int traceFile() {
    int fd = gTraceFile.load(std::memory_order_acquire);
    if (fd != kUnopened)
        return fd;
    const char* path = std::getenv("HOPSASA_TRACE");
    int opened = kOff;
    if (path && *path)
        opened = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (opened < 0)
        opened = kOff;
    // Two threads tracing their first events at once: one descriptor wins, the other closes.
    int expected = kUnopened;
    if (!gTraceFile.compare_exchange_strong(expected, opened, std::memory_order_acq_rel)) {
        if (opened >= 0)
            close(opened);
        return expected;
    }
    return opened;
}

}  // namespace

void traceEvent(const char* event) {
    // Every frame asks; without a trace, that costs one atomic load.
    const int fd = traceFile();
    if (fd < 0)
        return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    char line[128];
    const int length = std::snprintf(line, sizeof line, "%s %lld.%09ld\n", event,
                                     static_cast<long long>(now.tv_sec), now.tv_nsec);
    if (length > 0 && static_cast<size_t>(length) < sizeof line) {
        // A trace line lost to a full disk costs nothing but the trace.
        [[maybe_unused]] const ssize_t written = write(fd, line, static_cast<size_t>(length));
    }
}

}  // namespace platform
