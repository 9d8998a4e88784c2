// The audio layer below the soundtrack: its error codes and the spectrum transform.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio.h"
#include "support/show_test.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

// CTest names the source folder; run by hand, tests/ as the working folder will do.
std::string testMp3() {
    const char* source = std::getenv("HOPSASA_SOURCE_DIR");
    return (source ? std::string(source) + "/tests/" : std::string()) + "data/sine-1khz.mp3";
}

std::vector<float> sine(double bin, double amplitude) {
    std::vector<float> samples(kSpectrumSamples);
    for (int n = 0; n < kSpectrumSamples; ++n) {
        samples[n] = static_cast<float>(
            amplitude * std::sin(2 * std::numbers::pi * bin * n / kSpectrumSamples + 0.3));
    }
    return samples;
}

std::vector<float> spectrumOf(const std::vector<float>& samples) {
    std::vector<float> out(kSpectrumSize, -1.0f);
    platform::spectrumOf(samples.data(), out.data());
    return out;
}

int loudest(const std::vector<float>& spectrum) {
    return static_cast<int>(std::max_element(spectrum.begin(), spectrum.end()) - spectrum.begin());
}

}  // namespace

// One walk through the states of the layer, checking the code each call leaves.
TEST(AudioOutput, EachFailureLeavesTheCodeOfItsCause) {
    FreshAudioOutput audio;
    TempDir dir;
    float spectrum[kSpectrumSize];
    std::fill(std::begin(spectrum), std::end(spectrum), 0.5f);

    EXPECT_EQ(openAudioStream(testMp3().c_str()), 0u);
    EXPECT_EQ(audioErrorCode(), kAudioNotInitialised);
    EXPECT_FALSE(playAudioStream(1));
    EXPECT_EQ(audioErrorCode(), kAudioNotInitialised);
    EXPECT_FALSE(audioPlaying());

    ASSERT_TRUE(initAudioOutput(44100));
    EXPECT_EQ(audioErrorCode(), kAudioOk);
    EXPECT_FALSE(initAudioOutput(44100));
    EXPECT_EQ(audioErrorCode(), kAudioAlreadyInitialised);

    EXPECT_EQ(openAudioStream(dir.path("absent.mp3").c_str()), 0u);
    EXPECT_EQ(audioErrorCode(), kAudioFileOpen);
    fs::create_directory(dir.path("folder.mp3"));
    EXPECT_EQ(openAudioStream(dir.path("folder.mp3").c_str()), 0u);
    EXPECT_EQ(audioErrorCode(), kAudioFileOpen) << "a folder opens but cannot be read";
    writeFile(dir.path("text.mp3"), {'h', 'e', 'l', 'l', 'o', '\n'});
    EXPECT_EQ(openAudioStream(dir.path("text.mp3").c_str()), 0u);
    EXPECT_EQ(audioErrorCode(), kAudioFileFormat);

    for (AudioStream none : {0u, 1u}) {
        EXPECT_FALSE(playAudioStream(none));
        EXPECT_EQ(audioErrorCode(), kAudioInvalidHandle);
        EXPECT_FALSE(setAudioStreamVolume(none, 50));
        EXPECT_EQ(audioErrorCode(), kAudioInvalidHandle);
        EXPECT_EQ(audioStreamVolume(none), -1);
        EXPECT_FALSE(audioStreamSpectrum(none, spectrum));
        EXPECT_EQ(audioErrorCode(), kAudioInvalidHandle);
    }
    EXPECT_TRUE(
        std::all_of(std::begin(spectrum), std::end(spectrum), [](float v) { return v == 0.5f; }));

    // Failed opens take no handle: the first stream that opens is 1.
    AudioStream stream = openAudioStream(testMp3().c_str());
    EXPECT_EQ(stream, 1u);
    EXPECT_EQ(audioErrorCode(), kAudioOk);
    EXPECT_FALSE(audioPlaying()) << "opening does not start it";
    EXPECT_EQ(audioStreamVolume(stream), 100);
    EXPECT_TRUE(audioStreamSpectrum(stream, spectrum));
    EXPECT_EQ(audioErrorCode(), kAudioOk);

    // Streams are never closed, so their slots run out.
    AudioStream last = stream;
    while (AudioStream next = openAudioStream(testMp3().c_str()))
        last = next;
    EXPECT_EQ(audioErrorCode(), kAudioTooManyStreams);
    EXPECT_GT(last, stream);
    EXPECT_TRUE(playAudioStream(last)) << "the last slot is a working stream";
}

TEST(AudioOutput, VolumeIsClampedToItsScaleAndKeptAcrossPlaying) {
    FreshAudioOutput audio;
    ASSERT_TRUE(initAudioOutput(44100));
    AudioStream stream = openAudioStream(testMp3().c_str());
    ASSERT_NE(stream, 0u);

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
}

TEST(Spectrum, AFullScaleSineOnABinPeaksAtOneInThatBin) {
    std::vector<float> out = spectrumOf(sine(32, 1.0));
    EXPECT_EQ(loudest(out), 32);
    EXPECT_NEAR(out[32], 1.0f, 0.001f);
    // The Hann window spreads a centred tone over its two neighbours at half height...
    EXPECT_NEAR(out[31], 0.5f, 0.001f);
    EXPECT_NEAR(out[33], 0.5f, 0.001f);
    // ...and nowhere else.
    EXPECT_LT(out[29], 0.001f);
    EXPECT_LT(out[200], 0.001f);
}

TEST(Spectrum, ScalesWithAmplitudeAndShowsSilenceAsZero) {
    std::vector<float> half = spectrumOf(sine(100, 0.5));
    EXPECT_NEAR(half[100], 0.5f, 0.001f);
    std::vector<float> silent = spectrumOf(std::vector<float>(kSpectrumSamples, 0.0f));
    EXPECT_TRUE(std::all_of(silent.begin(), silent.end(), [](float v) { return v == 0; }));
}

TEST(Spectrum, ToneBetweenBinsPeaksInTheNearerOne) {
    // 1000 Hz at 44100 Hz: bin 11.61.
    std::vector<float> out = spectrumOf(sine(1000.0 * kSpectrumSamples / 44100, 1.0));
    EXPECT_EQ(loudest(out), 12);
    EXPECT_GT(out[11], out[13]);
    EXPECT_NEAR(out[12], 0.85f, 0.1f);
}

TEST(AudioOutput, AStreamPlaysOnceToItsEndAndTheSpectrumFallsSilent) {
    FreshAudioOutput audio;
    ASSERT_TRUE(initAudioOutput(44100));
    AudioStream stream = openAudioStream(testMp3().c_str());
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
