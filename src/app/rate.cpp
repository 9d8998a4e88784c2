#include "app/rate.h"

#include <algorithm>

// Whole seconds and the rest apart: no product overflows however long the machine is up.
int64_t FrameSlots::begins(int64_t slot) const {
    const int64_t rest = slot % rate;
    return start + slot / rate * frequency + (rest * frequency + rate - 1) / rate;
}

int64_t FrameSlots::at(int64_t tick) const {
    if (tick <= start)
        return 0;
    const int64_t since = tick - start;
    return since / frequency * rate + since % frequency * rate / frequency;
}

int64_t FrameSlots::next(int64_t slot, int64_t presented) const {
    const int64_t late = presented - begins(slot);
    if (late * rate <= frequency)
        return slot + 1;
    return std::max(slot + 1, at(presented));
}

PresentSummary summarizePresents(std::vector<double> between, double slotMs) {
    PresentSummary summary;
    if (between.empty())
        return summary;
    std::sort(between.begin(), between.end());
    const size_t n = between.size();
    summary.median = n % 2 ? between[n / 2] : (between[n / 2 - 1] + between[n / 2]) / 2;
    summary.percentile99 = between[(n * 99 + 99) / 100 - 1];
    summary.overOneAndAHalfSlots =
        between.end() - std::upper_bound(between.begin(), between.end(), 1.5 * slotMs);
    return summary;
}
