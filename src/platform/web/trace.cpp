// The trace in a web page: no trace is kept (a page has no file to append to).
#include "platform/internal/trace.h"

namespace platform {

void traceEvent(const char*) {}

}  // namespace platform
