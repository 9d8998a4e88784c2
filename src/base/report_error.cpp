#include "base/report_error.h"

#include <cstdarg>
#include <cstdio>

#include "platform/message_box.h"

int reportError(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);

    std::fputs(buffer, stdout);
    std::fflush(stdout);
    return platform::showMessageBox(nullptr, buffer, "Error", platform::MessageBoxIcon::error);
}
