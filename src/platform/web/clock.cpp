// The performance counter in a web page: performance.now(), in microseconds, or the frame
// clock the page can ask for (platform/web/local.h).
#include <emscripten.h>

#include <cmath>

#include "platform/internal/backend.h"
#include "platform/web/local.h"

namespace platform {
namespace {

// performance.now() counts milliseconds from the page's start as a double; browsers round
// it to between 5 and 100 microseconds, so a microsecond tick loses nothing.
constexpr int64_t kTicksPerSecond = 1'000'000;

// JavaScript, which clang-format would break (=== becomes == =).
// clang-format off
EM_JS(double, pageMilliseconds, (), { return performance.now(); });

EM_JS(int, pageFrameRate, (), {
    var rate = Module["hopsasaFrameRate"] | 0;
    return rate > 0 && rate <= 1000 ? rate : 0;
});
// clang-format on

struct FrameClock {
    bool read = false;  // the page's choice is read once, before the first count
    int rate = 0;
    int64_t ticks = 0;
};
FrameClock gFrames;

int frameRate() {
    if (!gFrames.read) {
        gFrames.rate = pageFrameRate();
        gFrames.read = true;
    }
    return gFrames.rate;
}

// Two presents show no frame of the show: the loading picture, during start-up, and the
// frame loop's first pass, which presents that same picture again before the first scene
// frame is drawn. The counter stands at 0 until then, so the first scene frame is drawn at
// tick 0 and the blob field, made during start-up, at tick 0 too: as hopsasa-capture
// draws them.
constexpr int64_t kPresentsBeforeTheShow = 2;

}  // namespace

int64_t systemCounterFrequency() {
    const int rate = frameRate();
    return rate > 0 ? rate : kTicksPerSecond;
}

int64_t systemCounterValue() {
    if (frameRate() > 0)
        return gFrames.ticks;
    return static_cast<int64_t>(std::llround(pageMilliseconds() * 1000.0));
}

void systemSleepMicroseconds(int64_t microseconds) {
    // The wasm stack unwinds and the browser runs on meanwhile (ASYNCIFY).
    emscripten_sleep(static_cast<unsigned>(microseconds > 0 ? (microseconds + 999) / 1000 : 1));
}

void frameClockPresented(int64_t presented) {
    if (frameRate() > 0 && presented > kPresentsBeforeTheShow)
        gFrames.ticks = presented - kPresentsBeforeTheShow;
}

}  // namespace platform
