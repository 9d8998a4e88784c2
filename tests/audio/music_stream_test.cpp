// The soundtrack stream on a device that plays in real time on a thread of its own: SDL's
// dummy audio driver on Linux (set by CTest), the wave-out device on Windows (under Wine,
// ALSA's null device).
#include "audio/music_stream.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "support/show_test.h"

namespace {

// Runs `steps` and gives back what they wrote to standard output. Failures of assertions
// inside would be swallowed with it, so `steps` holds only the calls under test.
template <typename Steps>
std::string printedBy(Steps steps) {
    testing::internal::CaptureStdout();
    steps();
    return testing::internal::GetCapturedStdout();
}

class MusicStreamTest : public ::testing::Test {
  protected:
    FreshAudioOutput audio;
    TempDir dir;
    InFolder in{dir.root()};
    MessageSink sink;
    std::unique_ptr<MusicStream> music;
};

}  // namespace

TEST_F(MusicStreamTest, PlaysTheSoundtrackAtFullVolumeAndItsSpectrumShowsTheTone) {
    std::filesystem::copy_file(kTestMp3, "music.mp3");
    std::string out = printedBy([&] {
        music = std::make_unique<MusicStream>("music.mp3");
        platform::setAudioStreamVolume(music->channel, 30);  // so that startMusic must set it
        startMusic(*music);
    });
    EXPECT_EQ(out, "");
    EXPECT_TRUE(sink.boxes.empty());
    EXPECT_TRUE(audioReady());
    EXPECT_EQ(platform::audioStreamVolume(music->channel), 100);

    // Refreshed until the tone fills the window, for at most two seconds of playing. 1000 Hz
    // lies at bin 11.6 of 44100 Hz / 512; a 0.8 sine on both channels stays 0.8 in mono, and
    // between bins the window gives about 0.85 of it. While the tone is still entering the
    // window it reads lower, so half the volume never reaches the mark.
    const float* spectrum = music->spectrum;
    const auto loudest = [&] { return std::max_element(spectrum, spectrum + 256) - spectrum; };
    for (int i = 0; i < 200 && spectrum[loudest()] < 0.55f; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        music->refreshSpectrum();
    }
    EXPECT_EQ(loudest(), 12);
    EXPECT_NEAR(spectrum[12], 0.8f * 0.85f, 0.15f);
    EXPECT_LT(spectrum[100], 0.01f);
    EXPECT_EQ(std::count(spectrum + 256, spectrum + 512, 0.0f), 256)
        << "the second half is never written";
}

TEST_F(MusicStreamTest, EachFailureIsReportedInOrderAndTheShowGoesOnSilent) {
    // No music.mp3: opened as start-up does, then played as start-up's end does. Without a
    // stream the play call names no stream. (A broken file and a missing output device,
    // reported the same way, are tests/e2e's: test_bad_files.py and test_show.py.)
    const auto code = [](int c) { return "BASS Error!\nErrorcode: " + std::to_string(c) + "\n"; };
    const std::vector<std::string> expected = {
        "BASS error: File not found?\n", code(platform::kAudioFileOpen),
        "BASS error: Can't play the stream\n", code(platform::kAudioInvalidHandle)};
    const std::string out = printedBy([&] {
        music = std::make_unique<MusicStream>("music.mp3");
        startMusic(*music);
    });
    EXPECT_EQ(sink.texts(), expected);
    EXPECT_EQ(out, std::accumulate(expected.begin(), expected.end(), std::string()));
    EXPECT_EQ(music->channel, 0u);
    EXPECT_TRUE(audioReady());
    EXPECT_FALSE(platform::audioPlaying());
}
