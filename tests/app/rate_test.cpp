#include "app/rate.h"

#include <gtest/gtest.h>

TEST(Rate, SlotsBeginOnTheirTickAndAPresentMoreThanOneSlotLateSkipsAhead) {
    // Microseconds, and SDL's nanoseconds after a year of uptime.
    const struct {
        FrameSlots slots;
        int64_t secondSlotBegins;
    } cases[] = {
        {{60, 1'000'000, 0}, 16'667},
        {{240, 1'000'000'000, 31'557'600'000'000'003}, 31'557'600'000'000'003 + 4'166'667}};
    for (const auto& c : cases) {
        const FrameSlots& s = c.slots;
        SCOPED_TRACE(s.rate);
        EXPECT_EQ(s.begins(1), c.secondSlotBegins);
        for (int64_t k : {int64_t{1}, int64_t{5}, int64_t{s.rate + 1}, int64_t{1'000'003}}) {
            const int64_t b = s.begins(k);
            EXPECT_EQ(s.at(b), k) << k;
            EXPECT_EQ(s.at(b - 1), k - 1) << k;
            EXPECT_EQ(s.next(k, b - 3), k + 1) << "early";
            EXPECT_EQ(s.next(k, s.begins(k + 1)), k + 1) << "one slot late keeps the order";
            EXPECT_EQ(s.next(k, s.begins(k + 2)), k + 2) << "two late: the slot of the moment";
            EXPECT_EQ(s.next(k, s.begins(k + 9) + 1), k + 9);
        }
    }
}
