#include "base/stopwatch.h"

#include <gtest/gtest.h>

#include "support/show_test.h"

TEST(Stopwatch, CountsFromItsStartAndAgainFromEachRestart) {
    useManualClock();
    Stopwatch watch;
    watch.start();
    EXPECT_EQ(watch.elapsed, 0.0f);
    EXPECT_EQ(watch.frequency, kTicksPerSecond);
    const float perTick = watch.secondsPerTick;
    watch.update();
    EXPECT_EQ(watch.elapsed, 0.0f);
    advanceClock(2.5);
    watch.update();
    EXPECT_FLOAT_EQ(watch.elapsed, 2.5f);

    advanceClock(0.5);
    watch.restart();
    EXPECT_EQ(watch.elapsed, 0.0f);
    EXPECT_EQ(watch.frequency, kTicksPerSecond);
    EXPECT_EQ(watch.secondsPerTick, perTick);
    advanceClock(0.25);
    watch.update();
    EXPECT_FLOAT_EQ(watch.elapsed, 0.25f);
}

TEST(Stopwatch, KeepsMillisecondsAfterTwelveDaysOfUptime) {
    // Single-precision absolute seconds would move in 1/8 s steps at this uptime.
    useManualClock();
    Stopwatch watch;
    watch.start();
    float previous = 0;
    for (int ms = 1; ms <= 20; ++ms) {
        advanceClock(0.001);
        watch.update();
        EXPECT_NEAR(watch.elapsed, ms * 0.001, 1e-6);
        EXPECT_GT(watch.elapsed, previous);
        previous = watch.elapsed;
    }
}
