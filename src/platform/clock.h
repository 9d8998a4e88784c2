// Performance counter: the show's only time source.
//
// The system counter counts from an arbitrary origin (on Linux, the machine's uptime) at a
// fixed frequency. Tests and the capture tool switch to a manual counter that moves only
// when they advance it, so every frame can be drawn at an exact time.
#pragma once

#include <cstdint>

namespace platform {

// Ticks per second; always positive.
int64_t counterFrequency();

// The current count, never decreasing.
int64_t counterValue();

// Replaces the system counter with a manual one at `ticks`, counting `frequency` ticks per
// second, until useSystemCounter() is called.
void useManualCounter(int64_t frequency, int64_t ticks);
void setManualCounter(int64_t ticks);
void advanceManualCounter(int64_t ticks);
void useSystemCounter();

// Goes back to the system counter, shifted so that it reads `ticks` now and moves on at
// the system's frequency from there: a manual counter run at that frequency hands over to
// real time without a jump.
void useSystemCounterFrom(int64_t ticks);

// Real time, whichever counter the calls above read: the system counter itself, unshifted,
// for pacing frames while a manual counter drives the show's clocks.
int64_t realTimeFrequency();
int64_t realTimeValue();

// Sleeps, without spinning, until realTimeValue() reads about `ticks`: one sleep of the
// time left, at once when none is. The system may wake the thread a little late.
void sleepUntilRealTime(int64_t ticks);

}  // namespace platform
