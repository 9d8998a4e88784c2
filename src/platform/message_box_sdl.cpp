// Message boxes on SDL2.
#include <SDL.h>

#include <unistd.h>

#include <csignal>

#include "platform/internal/backend.h"
#include "platform/internal/sdl_local.h"

namespace platform {
namespace {

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

bool systemCanShowText(const char* text) {
    return isUtf8(text);
}

bool showSystemMessageBox(const MessageBoxRequest& request) {
    Uint32 flags = request.icon == MessageBoxIcon::error ? SDL_MESSAGEBOX_ERROR : 0;
    SignalsEndTheProgram whileTheBoxIsOpen;
    // SDL hands an empty text to zenity as --text="", which shows the two quote marks.
    const char* text = *request.text ? request.text : " ";
    return SDL_ShowSimpleMessageBox(flags, request.title, text, sdlWindowOf(request.owner)) == 0;
}

}  // namespace platform
