// Frames at a fixed rate: the slots of `--rate N` on a real-time counter, and what the
// frame log sums up of the presents.
#pragma once

#include <cstdint>
#include <vector>

// Slot k begins k / rate seconds after slot 0. Frame times are counter ticks.
struct FrameSlots {
    int rate = 60;          // slots a second
    int64_t frequency = 1;  // counter ticks a second
    int64_t start = 0;      // the tick at which slot 0 begins

    // The first tick of slot `slot`: a frame of that slot is presented no sooner.
    int64_t begins(int64_t slot) const;

    // The slot that tick `tick` falls in; 0 before slot 0.
    int64_t at(int64_t tick) const;

    // The slot of the frame after one of slot `slot` presented at tick `presented`: the
    // next slot, unless that present came more than one slot after its slot began; then
    // the slot of that moment, skipping frames so that the picture keeps up with the music.
    int64_t next(int64_t slot, int64_t presented) const;
};

// What the frame log's last line says about the times between presents (milliseconds).
struct PresentSummary {
    double median = 0;
    double percentile99 = 0;  // the nearest rank: at least 99 in 100 times are at most this
    int64_t overOneAndAHalfSlots = 0;
};
PresentSummary summarizePresents(std::vector<double> between, double slotMs);
