// The audio layer below the soundtrack: its error codes, its stream slots and volumes, and
// the spectrum transform.
#include <algorithm>
#include <cmath>
#include <numbers>
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

// One walk through the states of the layer, checking the code each call leaves. (The codes
// of a missing or broken file and of a missing device, which the show prints, are checked
// through the soundtrack stream in music_stream_test.cpp.)
TEST(AudioOutput, EachFailureLeavesTheCodeOfItsCause) {
    FreshAudioOutput audio;
    EXPECT_TRUE(gave(openAudioStream(kTestMp3), false, kAudioNotInitialised));
    ASSERT_TRUE(gave(initAudioOutput(44100), true, kAudioOk));
    EXPECT_TRUE(gave(initAudioOutput(44100), false, kAudioAlreadyInitialised));

    // Failed opens take no handle: the first stream that opens is 1, and does not play yet.
    AudioStream stream = openAudioStream(kTestMp3);
    EXPECT_TRUE(gave(stream == 1, true, kAudioOk));
    EXPECT_FALSE(audioPlaying());

    // Streams left open take their slots until none of the sixteen is left. Closing the
    // newest gives its slot back; closing an older one keeps the newer ones' handles.
    AudioStream last = stream;
    while (AudioStream next = openAudioStream(kTestMp3))
        last = next;
    EXPECT_EQ(audioErrorCode(), kAudioTooManyStreams);
    ASSERT_EQ(last, 16u);
    EXPECT_TRUE(playAudioStream(last));
    EXPECT_TRUE(gave(closeAudioStream(last), true, kAudioOk));
    EXPECT_FALSE(audioPlaying());
    EXPECT_TRUE(gave(closeAudioStream(last), false, kAudioInvalidHandle));
    EXPECT_EQ(openAudioStream(kTestMp3), last);
    EXPECT_TRUE(closeAudioStream(stream));
    EXPECT_EQ(audioStreamVolume(stream), -1);
    EXPECT_EQ(audioStreamVolume(last), 100);
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
        // 1000 Hz at 44100 Hz lies at bin 11.61: the nearer bin peaks, at about 0.85.
        {1000.0 * kSpectrumSamples / 44100, 1.0, 12, 0.85f, 0.1f},
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
        EXPECT_GE(*std::min_element(out.begin(), out.end()), 0.0f) << "every bin written";
        EXPECT_EQ(std::max_element(out.begin(), out.end()) - out.begin(), c.peak);
        EXPECT_NEAR(out[c.peak], c.atPeak, c.tolerance);
        if (c.bin == c.peak && c.peak > 0) {
            EXPECT_NEAR(out[c.peak - 1], c.atPeak / 2, c.tolerance);
            EXPECT_NEAR(out[c.peak + 1], c.atPeak / 2, c.tolerance);
            EXPECT_LT(out[c.peak - 3], 0.001f);
        }
        EXPECT_LT(out[200], 0.001f);
    }
}
