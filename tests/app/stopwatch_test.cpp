#include "base/stopwatch.h"

#include "support/show_test.h"

// Twelve days after the counter's origin single-precision absolute seconds would move in
// 1/8 s steps; the stopwatch keeps milliseconds from its start and from each restart.
TEST(Stopwatch, CountsMillisecondsFromItsStartAndEachRestartAfterTwelveDaysOfUptime) {
    useManualClock();
    Stopwatch watch;
    watch.start();
    for (int restart = 0; restart < 2; ++restart) {
        watch.update();
        EXPECT_EQ(watch.elapsed, 0.0f);
        advanceClock(0.001);
        watch.update();
        EXPECT_NEAR(watch.elapsed, 0.001, 1e-6) << "restarted " << restart << " times";
        advanceClock(2.519);
        watch.update();
        EXPECT_FLOAT_EQ(watch.elapsed, 2.52f);
        advanceClock(0.5);
        watch.restart();
    }
}
