#include "app/command_line.h"

#include <string>

#include "demo/show.h"
#include "support/show_test.h"

TEST(CommandLine, AMomentIsPlainSecondsFromZeroToBeforeTheEndOfTheShow) {
    // At four frames a second each scene lasts its length and two frames: the show ends on a
    // whole second, and its last frame starts a quarter of a second before.
    const int fps = 4;
    const int64_t frames = showFrames(fps);
    ASSERT_EQ(frames % fps, 0);
    const std::string end = std::to_string(frames / fps);
    const std::string lastFrame = std::to_string(frames / fps - 1) + ".75";
    struct Case {
        std::string text;
        bool taken;
    };
    const Case cases[] = {{"0", true},    {"12.5", true},   {lastFrame, true},
                          {end, false},   {"-2", false},    {"ten", false},
                          {"1e3", false}, {"1.2.3", false}, {"", false}};
    for (const Case& c : cases) {
        double seconds = -1;
        const std::string problem = parseMoment(c.text, fps, seconds);
        EXPECT_EQ(problem.empty(), c.taken) << "'" << c.text << "': " << problem;
        EXPECT_EQ(seconds, c.taken ? std::stod(c.text) : -1) << "'" << c.text << "'";
    }
}

TEST(CommandLine, AMomentStartsOnTheFirstFrameAtOrAfterIt) {
    // On a frame, that frame, even given to the millisecond; between two, the later one.
    const struct {
        double seconds;
        int fps;
        int64_t frame;
    } cases[] = {{0, 60, 0},       {1, 60, 60},      {1.01, 60, 61}, {0.1, 30, 3},
                 {40.1, 60, 2406}, {1.999, 60, 120}, {0.05, 7, 1},   {72.25, 60, 4335}};
    for (const auto& c : cases)
        EXPECT_EQ(frameAtOrAfter(c.seconds, c.fps), c.frame) << c.seconds << " at " << c.fps;
    EXPECT_EQ(lastMoment(60), "72.250");
}
