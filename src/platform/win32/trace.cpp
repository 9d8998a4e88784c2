// The trace on Windows: no trace is kept.
#include "platform/internal/trace.h"

namespace platform {

void traceEvent(const char*) {}

}  // namespace platform
