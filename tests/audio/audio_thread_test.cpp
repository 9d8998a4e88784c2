// What the SDL backend adds on Linux: the priority of SDL's audio thread, real time where
// the process may have it, SDL's own where it may not, and the sound plays either way. The
// Windows backend has none of it.
#ifdef __linux__

#include <linux/capability.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

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
}

// Plays the test tone until the spectrum shows it (bin 12 of 256 is 1 kHz): proof that the
// audio thread mixes it. False when it never shows.
bool playUntilHeard() {
    const AudioStream stream = initAudioOutput(44100) ? openAudioStream(kTestMp3) : 0;
    if (!playAudioStream(stream))
        return false;
    float spectrum[kSpectrumSize] = {};
    for (int i = 0; i < 300 && audioStreamSpectrum(stream, spectrum); ++i) {
        if (std::max_element(spectrum, spectrum + kSpectrumSize) == spectrum + 12 &&
            spectrum[12] > 0.1f)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class AudioThreadPriority : public testing::TestWithParam<bool> {};

}  // namespace

// The parameter: whether the rights to real time are taken away first.
TEST_P(AudioThreadPriority, IsRealTimeWhereAllowedAndTheSoundPlaysEitherWay) {
    if (GetParam()) {
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
    EXPECT_EQ(sched_getscheduler(thread) & ~SCHED_RESET_ON_FORK,
              GetParam() ? SCHED_OTHER : SCHED_RR);
}

INSTANTIATE_TEST_SUITE_P(Linux, AudioThreadPriority, testing::Bool());

#endif
