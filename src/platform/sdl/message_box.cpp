// Message boxes on SDL2.
#include <SDL.h>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

#include "platform/internal/backend.h"
#include "platform/sdl/display_guard.h"
#include "platform/sdl/local.h"

namespace platform {
namespace {

// The process that shows boxes. SDL draws its own box in a fork of it, which shares the
// program's connection to the display and keeps the box up until it is answered.
pid_t gProgram = 0;

// Writes the decimal digits of `value` at `out`; returns the end.
char* appendNumber(char* out, long value) {
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (count > 0)
        *out++ = digits[--count];
    return out;
}

// Sends SIGTERM to each child of the program's main thread, where boxes are shown: SDL's
// fork leaves at once (see endDuringBox), as does a dialog tool SDL started; the display
// guard ignores it. Only calls that are safe in a signal handler.
void endBoxesOfTheProgram() {
    char path[64] = "/proc/self/task/";
    char* end = appendNumber(path + sizeof "/proc/self/task/" - 1, gProgram);
    const char kTail[] = "/children";
    for (const char* c = kTail; *c; ++c)
        *end++ = *c;
    *end = '\0';
    int list = open(path, O_RDONLY | O_CLOEXEC);
    if (list < 0)
        return;
    char text[512];
    ssize_t got = read(list, text, sizeof text - 1);
    close(list);
    // Numbers separated by spaces; a space after the last ends it too.
    text[got > 0 ? got : 0] = ' ';
    long child = 0;
    for (ssize_t i = 0; i <= got; ++i) {
        if (text[i] >= '0' && text[i] <= '9') {
            child = child * 10 + (text[i] - '0');
            continue;
        }
        if (child > 0)
            kill(static_cast<pid_t>(child), SIGTERM);
        child = 0;
    }
}

// While a box waits for the user the program takes no messages, so SIGINT and SIGTERM,
// which normally arrive as a close request, would wait for the box as well. During a box
// they end the program at once, as cleanly as a signal handler can, its boxes with it.
void endDuringBox(int) {
    // SDL's fork for the box gets the signal too when a terminal sends it to the whole
    // process group. It must not touch the connection it shares with the program.
    if (getpid() != gProgram)
        _exit(0);
    restoreDesktopMode();
    dismissDisplayGuard();
    endBoxesOfTheProgram();
    _exit(0);
}

class SignalsEndTheProgram {
  public:
    SignalsEndTheProgram() {
        gProgram = getpid();
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
