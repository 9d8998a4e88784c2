#include "app/frame_loop.h"

#include <cstdio>
#include <string>

#include "app/command_line.h"
#include "demo/show.h"
#include "gfx/gl_window.h"
#include "platform/clock.h"
#include "platform/display.h"

namespace {

// The frames before a later first moment are replayed at this rate: the rate the show's
// per-frame motion was made for.
constexpr int kReplayFps = 60;

const char* const kUsage =
    "usage: hopsasa [--from SECONDS] [--desktop]\n"
    "\n"
    "Plays the show from the pictures and music.mp3 in the working directory; Escape quits.\n"
    "  --from SECONDS  start at that moment of the show: the frames before it are drawn\n"
    "                  unseen at 60 frames a second, then the show and its music go on\n"
    "                  from there in real time\n"
    "  --desktop       leave the display in its own mode and show the 4:3 picture in the\n"
    "                  largest area of it that fits, centred, with black bars beside it\n"
    "  --help          print this text\n"
    "Given twice, an option's last value counts.\n";

// Returns an empty string when the arguments are good, "help", or what is wrong with them.
std::string parseArguments(int argc, char** argv, double& from, bool& desktop) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h")
            return "help";
        if (arg == "--desktop") {
            desktop = true;
            continue;
        }
        if (arg != "--from")
            return (arg.starts_with("-") ? "unknown option '" : "stray argument '") + arg + "'";
        if (i + 1 >= argc)
            return "--from needs a value";
        std::string problem = parseMoment(argv[++i], kReplayFps, from);
        if (!problem.empty())
            return "--from " + problem;
    }
    return "";
}

}  // namespace

void runFrameLoop(GLWindow& window, const std::function<void()>& drawFrame) {
    while (window.pumpFrame()) {
        if (platform::keyDownOrPressedSinceLastQuery(platform::Key::escape))
            break;
        drawFrame();
    }
}

int runShow(int argc, char** argv) {
    double from = 0;
    bool desktop = false;
    const std::string problem = parseArguments(argc, argv, from, desktop);
    if (problem == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "hopsasa: %s\n\n%s", problem.c_str(), kUsage);
        return 2;
    }

    GLWindow window(desktop ? ScreenMode::desktop : ScreenMode::switched);
    Show show(window);
    if (from > 0) {
        // Replayed on a manual counter that runs at the system counter's frequency from
        // now, which then takes over where the replay ends.
        const FrameTimes times{platform::counterValue(), platform::counterFrequency(), kReplayFps};
        const int64_t frame = frameAtOrAfter(from, kReplayFps);
        platform::useManualCounter(times.frequency, times.first);
        show.seek(frame, times);
        platform::useSystemCounterFrom(times.tick(frame));
        show.startMusic(static_cast<double>(frame) / kReplayFps);
    } else {
        show.startMusic();
    }
    runFrameLoop(window, [&show] { show.renderFrame(); });
    return 0;
}
