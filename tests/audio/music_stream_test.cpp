// The soundtrack stream on a device that plays in real time on a thread of its own: SDL's
// dummy audio driver on Linux (set by CTest), the wave-out device on Windows (under Wine,
// ALSA's null device).
#include "audio/music_stream.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <numeric>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/show_test.h"

namespace {

using platform::AudioCall;

// Runs `steps` and gives back what they wrote to standard output. Failures of assertions
// inside would be swallowed with it, so `steps` holds only the calls under test.
template <typename Steps>
std::string printedBy(Steps steps) {
    testing::internal::CaptureStdout();
    steps();
    return testing::internal::GetCapturedStdout();
}

std::string errorCodeLine(int code, bool lineBreak = true) {
    return "BASS Error!\nErrorcode: " + std::to_string(code) + (lineBreak ? "\n" : "");
}

// The audio calls other than spectrum requests, in order.
struct CallLog {
    std::vector<AudioCall> calls;
    CallLog() { platform::setAudioCallObserver(record, this); }
    ~CallLog() { platform::setAudioCallObserver(nullptr, nullptr); }

  private:
    static void record(AudioCall call, platform::AudioStream, int, void* user) {
        if (call != AudioCall::spectrum)
            static_cast<CallLog*>(user)->calls.push_back(call);
    }
};

class MusicStreamTest : public ::testing::Test {
  protected:
    void TearDown() override {
        music.reset();
#ifndef _WIN32
        // A test may have taken the output device away.
        setenv("SDL_AUDIODRIVER", "dummy", 1);
#endif
    }

    // Opens the soundtrack as start-up does, then plays it as start-up's end does.
    void openAndPlay() {
        music = std::make_unique<MusicStream>("music.mp3");
        startMusic(*music);
    }

    FreshAudioOutput audio;
    TempDir dir;
    InFolder in{dir.root()};
    MessageSink sink;
    std::unique_ptr<MusicStream> music;
};

}  // namespace

TEST_F(MusicStreamTest, PlaysTheSoundtrackAtFullVolumeAndItsSpectrumShowsTheTone) {
    std::filesystem::copy_file(kTestMp3, "music.mp3");
    CallLog log;
    std::string out = printedBy([&] {
        music = std::make_unique<MusicStream>("music.mp3");
        platform::setAudioStreamVolume(music->channel, 30);  // so that startMusic must set it
        startMusic(*music);
    });
    EXPECT_EQ(out, "");
    EXPECT_TRUE(sink.boxes.empty());
    EXPECT_TRUE(audioReady());
    EXPECT_TRUE(platform::audioPlaying());
    EXPECT_EQ(platform::audioStreamVolume(music->channel), 100);
    EXPECT_EQ(log.calls,
              (std::vector<AudioCall>{AudioCall::init, AudioCall::open, AudioCall::volume,
                                      AudioCall::play, AudioCall::volume}))
        << "the volume is set after playing starts";

    // Refreshed until the tone shows, for at most two seconds of playing. 1000 Hz lies at
    // bin 11.6 of 44100 Hz / 512; a 0.8 sine on both channels stays 0.8 in mono, and
    // between bins the window gives about 0.85 of it.
    const float* spectrum = music->spectrum;
    const auto loudest = [&] { return std::max_element(spectrum, spectrum + 256) - spectrum; };
    for (int i = 0; i < 200 && spectrum[loudest()] <= 0.3f; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        music->refreshSpectrum();
    }
    EXPECT_EQ(loudest(), 12);
    EXPECT_GT(spectrum[11], spectrum[10]);
    EXPECT_NEAR(spectrum[12], 0.8f * 0.85f, 0.15f);
    EXPECT_LT(spectrum[100], 0.01f);
    EXPECT_TRUE(std::all_of(spectrum + 256, spectrum + 512, [](float v) { return v == 0; }))
        << "the second half is never written";
}

