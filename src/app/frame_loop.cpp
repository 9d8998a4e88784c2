#include "app/frame_loop.h"

#include <cstdio>
#include <numeric>
#include <string>

#include "app/command_line.h"
#include "app/frame_log.h"
#include "app/rate.h"
#include "demo/show.h"
#include "gfx/gl_window.h"
#include "platform/clock.h"
#include "platform/display.h"

namespace {

// The frames before a later first moment are replayed at this rate: the rate the show's
// per-frame motion was made for.
constexpr int kReplayFps = 60;

constexpr int kLowestRate = 24;
constexpr int kHighestRate = 240;

const char* const kUsage =
    "usage: hopsasa [--from SECONDS] [--desktop] [--rate N] [--frame-log FILE]\n"
    "\n"
    "Plays the show from the pictures and music.mp3 in the working directory; Escape quits.\n"
    "  --from SECONDS    start at that moment of the show: the frames before it are drawn\n"
    "                    unseen at 60 frames a second, then the show and its music go on\n"
    "                    from there in real time\n"
    "  --desktop         leave the display in its own mode and show the 4:3 picture in the\n"
    "                    largest area of it that fits, centred, with black bars beside it\n"
    "  --rate N          N frames a second, 24 to 240, in step with the display's refresh:\n"
    "                    frame k shows the show at k/N seconds and is presented no sooner;\n"
    "                    frames that come too late are skipped to keep up with the music\n"
    "  --frame-log FILE  write a line for each frame presented (number, slot, scene, ms\n"
    "                    since the first frame and since the previous one) and a summary\n"
    "                    to FILE when the show ends\n"
    "  --help            print this text\n"
    "Given twice, an option's last value counts.\n";

struct Options {
    double from = 0;
    bool desktop = false;  // the desktop's own mode, the picture fitted into it
    int rate = 0;          // 0: unpaced
    std::string frameLog;
};

// Returns an empty string when the arguments are good, "help", or what is wrong with them.
std::string parseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h")
            return "help";
        if (arg == "--desktop") {
            options.desktop = true;
            continue;
        }
        if (arg != "--from" && arg != "--rate" && arg != "--frame-log")
            return (arg.starts_with("-") ? "unknown option '" : "stray argument '") + arg + "'";
        if (i + 1 >= argc)
            return arg + " needs a value";
        const std::string value = argv[++i];
        if (arg == "--frame-log") {
            options.frameLog = value;
        } else if (arg == "--rate") {
            if (!parseWholeNumber(value, kLowestRate, kHighestRate, options.rate))
                return "--rate takes a whole number from " + std::to_string(kLowestRate) + " to " +
                       std::to_string(kHighestRate) + ", not '" + value + "'";
        } else {
            std::string problem = parseMoment(value, kReplayFps, options.from);
            if (!problem.empty())
                return "--from " + problem;
        }
    }
    return "";
}

}  // namespace

void runFrameLoop(GLWindow& window, const std::function<void()>& drawFrame,
                  const PresentHooks& hooks) {
    for (;;) {
        if (hooks.before)
            hooks.before();
        if (!window.pumpFrame())
            break;
        if (hooks.after)
            hooks.after();
        if (platform::keyDownOrPressedSinceLastQuery(platform::Key::escape))
            break;
        drawFrame();
    }
}

int runShow(int argc, char** argv) {
    Options options;
    std::string problem = parseArguments(argc, argv, options);
    if (problem == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "hopsasa: %s\n\n%s", problem.c_str(), kUsage);
        return 2;
    }
    // A log that cannot be written is told at once, before the display changes: a run
    // made to be measured is worth nothing without its measurements.
    FrameLog log;
    if (!options.frameLog.empty() && !(problem = log.open(options.frameLog)).empty()) {
        std::fprintf(stderr, "hopsasa: %s\n", problem.c_str());
        return 2;
    }

    // At a rate, the show's clocks run on a manual counter from the start, as in a
    // capture: one that counts both the replay's frames and the rate's slots in whole
    // ticks, whose readings make the very numbers a capture's counter makes.
    const int rate = options.rate;
    const int64_t rateFrequency = rate ? std::lcm(int64_t{kReplayFps}, int64_t{rate}) : 0;
    if (rate)
        platform::useManualCounter(rateFrequency, 0);

    GLWindow window(options.desktop ? ScreenMode::desktop : ScreenMode::switched);
    if (rate)
        platform::syncToVerticalBlank(window.hDC);
    Show show(window);
    int64_t slotZero = 0;  // the manual counter's tick at slot 0
    if (options.from > 0) {
        const int64_t frame = frameAtOrAfter(options.from, kReplayFps);
        if (rate) {
            const FrameTimes times{platform::counterValue(), rateFrequency, kReplayFps};
            show.seek(frame, times);
            slotZero = times.tick(frame);
        } else {
            // Replayed on a manual counter that runs at the system counter's frequency
            // from now, which then takes over where the replay ends.
            const FrameTimes times{platform::counterValue(), platform::counterFrequency(),
                                   kReplayFps};
            platform::useManualCounter(times.frequency, times.first);
            show.seek(frame, times);
            platform::useSystemCounterFrom(times.tick(frame));
        }
        show.startMusic(static_cast<double>(frame) / kReplayFps);
    } else {
        show.startMusic();
    }

    if (!options.frameLog.empty()) {
        // A slot is the display's refresh period where there is no rate; 1/60 s unknown.
        const int refresh = rate ? rate : platform::displayRefreshRate();
        log.setTiming(platform::realTimeFrequency(), 1000.0 / (refresh > 0 ? refresh : 60));
    }
    const FrameSlots slots{rate ? rate : 60, platform::realTimeFrequency(),
                           platform::realTimeValue()};
    int64_t drawn = 0;  // frames of the show drawn so far
    int64_t slot = 0;   // the slot of the next frame to draw
    int scene = 0;      // the scene that drew the latest frame
    PresentHooks hooks;
    if (rate)
        hooks.before = [&] {
            if (drawn > 0)
                platform::sleepUntilRealTime(slots.begins(slot));
        };
    hooks.after = [&] {
        if (drawn == 0)
            return;
        const int64_t now = platform::realTimeValue();
        log.presented(drawn - 1, rate ? slot : -1, scene, now);
        if (rate)
            slot = slots.next(slot, now);
    };
    runFrameLoop(
        window,
        [&] {
            if (rate)
                platform::setManualCounter(slotZero + slot * (rateFrequency / rate));
            scene = show.sceneIndex;
            show.renderFrame();
            ++drawn;
        },
        hooks);
    return 0;
}
