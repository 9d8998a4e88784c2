// glibc's allocator serves blocks above a threshold with mmap and unmaps them when freed;
// by default the threshold rises to the size of each such block freed (up to 32 MiB), so
// that after the first large picture every later one lands in the heap and its pages stay
// there. A fixed threshold keeps it where it is.
#include <malloc.h>

#include "platform/memory.h"

namespace platform {

void returnLargeBlocksWhenFreed() {
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
}

}  // namespace platform
