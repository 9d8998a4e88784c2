// Files read whole, for the backends and the code they share.
#include <cstdio>

#include "platform/file.h"
#include "platform/internal/backend.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

std::FILE* openRegularFile(const char* path) {
#ifdef _WIN32
    std::FILE* file = std::fopen(path, "rb");
    // Device names (CON, NUL, COM1, ...) open as character devices and pipes as pipes.
    if (file &&
        GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) != FILE_TYPE_DISK) {
        std::fclose(file);
        return nullptr;
    }
    return file;
#else
    // Opened without blocking, so that a FIFO without a writer does not hold the show
    // before it is seen to be one.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    std::FILE* file = nullptr;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0)
        file = fdopen(fd, "rb");
    if (!file)
        close(fd);
    return file;
#endif
}

bool readWholeFile(const char* path, std::vector<uint8_t>& bytes, size_t maxBytes) {
    std::FILE* file = openRegularFile(path);
    if (!file)
        return false;
    uint8_t chunk[64 * 1024];
    size_t got;
    bool ok = true;
    while (ok && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        ok = bytes.size() + got <= maxBytes;
        if (ok)
            bytes.insert(bytes.end(), chunk, chunk + got);
    }
    ok = ok && !std::ferror(file);
    std::fclose(file);
    return ok;
}

}  // namespace platform
