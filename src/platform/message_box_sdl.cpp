// Message boxes on SDL2, with the sink that tests and tools install.
#include <SDL.h>

#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "platform/message_box.h"
#include "platform/sdl_local.h"

namespace platform {
namespace {

MessageBoxSink gSink = nullptr;
void* gSinkUser = nullptr;

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

// While a box waits for the user the program takes no messages, so SIGINT and SIGTERM,
// which normally arrive as a close request, would wait for the box as well. During a box
// they end the program at once, as cleanly as a signal handler can.
void endDuringBox(int) {
    restoreDesktopMode();
    _exit(0);
}

class SignalsEndTheProgram {
  public:
    SignalsEndTheProgram() {
        struct sigaction action = {};
        action.sa_handler = endDuringBox;
        sigaction(SIGINT, &action, &oldInt_);
        sigaction(SIGTERM, &action, &oldTerm_);
    }
    ~SignalsEndTheProgram() {
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
    }

  private:
    struct sigaction oldInt_ = {};
    struct sigaction oldTerm_ = {};
};

}  // namespace

int showMessageBox(WindowHandle owner, const char* text, const char* title, MessageBoxIcon icon) {
    MessageBoxRequest request;
    request.owner = owner;
    request.text = text && isUtf8(text) ? text : "";
    request.title = title && isUtf8(title) ? title : "";
    request.icon = icon;
    if (gSink)
        return gSink(request, gSinkUser);

    Uint32 flags = icon == MessageBoxIcon::error ? SDL_MESSAGEBOX_ERROR : 0;
    SignalsEndTheProgram whileTheBoxIsOpen;
    if (SDL_ShowSimpleMessageBox(flags, request.title, request.text, sdlWindowOf(owner)) != 0) {
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
