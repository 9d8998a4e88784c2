// A page's memory only ever grows: there is no system to give blocks back to.
#include "platform/memory.h"

namespace platform {

void returnLargeBlocksWhenFreed() {}

}  // namespace platform
