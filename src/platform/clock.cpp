// The performance counter, and the manual counter that tests and tools drive.
#include "platform/clock.h"

#include "platform/internal/backend.h"

namespace platform {
namespace {

struct ManualCounter {
    bool active = false;
    int64_t frequency = 1;
    int64_t ticks = 0;
};
ManualCounter gManual;
int64_t gSystemOffset = 0;  // added to the system counter

}  // namespace

int64_t counterFrequency() {
    return gManual.active ? gManual.frequency : systemCounterFrequency();
}

int64_t counterValue() {
    return gManual.active ? gManual.ticks : systemCounterValue() + gSystemOffset;
}

void useManualCounter(int64_t frequency, int64_t ticks) {
    gManual = {true, frequency > 0 ? frequency : 1, ticks};
}

void setManualCounter(int64_t ticks) {
    gManual.ticks = ticks;
}

void advanceManualCounter(int64_t ticks) {
    gManual.ticks += ticks;
}

void useSystemCounter() {
    gManual.active = false;
    gSystemOffset = 0;
}

void useSystemCounterFrom(int64_t ticks) {
    gManual.active = false;
    gSystemOffset = ticks - systemCounterValue();
}

int64_t realTimeFrequency() {
    return systemCounterFrequency();
}

int64_t realTimeValue() {
    return systemCounterValue();
}

void sleepUntilRealTime(int64_t ticks) {
    const int64_t left = ticks - systemCounterValue();
    if (left <= 0)
        return;
    // One sleep, never a loop: a counter that stands still while the thread sleeps (the web
    // page's frame clock) cannot keep it asleep.
    const int64_t frequency = systemCounterFrequency();
    const int64_t whole = left / frequency;
    systemSleepMicroseconds(whole * 1'000'000 + (left % frequency) * 1'000'000 / frequency);
}

}  // namespace platform
