// The whole timeline: start-up, how many frames each scene lasts, a seek drawing what
// playing draws, start-up's messages in order, and a show without a window.
#include <algorithm>
#include <array>
#include <vector>

#include "demo/assets.h"
#include "demo/show.h"
#include "gfx/gl_window.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "support/timeline.h"

namespace {

// Runs the whole show one tick a frame; frames drawn by each scene.
std::array<int, kSceneCount> playWholeShow(Show& show) {
    std::array<int, kSceneCount> frames{};
    while (!show.finished()) {
        ++frames[show.sceneIndex];
        show.renderFrame();
        platform::advanceManualCounter(1);
    }
    return frames;
}

class WholeShowTest : public TimelineTest, public ::testing::WithParamInterface<int> {};

}  // namespace

TEST_P(WholeShowTest, ScenesEndOnTheFirstFrameAfterTheirLengthAndASeekDrawsWhatPlayingDraws) {
    const int64_t presented = platform::framesPresented(window->hDC);
    startShow(GetParam());
    EXPECT_EQ(platform::framesPresented(window->hDC) - presented, 1)
        << "the loading picture is presented once, before the scenes";
    for (const SpriteAsset& asset : kSpriteAssets)
        EXPECT_TRUE((*show.*asset.sprite)->loaded) << asset.file;
    EXPECT_EQ(show->sprGubb->width, 200) << "each picture from its own file";

    // Two moments in every scene: its first frame, and one well inside it where the scene's
    // motion and the blob burst's random numbers have had time to matter.
    std::vector<int64_t> moments;
    int64_t first = 0;
    for (const Scene* scene : kScenes) {
        moments.push_back(first);
        moments.push_back(first + sceneFrames(*scene, fps) * 2 / 3);
        first += sceneFrames(*scene, fps);
    }
    EXPECT_EQ(first, showFrames(fps));

    std::array<int, kSceneCount> frames{};
    std::vector<std::vector<uint8_t>> played;
    for (int64_t k = 0; !show->finished(); ++k) {
        ++frames[show->sceneIndex];
        platform::setManualCounter(k);
        show->renderFrame();
        if (std::find(moments.begin(), moments.end(), k) != moments.end())
            played.push_back(readScreen());
    }
    for (int scene = 0; scene < kSceneCount; ++scene) {
        // Frame n is drawn at n / fps; a length of L s ends on frame L * fps + 1.
        const int length = static_cast<int>(kScenes[scene]->length);
        EXPECT_EQ(frames[scene], length * fps + 2) << "scene " << scene;
        EXPECT_EQ(frames[scene], sceneFrames(*kScenes[scene], fps)) << "scene " << scene;
    }
    ASSERT_EQ(played.size(), moments.size());

    // Backwards, so that every seek starts from a show that has been somewhere else.
    for (size_t i = moments.size(); i-- > 0;) {
        show->seek(moments[i], {0, fps, fps});
        EXPECT_EQ(platform::counterValue(), moments[i]);
        show->renderFrame();
        EXPECT_TRUE(readScreen() == played[i]) << "frame " << moments[i];
    }
    EXPECT_TRUE(sink.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(FrameRates, WholeShowTest, ::testing::Values(10, 60));

TEST_F(TimelineTest, MissingFilesAreReportedInLoadingOrderAndTheShowRunsOn) {
    startShow(10, {kLoadingPicture, kMusicFile, fileOf(&Show::sprGubb), fileOf(&Show::sprKrabbe1),
                   kBlobPicture});
    const auto texts = sink.texts();
    ASSERT_EQ(texts.size(), 8u);
    EXPECT_EQ(texts[0],
              "Texture load: Can't load the texture in file 'loading.png' for some reason.");
    EXPECT_EQ(texts[1], "BASS error: File not found?\n");
    EXPECT_EQ(texts[2].rfind("BASS Error!\nErrorcode: ", 0), 0u) << texts[2];
    EXPECT_EQ(texts[3], "Texture load: Can't load the texture in file 'gubb.png' for some reason.");
    EXPECT_EQ(texts[4],
              "Texture load: Can't load the texture in file 'krabbe1.png' for some reason.");
    EXPECT_EQ(texts[5], "Texture load: Can't load the texture in file 'blob.png' for some reason.");
    EXPECT_EQ(texts[6], "BASS error: Can't play the stream\n");
    EXPECT_EQ(texts[7].rfind("BASS Error!\nErrorcode: ", 0), 0u) << texts[7];
    EXPECT_FALSE(show->sprGubb->loaded);
    EXPECT_EQ(show->sprGubb->width, 0);

    playWholeShow(*show);
    EXPECT_EQ(sink.boxes.size(), 8u) << "no further message while the scenes run";
}

TEST(ShowWithoutWindow, StartUpAndTimelineRunWithoutAContext) {
    MessageSink sink;
    platform::useOffscreenDisplay({1024, 768, 32});
    GLWindow window;
    ASSERT_EQ(window.hRC, nullptr);
    TempDir dir;
    writeShowFiles(dir.root());
    InFolder in(dir.root());
    platform::useManualCounter(10, 0);
    Show show(window);
    show.startMusic();
    playWholeShow(show);
    EXPECT_EQ(sink.texts(), std::vector<std::string>{"Unable to switch to fullscreen"});
}
