// Stopwatch: seconds since a start instant, read from the performance counter.
//
// Each owner (the window's frame counter, the blob field, every scene) has its own; they
// are unrelated to one another. `elapsed` is computed from the difference of two counter
// readings, so it keeps the counter's resolution however long the machine has been up.
#pragma once

#include <cstdint>

struct Stopwatch {
    int64_t counter = 0;       // the last counter reading, in ticks
    int64_t frequency = 0;     // ticks per second
    float secondsPerTick = 0;  // 1 / frequency
    float startSeconds = 0;    // the start instant on the counter's time base, in seconds
    float elapsed = 0;         // seconds from the start instant to the last update
    int64_t startCounter = 0;  // the counter reading at the start instant

    // Reads the frequency and makes now the start instant. Run once before update().
    void start();
    // Refreshes `counter` and `elapsed`.
    void update();
    // Makes now the start instant again, keeping the frequency.
    void restart();
};

// The seconds a stopwatch reads `ticks` after its start at `frequency` ticks a second:
// computed in double, rounded to single precision.
float stopwatchSeconds(int64_t ticks, int64_t frequency);
