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
    ASSERT_TRUE(gave(initAudioOutput(44100), true, kAudioOk));

    // The first stream that opens is 1, and does not play yet.
    AudioStream stream = openAudioStream(kTestMp3);
    EXPECT_TRUE(gave(stream == 1, true, kAudioOk));
    EXPECT_FALSE(audioPlaying());

    // Streams left open take their slots until none of the sixteen is left; a closed
    // stream's handle is no stream any more.
    AudioStream last = stream;
    while (AudioStream next = openAudioStream(kTestMp3))
        last = next;
    EXPECT_EQ(audioErrorCode(), kAudioTooManyStreams);
    ASSERT_EQ(last, 16u);
    EXPECT_TRUE(gave(closeAudioStream(last), true, kAudioOk));
    EXPECT_TRUE(gave(closeAudioStream(last), false, kAudioInvalidHandle));
}

// A full-scale sine centred on a bin gives 1 there; the Hann window spreads it over its two
// neighbours at half height, and nowhere else.
TEST(Spectrum, ASineShowsAtItsBinWithItsAmplitude) {
    const int bin = 32;
    std::vector<float> samples(kSpectrumSamples);
    for (int n = 0; n < kSpectrumSamples; ++n)
        samples[n] =
            static_cast<float>(std::sin(2 * std::numbers::pi * bin * n / kSpectrumSamples + 0.3));
    std::vector<float> out(kSpectrumSize, -1.0f);
    spectrumOf(samples.data(), out.data());
    EXPECT_EQ(std::max_element(out.begin(), out.end()) - out.begin(), bin);
    EXPECT_NEAR(out[bin], 1.0f, 0.001f);
    EXPECT_NEAR(out[bin - 1], 0.5f, 0.001f);
    EXPECT_NEAR(out[bin + 1], 0.5f, 0.001f);
    EXPECT_LT(out[200], 0.001f);
}
