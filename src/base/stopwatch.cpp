#include "base/stopwatch.h"

#include "platform/clock.h"

void Stopwatch::start() {
    frequency = platform::counterFrequency();
    secondsPerTick = static_cast<float>(1.0 / static_cast<double>(frequency));
    restart();
}

void Stopwatch::update() {
    counter = platform::counterValue();
    // The difference first: absolute seconds in single precision would move in steps of
    // 1/8 s after twelve days of uptime.
    elapsed = stopwatchSeconds(counter - startCounter, frequency);
}

void Stopwatch::restart() {
    counter = platform::counterValue();
    startCounter = counter;
    startSeconds = static_cast<float>(static_cast<double>(counter) * secondsPerTick);
    elapsed = 0;
}

float stopwatchSeconds(int64_t ticks, int64_t frequency) {
    return static_cast<float>(static_cast<double>(ticks) / static_cast<double>(frequency));
}
