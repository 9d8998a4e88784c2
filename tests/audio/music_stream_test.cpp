// The soundtrack stream on a device that plays in real time on a thread of its own: SDL's
// dummy audio driver on Linux (set by CTest), the wave-out device on Windows (under Wine,
// ALSA's null device).
#include "audio/music_stream.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/show_test.h"

namespace fs = std::filesystem;

namespace {

// Runs `steps` and gives back what they wrote to standard output. Failures of assertions
// inside would be swallowed with it, so `steps` holds only the calls under test.
template <typename Steps>
std::string printedBy(Steps steps) {
    testing::internal::CaptureStdout();
    steps();
    return testing::internal::GetCapturedStdout();
}

// A fixture of tests/data. CTest names the source folder; run by hand from tests/, the
// folder it started in will do.
fs::path testData(const std::string& name, const fs::path& startFolder) {
    const char* source = std::getenv("HOPSASA_SOURCE_DIR");
    return (source ? fs::path(source) / "tests" : startFolder) / "data" / name;
}

std::string errorCodeLine(int code, bool lineBreak = true) {
    return "BASS Error!\nErrorcode: " + std::to_string(code) + (lineBreak ? "\n" : "");
}

struct CallLog {
    struct Entry {
        platform::AudioCall call;
        int error;
    };
    std::vector<Entry> entries;

    CallLog() { platform::setAudioCallObserver(record, this); }
    ~CallLog() { platform::setAudioCallObserver(nullptr, nullptr); }

    // The calls other than spectrum requests, in order.
    std::vector<platform::AudioCall> calls() const {
        std::vector<platform::AudioCall> result;
        for (const Entry& e : entries) {
            if (e.call != platform::AudioCall::spectrum)
                result.push_back(e.call);
        }
        return result;
    }

