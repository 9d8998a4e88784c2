// Opening the show's own files for reading.
#pragma once

#include <cstdio>

namespace platform {

// Opens `path` for reading in binary when it is a regular file; null when it cannot be
// opened or is anything else (a folder, a FIFO, a device, a socket), which is refused at
// once: nothing waits on a writer that never comes or reads a device without end.
std::FILE* openRegularFile(const char* path);

}  // namespace platform
