// What the SDL backend adds on Linux: the priority of SDL's audio thread, real time where
// the process may have it, SDL's own where it may not, and the sound plays either way; and
// the trace of a stream's start. The Windows backend has neither.
#ifdef __linux__

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/audio.h"
#include "support/show_test.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

// SDL's playback thread ("SDLAudioP" and the device's number), 0 while there is none.
pid_t audioThread() {
    for (const fs::directory_entry& task : fs::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (name.rfind("SDLAudioP", 0) == 0)
            return static_cast<pid_t>(std::stol(task.path().filename().string()));
    }
    return 0;
}

// Whether a new thread of this process may make itself real-time.
bool mayRunRealTime() {
    bool allowed = false;
    std::thread probe([&allowed] {
        sched_param param{};
        param.sched_priority = sched_get_priority_min(SCHED_RR);
        allowed = sched_setscheduler(0, SCHED_RR, &param) == 0;
    });
    probe.join();
    return allowed;
}

// Takes away each way to real time: the capability that root has, the RTPRIO limit, and
// the system bus where RealtimeKit would answer. Threads made afterwards inherit it.
void withoutRealTimeRights() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2] = {};
    ASSERT_EQ(syscall(SYS_capget, &header, caps), 0);
    caps[0].effective &= ~(1u << CAP_SYS_NICE);
    caps[0].permitted &= ~(1u << CAP_SYS_NICE);
    ASSERT_EQ(syscall(SYS_capset, &header, caps), 0);
    const rlimit none{0, 0};
    ASSERT_EQ(setrlimit(RLIMIT_RTPRIO, &none), 0);
    setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus_socket", 1);
    ASSERT_FALSE(mayRunRealTime());
}

// Plays the test tone until the spectrum shows it (bin 12 of 256 is 1 kHz): proof that the
// audio thread mixes it. False when it never shows.
bool playUntilHeard() {
    if (!initAudioOutput(44100))
        return false;
    const AudioStream stream = openAudioStream(kTestMp3);
    if (stream == 0 || !playAudioStream(stream))
        return false;
    float spectrum[kSpectrumSize] = {};
    for (int i = 0; i < 300; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!audioStreamSpectrum(stream, spectrum))
            return false;
        if (std::max_element(std::begin(spectrum), std::end(spectrum)) == spectrum + 12 &&
            spectrum[12] > 0.1f)
            return true;
    }
    return false;
}

double monotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

struct PriorityCase {
    const char* name;
    bool rightsTaken;
    int policy;  // the audio thread's once it has played
};

// Names the case in test lists; the default would print its bytes, pointer included.
void PrintTo(const PriorityCase& scenario, std::ostream* out) {
    *out << scenario.name;
}

class AudioThreadPriority : public testing::TestWithParam<PriorityCase> {};

}  // namespace

TEST_P(AudioThreadPriority, IsRealTimeWhereAllowedAndTheSoundPlaysEitherWay) {
    if (GetParam().rightsTaken) {
        withoutRealTimeRights();
        if (HasFatalFailure())
            return;
    } else if (!mayRunRealTime()) {
        GTEST_SKIP() << "this process may not run a thread at real-time priority";
    }

    EXPECT_TRUE(playUntilHeard()) << "the tone never reached the output";

    const pid_t thread = audioThread();
    ASSERT_NE(thread, 0) << "no SDL playback thread";
    // RealtimeKit wants threads that do not hand real time on to children; SDL marks the
    // thread so before it asks, whatever the answer.
    EXPECT_EQ(sched_getscheduler(thread) & ~SCHED_RESET_ON_FORK, GetParam().policy);
}

INSTANTIATE_TEST_SUITE_P(Linux, AudioThreadPriority,
                         testing::Values(PriorityCase{"RightsKept", false, SCHED_RR},
                                         PriorityCase{"RightsTaken", true, SCHED_OTHER}),
                         [](const testing::TestParamInfo<PriorityCase>& info) {
                             return info.param.name;
                         });

// Each event on a line of its own, in the order they happened, on the clock other
// processes read.
TEST(AudioTrace, APlayAndItsFirstCallbackAreTracedOnTheMonotonicClock) {
    TempDir dir;
    setenv("HOPSASA_TRACE", dir.path("trace").c_str(), 1);
    const double before = monotonicSeconds();
    ASSERT_TRUE(playUntilHeard());
    const double after = monotonicSeconds();

    std::vector<std::pair<std::string, double>> events;
    std::ifstream lines(dir.path("trace"));
    std::string name;
    double seconds = 0;
    while (lines >> name >> seconds)
        events.emplace_back(name, seconds);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].first, "play");
    EXPECT_EQ(events[1].first, "first-callback");
    EXPECT_LE(before, events[0].second);
    EXPECT_LE(events[0].second, events[1].second);
    EXPECT_LE(events[1].second, after);
}

// A trace file that cannot be made leaves the trace off and the sound as it is.
TEST(AudioTrace, AFileThatCannotBeMadeLeavesTheTraceOff) {
    setenv("HOPSASA_TRACE", "/nonexistent/hopsasa/trace", 1);
    EXPECT_TRUE(playUntilHeard());
    EXPECT_FALSE(fs::exists("/nonexistent/hopsasa/trace"));
}

#endif