TEST_F(MusicStreamTest, EachFailureIsReportedInOrderAndTheShowGoesOnSilent) {
    // A WAV named .mp3 must not play either: the name promises MP3.
    std::string wav(
        "RIFF,\0\0\0WAVEfmt \x10\0\0\0\1\0\1\0\x44\xac\0\0\x88\x58\1\0\2\0\x10\0data\x08\0\0\0",
        44);
    wav += std::string(8, '\x40');
    const std::string notFound = "BASS error: File not found?\n";
    const auto code = [](int c) { return errorCodeLine(c); };
    // Without a stream the play call names no stream.
    const std::vector<std::string> cantPlay = {"BASS error: Can't play the stream\n",
                                               code(platform::kAudioInvalidHandle)};
    struct Case {
        const char* what;
        std::optional<std::string> content;  // of music.mp3; none: no such file
        const char* driver;  // null: the test's own; Linux only (SDL's driver setting)
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"no file", std::nullopt, nullptr, {notFound, code(platform::kAudioFileOpen)}},
        {"text",
         "not music at all, just a line of text\n",
         nullptr,
         {notFound, code(platform::kAudioFileFormat)}},
        {"wav", wav, nullptr, {notFound, code(platform::kAudioFileFormat)}},
        {"empty", "", nullptr, {notFound, code(platform::kAudioFileFormat)}},
#ifndef _WIN32
        {"no output device",
         [] {
             const std::vector<uint8_t> mp3 = readFile(kTestMp3);
             return std::string(mp3.begin(), mp3.end());
         }(),
         "nonexistent",
         {"BASS error on init!", errorCodeLine(platform::kAudioNoDevice, false), notFound,
          code(platform::kAudioNotInitialised), "BASS error: Can't play the stream\n",
          code(platform::kAudioNotInitialised)}},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sink.boxes.clear();
        std::filesystem::remove("music.mp3");
        if (c.content)
            writeFile("music.mp3", {c.content->begin(), c.content->end()});
#ifndef _WIN32
        setenv("SDL_AUDIODRIVER", c.driver ? c.driver : "dummy", 1);
#endif
        CallLog log;
        const std::string out = printedBy([&] { openAndPlay(); });
        std::vector<std::string> expected = c.expected;
        if (expected.size() == 2)
            expected.insert(expected.end(), cantPlay.begin(), cantPlay.end());
        EXPECT_EQ(sink.texts(), expected);
        EXPECT_EQ(out, std::accumulate(expected.begin(), expected.end(), std::string()));
        EXPECT_EQ(music->channel, 0u);
        EXPECT_EQ(audioReady(), !c.driver);
        EXPECT_FALSE(platform::audioPlaying());
        // Even with nothing to play, the volume is still set, after the attempt.
        EXPECT_EQ(log.calls, (std::vector<AudioCall>{AudioCall::init, AudioCall::open,
                                                     AudioCall::play, AudioCall::volume}));

        // Every frame's refresh leaves the spectrum alone, quietly.
        std::fill(music->spectrum, music->spectrum + 512, -1.0f);
        EXPECT_EQ(printedBy([&] { music->refreshSpectrum(); }), "");
        EXPECT_TRUE(std::all_of(music->spectrum, music->spectrum + 512,
                                [](float v) { return v == -1.0f; }));
        EXPECT_EQ(sink.boxes.size(), expected.size());
        music.reset();
        platform::closeAudioOutput();
    }
}

#ifndef _WIN32
// Linux only: this takes the output device away by naming an SDL audio driver that does not
// exist, and gives it back by naming the dummy one. Windows has no such switch for a program.
TEST_F(MusicStreamTest, InitialisationIsTriedAgainAfterAFailureAndOnlyUntilItSucceeds) {
    std::filesystem::copy_file(kTestMp3, "music.mp3");
    CallLog log;
    setenv("SDL_AUDIODRIVER", "nonexistent", 1);
    printedBy(initAudio);
    EXPECT_FALSE(audioReady());
    EXPECT_EQ(sink.boxes.size(), 2u);

    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::string out = printedBy([&] {
        initAudio();
        initAudio();
        music = std::make_unique<MusicStream>("music.mp3");
    });
    EXPECT_EQ(out, "");
    EXPECT_EQ(sink.boxes.size(), 2u) << "the second try reports nothing";
    EXPECT_TRUE(audioReady());
    EXPECT_NE(music->channel, 0u);
    EXPECT_EQ(std::count(log.calls.begin(), log.calls.end(), AudioCall::init), 2)
        << "once initialised, the output is left alone";
}
#endif  // _WIN32
