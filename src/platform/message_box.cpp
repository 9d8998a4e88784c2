// Message boxes: what every backend shares, the sink and the fallback to standard error.
#include "platform/message_box.h"

#include <cstdio>

#include "platform/internal/backend.h"

namespace platform {
namespace {

MessageBoxSink gSink = nullptr;
void* gSinkUser = nullptr;

}  // namespace

int showMessageBox(WindowHandle owner, const char* text, const char* title, MessageBoxIcon icon) {
    MessageBoxRequest request;
    request.owner = owner;
    request.text = text && systemCanShowText(text) ? text : "";
    request.title = title && systemCanShowText(title) ? title : "";
    request.icon = icon;
    if (gSink)
        return gSink(request, gSinkUser);

    if (!showSystemMessageBox(request)) {
        std::fprintf(stderr, "%s: %s\n", request.title, request.text);
        std::fflush(stderr);
    }
    return kMessageBoxOk;
}

void setMessageBoxSink(MessageBoxSink sink, void* user) {
    gSink = sink;
    gSinkUser = user;
}

bool isUtf8(const char* text) {
    auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        int extra = *p < 0x80           ? 0
                    : (*p >> 5) == 0x6  ? 1
                    : (*p >> 4) == 0xE  ? 2
                    : (*p >> 3) == 0x1E ? 3
                                        : -1;
        if (extra < 0)
            return false;
        ++p;
        for (int i = 0; i < extra; ++i, ++p) {
            if ((*p >> 6) != 0x2)
                return false;
        }
    }
    return true;
}

}  // namespace platform
