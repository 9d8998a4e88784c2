// The audio layer below the soundtrack: its error codes, its stream slots and volumes, the
// spectrum transform, and a stream played to its end.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio.h"
#include "support/show_test.h"

using namespace platform;

namespace {

// Whether a call gave `result` and left `code`.
::testing::AssertionResult gave(bool got, bool result, int code) {
    if (got == result && audioErrorCode() == code)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "gave " << got << " with code " << audioErrorCode();
}

}  // namespace

// One walk through the states of the layer, checking the code each call leaves.
TEST(AudioOutput, EachFailureLeavesTheCodeOfItsCause) {
    FreshAudioOutput audio;
    TempDir dir;
    float spectrum[kSpectrumSize];
    std::fill(std::begin(spectrum), std::end(spectrum), 0.5f);

    EXPECT_TRUE(gave(openAudioStream(kTestMp3), false, kAudioNotInitialised));
    EXPECT_TRUE(gave(playAudioStream(1), false, kAudioNotInitialised));
    EXPECT_FALSE(audioPlaying());

    ASSERT_TRUE(gave(initAudioOutput(44100), true, kAudioOk));
    EXPECT_TRUE(gave(initAudioOutput(44100), false, kAudioAlreadyInitialised));

    std::filesystem::create_directory(dir.path("folder.mp3"));
    writeFile(dir.path("text.mp3"), {'h', 'e', 'l', 'l', 'o', '\n'});
    // A folder opens but cannot be read.
    for (const char* name : {"absent.mp3", "folder.mp3", "text.mp3"}) {
        EXPECT_TRUE(gave(openAudioStream(dir.path(name).c_str()), false,
                         name[0] == 't' ? kAudioFileFormat : kAudioFileOpen))
            << name;
    }
    for (AudioStream none : {0u, 1u}) {
        EXPECT_TRUE(gave(playAudioStream(none), false, kAudioInvalidHandle));
        EXPECT_TRUE(gave(setAudioStreamVolume(none, 50), false, kAudioInvalidHandle));
        EXPECT_EQ(audioStreamVolume(none), -1);
        EXPECT_TRUE(gave(audioStreamSpectrum(none, spectrum), false, kAudioInvalidHandle));
    }
    EXPECT_TRUE(
        std::all_of(std::begin(spectrum), std::end(spectrum), [](float v) { return v == 0.5f; }));

    // Failed opens take no handle: the first stream that opens is 1.
    AudioStream stream = openAudioStream(kTestMp3);
    EXPECT_TRUE(gave(stream == 1, true, kAudioOk));
    EXPECT_FALSE(audioPlaying()) << "opening does not start it";
    EXPECT_TRUE(gave(audioStreamSpectrum(stream, spectrum), true, kAudioOk));

    // The volume is clamped to its scale and kept with the stream across playing.
    EXPECT_EQ(audioStreamVolume(stream), 100);
    EXPECT_TRUE(setAudioStreamVolume(stream, 250));
    EXPECT_EQ(audioStreamVolume(stream), 100);
    EXPECT_TRUE(setAudioStreamVolume(stream, -3));
    EXPECT_EQ(audioStreamVolume(stream), 0);
    EXPECT_TRUE(setAudioStreamVolume(stream, 37));
    EXPECT_TRUE(playAudioStream(stream));
    EXPECT_TRUE(audioPlaying());
    EXPECT_EQ(audioStreamVolume(stream), 37);
    EXPECT_TRUE(playAudioStream(stream)) << "playing again restarts it";
    EXPECT_TRUE(audioPlaying());

    // Streams left open take their slots until none of the sixteen is left; the last is a
    // working stream.
    AudioStream last = stream;
    while (AudioStream next = openAudioStream(kTestMp3))
        last = next;
    EXPECT_EQ(audioErrorCode(), kAudioTooManyStreams);
    EXPECT_EQ(last, 16u);
    EXPECT_TRUE(playAudioStream(last));
}

