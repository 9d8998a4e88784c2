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

}  // namespace platform