  private:
    static void record(platform::AudioCall call, platform::AudioStream, int error, void* user) {
        static_cast<CallLog*>(user)->entries.push_back({call, error});
    }
};

int loudestBin(const MusicStream& music) {
    return static_cast<int>(std::max_element(music.spectrum, music.spectrum + 256) -
                            music.spectrum);
}

// Refreshes until the spectrum shows the tone, for at most two seconds of playing.
bool refreshUntilSounding(MusicStream& music) {
    for (int i = 0; i < 200; ++i) {
        music.refreshSpectrum();
        if (music.spectrum[loudestBin(music)] > 0.3f)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class MusicStreamTest : public ::testing::Test {
  protected:
    void SetUp() override {
        original_ = fs::current_path();
        fs::current_path(dir.root());
    }
    void TearDown() override {
        music.reset();
#ifndef _WIN32
        // A test may have taken the output device away.
        setenv("SDL_AUDIODRIVER", "dummy", 1);
#endif
        fs::current_path(original_);
    }

    void putSoundtrack() {
        fs::copy_file(testData("sine-1khz.mp3", original_), "music.mp3");
    }

    // Opens the soundtrack as start-up does, then plays it as start-up's end does.
    void openAndPlay() {
        music = std::make_unique<MusicStream>("music.mp3");
        startMusic(*music);
    }

    FreshAudioOutput audio;
    TempDir dir;
    MessageSink sink;
    std::unique_ptr<MusicStream> music;

  private:
    fs::path original_;
};

std::string joined(const std::vector<std::string>& texts) {
    std::string all;
    for (const std::string& t : texts)
        all += t;
    return all;
}

}  // namespace

TEST_F(MusicStreamTest, PlaysTheSoundtrackAtFullVolumeAndItsSpectrumShowsTheTone) {
    putSoundtrack();
    CallLog log;
    std::string out = printedBy([&] {
        music = std::make_unique<MusicStream>("music.mp3");
        platform::setAudioStreamVolume(music->channel, 30);  // so that startMusic must set it
        startMusic(*music);
    });
    EXPECT_EQ(out, "");
    EXPECT_TRUE(sink.boxes.empty());
    EXPECT_TRUE(audioReady());
    EXPECT_NE(music->channel, 0u);
    EXPECT_TRUE(platform::audioPlaying());
    EXPECT_EQ(platform::audioStreamVolume(music->channel), 100);
    using platform::AudioCall;
    EXPECT_EQ(log.calls(),
              (std::vector<AudioCall>{AudioCall::init, AudioCall::open, AudioCall::volume,
                                      AudioCall::play, AudioCall::volume}))
        << "the volume is set after playing starts";

    ASSERT_TRUE(refreshUntilSounding(*music)) << "no sound reached the spectrum";
    // 1000 Hz lies at bin 11.6 of 44100 Hz / 512.
    EXPECT_EQ(loudestBin(*music), 12);
    EXPECT_GT(music->spectrum[11], music->spectrum[10]);
    // A 0.8 sine on both channels stays 0.8 in mono; between bins the window gives ~0.85.
    EXPECT_NEAR(music->spectrum[12], 0.8f * 0.85f, 0.15f);
    EXPECT_LT(music->spectrum[100], 0.01f);
    EXPECT_TRUE(std::all_of(music->spectrum + 256, music->spectrum + 512, [](float v) {
        return v == 0;
    })) << "the second half is never written";
}

TEST_F(MusicStreamTest, WithoutTheFileReportsOnOpeningAndOnPlayingThenStaysSilent) {
    CallLog log;
    std::string out = printedBy([&] { openAndPlay(); });

    const std::vector<std::string> expected = {
        "BASS error: File not found?\n", errorCodeLine(platform::kAudioFileOpen),
        "BASS error: Can't play the stream\n", errorCodeLine(platform::kAudioInvalidHandle)};
    EXPECT_EQ(sink.texts(), expected);
    EXPECT_EQ(out, joined(expected));
    EXPECT_EQ(music->channel, 0u);
    EXPECT_TRUE(audioReady());
    EXPECT_FALSE(platform::audioPlaying());
    // Even with nothing to play, the volume is still set, after the attempt.
    using platform::AudioCall;
    EXPECT_EQ(log.calls(), (std::vector<AudioCall>{AudioCall::init, AudioCall::open,
                                                   AudioCall::play, AudioCall::volume}));
}

TEST_F(MusicStreamTest, AFileThatIsNotAnMp3IsAFormatError) {
    // A WAV named .mp3 must not play either: the name promises MP3.
    std::vector<uint8_t> wav = {'R', 'I', 'F',  'F',  44,  0,   0,    0,    'W', 'A', 'V',
                                'E', 'f', 'm',  't',  ' ', 16,  0,    0,    0,   1,   0,
                                1,   0,   0x44, 0xAC, 0,   0,   0x88, 0x58, 1,   0,   2,
                                0,   16,  0,    'd',  'a', 't', 'a',  8,    0,   0,   0};
    wav.resize(wav.size() + 8, 0x40);
    const std::string text = "not music at all, just a line of text\n";
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {{"text", {text.begin(), text.end()}}, {"wav", wav}, {"empty", {}}};

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sink.boxes.clear();
        writeFile("music.mp3", c.bytes);
        platform::AudioStream channel = 0;
        printedBy([&] { channel = MusicStream("music.mp3").channel; });
        EXPECT_EQ(channel, 0u);
        EXPECT_EQ(sink.texts(),
                  (std::vector<std::string>{"BASS error: File not found?\n",
                                            errorCodeLine(platform::kAudioFileFormat)}));
    }
}

#ifndef _WIN32
// Linux only: these take the output device away by naming an SDL audio driver that does not
// exist, and give it back by naming the dummy one. Windows has no such switch for a program.
TEST_F(MusicStreamTest, WithoutAnOutputDeviceEveryStepReportsAndNothingPlays) {
    putSoundtrack();
    setenv("SDL_AUDIODRIVER", "nonexistent", 1);
    std::string out = printedBy([&] { openAndPlay(); });

    const std::vector<std::string> expected = {"BASS error on init!",
                                               errorCodeLine(platform::kAudioNoDevice, false),
                                               "BASS error: File not found?\n",
                                               errorCodeLine(platform::kAudioNotInitialised),
                                               "BASS error: Can't play the stream\n",
                                               errorCodeLine(platform::kAudioNotInitialised)};
    EXPECT_EQ(sink.texts(), expected);
    EXPECT_EQ(out, joined(expected));
    EXPECT_FALSE(audioReady());
    EXPECT_EQ(music->channel, 0u);
    EXPECT_FALSE(platform::audioPlaying());

    // The show goes on silent: every frame's refresh leaves the spectrum alone, quietly.
    for (float& v : music->spectrum)
        v = -1.0f;
    out = printedBy([&] { music->refreshSpectrum(); });
    EXPECT_TRUE(
        std::all_of(music->spectrum, music->spectrum + 512, [](float v) { return v == -1.0f; }));
    EXPECT_EQ(out, "");
    EXPECT_EQ(sink.boxes.size(), expected.size());
}

TEST_F(MusicStreamTest, InitialisationIsTriedAgainAfterAFailureAndOnlyUntilItSucceeds) {
    putSoundtrack();
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
    const std::vector<platform::AudioCall> calls = log.calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), platform::AudioCall::init), 2)
        << "once initialised, the output is left alone";
}
#endif  // _WIN32

TEST_F(MusicStreamTest, SpectrumRefreshWithoutAStreamChangesNothingAndReportsNothing) {
    MusicStream music("music.mp3");  // no file: no stream
    sink.boxes.clear();

    for (float& v : music.spectrum)
        v = 0.25f;
    std::string out = printedBy([&] {
        // No stream at all, then handles that name no stream.
        for (platform::AudioStream channel : {0u, 1u, 77u}) {
            music.channel = channel;
            music.refreshSpectrum();
        }
    });
    EXPECT_TRUE(
        std::all_of(music.spectrum, music.spectrum + 512, [](float v) { return v == 0.25f; }));
    EXPECT_TRUE(sink.boxes.empty());
    EXPECT_EQ(out, "");
}
