// The whole timeline: how long each scene lasts in frames, and start-up's messages in order.
#include <unistd.h>

#include <array>

#include "app/gl_window.h"
#include "demo/assets.h"
#include "demo/demo.h"
#include "gfx/sprite.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "support/timeline.h"

namespace {

constexpr std::array<int, kSceneCount> kDurations = {5, 15, 20, 5, 2, 7, 13, 5};

// Runs the whole show one tick a frame; frames drawn by each scene.
std::array<int, kSceneCount> playWholeShow() {
    std::array<int, kSceneCount> frames{};
    while (gSceneIndex < kSceneCount) {
        ++frames[gSceneIndex];
        renderFrame();
        platform::advanceManualCounter(1);
    }
    return frames;
}

}  // namespace

class SceneLengthTest : public TimelineTest, public ::testing::WithParamInterface<int> {};

TEST_P(SceneLengthTest, EachSceneEndsOnTheFirstFrameAfterItsDuration) {
    startShow(GetParam());
    std::array<int, kSceneCount> frames = playWholeShow();
    int total = 0;
    for (int scene = 0; scene < kSceneCount; ++scene) {
        // Frame n is drawn at n / fps; a duration of D s ends on frame D * fps + 1.
        EXPECT_EQ(frames[scene], kDurations[scene] * fps + 2) << "scene " << scene;
        total += frames[scene];
    }
    EXPECT_EQ(total, 72 * fps + 2 * kSceneCount);
    EXPECT_TRUE(sink.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(FrameRates, SceneLengthTest, ::testing::Values(25, 60));

TEST_F(TimelineTest, MissingFilesAreReportedInLoadingOrderAndTheShowRunsOn) {
    startShow(10, {"loading.png", "music.mp3", "gubb.png", "krabbe1.png", "blob.png"});
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
    EXPECT_FALSE(sprGubb->loaded);
    EXPECT_EQ(sprGubb->width, 0);

    playWholeShow();
    EXPECT_EQ(gSceneIndex, kSceneCount);
    EXPECT_EQ(sink.boxes.size(), 8u) << "no further message while the scenes run";
}

TEST_F(TimelineTest, LoadingPictureIsPresentedOnceBeforeTheScenes) {
    const int64_t before = platform::framesPresented(window->hDC);
    startShow(60);
    EXPECT_EQ(platform::framesPresented(window->hDC) - before, 1);
    EXPECT_EQ(gScreenWidth, 800);
    EXPECT_EQ(gScreenHeight, 600);
    // Every sprite of the table is made, in order, from its file.
    for (const SpriteAsset& asset : kSpriteAssets) {
        ASSERT_NE(*asset.sprite, nullptr) << asset.file;
        EXPECT_TRUE((*asset.sprite)->loaded) << asset.file;
    }
    EXPECT_EQ(sprBoble1->width, 100);
    EXPECT_EQ(sprGubb->width, 200);
}

TEST(ShowWithoutWindow, StartUpAndTimelineRunWithoutAContext) {
    MessageSink sink;
    platform::useOffscreenDisplay({1024, 768, 32});
    GLWindow window;
    ASSERT_EQ(window.hRC, nullptr);
    TempDir dir;
    writeShowFiles(dir.root());
    ASSERT_EQ(chdir(dir.root().c_str()), 0);
    platform::useManualCounter(10, 0);
    gWindow = &window;
    auto* ctx = new DemoContext{&window, nullptr};
    initDemo(ctx);
    gDemo = ctx;
    while (gSceneIndex < kSceneCount) {
        renderFrame();
        platform::advanceManualCounter(1);
    }
    EXPECT_EQ(sink.texts(), std::vector<std::string>{"Unable to switch to fullscreen"});
}
