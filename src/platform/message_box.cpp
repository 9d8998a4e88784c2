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

}  // namespace platform
