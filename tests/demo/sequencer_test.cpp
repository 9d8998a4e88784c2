// The whole timeline: how many frames each scene lasts, the spectrum read on every frame,
// and a seek drawing what playing draws.
#include <algorithm>
#include <array>
#include <vector>

#include "demo/show.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "support/timeline.h"

namespace {

class WholeShowTest : public TimelineTest, public ::testing::WithParamInterface<int> {};

// Counts the spectrum readings that reached the open stream.
void countSpectrumReadings(platform::AudioCall call, platform::AudioStream, int error, void* n) {
    *static_cast<int64_t*>(n) += call == platform::AudioCall::spectrum && error == 0 ? 1 : 0;
}

}  // namespace

TEST_P(WholeShowTest, ScenesEndOnTheFirstFrameAfterTheirLengthAndASeekDrawsWhatPlayingDraws) {
    const int64_t presented = platform::framesPresented(window->hDC);
    // A counter whose frequency is no multiple of the frame rates: frames fall between
    // ticks, as they do when the show replays at the system counter's frequency.
    startShow(GetParam(), 1000);
    EXPECT_EQ(platform::framesPresented(window->hDC) - presented, 1)
        << "the loading picture is presented once, before the scenes";

    // Two moments in every scene: its first frame, and one well inside it where the scene's
    // motion and the blob burst's random numbers have had time to matter.
    std::vector<int64_t> moments;
    int64_t first = 0;
    for (const Scene* scene : kScenes) {
        moments.push_back(first);
        moments.push_back(first + sceneFrames(*scene, fps) * 2 / 3);
        first += sceneFrames(*scene, fps);
    }

    std::array<int, kSceneCount> frames{};
    std::vector<std::vector<uint8_t>> played;
    int64_t readings = 0;
    platform::setAudioCallObserver(countSpectrumReadings, &readings);
    for (int64_t k = 0; !show->finished(); ++k) {
        ++frames[show->sceneIndex];
        platform::setManualCounter(times.tick(k));
        show->renderFrame();
        if (std::find(moments.begin(), moments.end(), k) != moments.end())
            played.push_back(readScreen());
    }
    platform::setAudioCallObserver(nullptr, nullptr);
    EXPECT_EQ(readings, first) << "the spectrum offered to the scenes is read every frame";
    for (int scene = 0; scene < kSceneCount; ++scene) {
        // Frame n is drawn at n / fps; a length of L s ends on frame L * fps + 1.
        const int length = static_cast<int>(kScenes[scene]->length);
        EXPECT_EQ(frames[scene], length * fps + 2) << "scene " << scene;
    }
    ASSERT_EQ(played.size(), moments.size());

    // Backwards, so that every seek starts from a show that has been somewhere else.
    for (size_t i = moments.size(); i-- > 0;) {
        show->seek(moments[i], times);
        show->renderFrame();
        EXPECT_TRUE(readScreen() == played[i]) << "frame " << moments[i];
    }
    EXPECT_TRUE(sink.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(FrameRates, WholeShowTest, ::testing::Values(7, 60));