TEST(AudioOutput, ClosingTheNewestStreamFreesItsSlot) {
    FreshAudioOutput audio;
    ASSERT_TRUE(initAudioOutput(44100));
    // More rounds than there are slots: each close gives the slot back.
    for (int round = 0; round < 40; ++round) {
        AudioStream stream = openAudioStream(kTestMp3);
        ASSERT_EQ(stream, 1u) << "round " << round << ", error " << audioErrorCode();
        ASSERT_TRUE(playAudioStream(stream));
        EXPECT_TRUE(gave(closeAudioStream(stream), true, kAudioOk));
        EXPECT_FALSE(audioPlaying());
        EXPECT_TRUE(gave(playAudioStream(stream), false, kAudioInvalidHandle));
        EXPECT_TRUE(gave(closeAudioStream(stream), false, kAudioInvalidHandle));
    }
    // Closing an older stream keeps the handles of the newer ones.
    AudioStream first = openAudioStream(kTestMp3);
    AudioStream second = openAudioStream(kTestMp3);
    EXPECT_TRUE(closeAudioStream(first));
    EXPECT_EQ(audioStreamVolume(second), 100);
    EXPECT_EQ(audioStreamVolume(first), -1);
}

TEST(Spectrum, ASineShowsAtItsBinWithItsAmplitude) {
    struct Case {
        double bin, amplitude;
        int peak;
        float atPeak, tolerance;
    };
    const Case cases[] = {
        // A full-scale sine centred on a bin gives 1 there; the Hann window spreads it over
        // its two neighbours at half height, and nowhere else.
        {32, 1.0, 32, 1.0f, 0.001f},
        {100, 0.5, 100, 0.5f, 0.001f},
        // 1000 Hz at 44100 Hz lies at bin 11.61: the nearer bin peaks, at about 0.85.
        {1000.0 * kSpectrumSamples / 44100, 1.0, 12, 0.85f, 0.1f},
        {0, 0.0, -1, 0.0f, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("bin " + std::to_string(c.bin) + ", amplitude " + std::to_string(c.amplitude));
        std::vector<float> samples(kSpectrumSamples);
        for (int n = 0; n < kSpectrumSamples; ++n) {
            samples[n] = static_cast<float>(
                c.amplitude * std::sin(2 * std::numbers::pi * c.bin * n / kSpectrumSamples + 0.3));
        }
        std::vector<float> out(kSpectrumSize, -1.0f);
        spectrumOf(samples.data(), out.data());
        if (c.peak < 0) {
            EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return v == 0; }));
            continue;
        }
        EXPECT_EQ(std::max_element(out.begin(), out.end()) - out.begin(), c.peak);
        EXPECT_NEAR(out[c.peak], c.atPeak, c.tolerance);
        if (c.bin == c.peak) {
            EXPECT_NEAR(out[c.peak - 1], c.atPeak / 2, c.tolerance);
            EXPECT_NEAR(out[c.peak + 1], c.atPeak / 2, c.tolerance);
            EXPECT_LT(out[c.peak - 3], 0.001f);
        } else {
            EXPECT_GT(out[11], out[13]);
        }
        EXPECT_LT(out[200], 0.001f);
    }
}

TEST(AudioOutput, AStreamPlaysOnceToItsEndAndTheSpectrumFallsSilent) {
    FreshAudioOutput audio;
    ASSERT_TRUE(initAudioOutput(44100));
    AudioStream stream = openAudioStream(kTestMp3);
    ASSERT_TRUE(playAudioStream(stream));
    // The tone lasts two seconds; the output device plays it in real time.
    bool ended = false;
    for (int i = 0; i < 500 && !ended; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ended = !audioPlaying();
    }
    ASSERT_TRUE(ended) << "still playing after five seconds: looped?";

    // The device goes on mixing silence, which pushes the tone out of the ring.
    float spectrum[kSpectrumSize];
    bool silent = false;
    for (int i = 0; i < 100 && !silent; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(audioStreamSpectrum(stream, spectrum));
        silent = *std::max_element(std::begin(spectrum), std::end(spectrum)) == 0;
    }
    EXPECT_TRUE(silent);
}
