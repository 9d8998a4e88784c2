// Windows' heap gives every block above its threshold (about a megabyte on 64-bit systems)
// an allocation of its own from the system and frees it whole: there is nothing to set.
#include "platform/memory.h"

namespace platform {

void returnLargeBlocksWhenFreed() {}

}  // namespace platform
