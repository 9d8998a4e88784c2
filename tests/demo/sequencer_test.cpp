// The whole timeline: how many frames each scene lasts, a seek drawing what playing draws,
// and start-up's messages in order with pictures missing.
#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "demo/assets.h"
#include "demo/show.h"
#include "gfx/gl_window.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/gl.h"
#include "support/timeline.h"

#ifndef GL_TEXTURE_MAX_LEVEL
#define GL_TEXTURE_MAX_LEVEL 0x813D
#endif

namespace {

// A counter whose frequency is no multiple of the frame rates: frames fall between ticks,
// as they do when the show replays at the system counter's frequency.
constexpr int64_t kOddFrequency = 1000;

class WholeShowTest : public TimelineTest, public ::testing::WithParamInterface<int> {};

}  // namespace

TEST_P(WholeShowTest, ScenesEndOnTheFirstFrameAfterTheirLengthAndASeekDrawsWhatPlayingDraws) {
    const int64_t presented = platform::framesPresented(window->hDC);
    startShow(GetParam(), {}, kOddFrequency);
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
    EXPECT_EQ(first, showFrames(fps));

    std::array<int, kSceneCount> frames{};
    std::vector<std::vector<uint8_t>> played;
    for (int64_t k = 0; !show->finished(); ++k) {
        ++frames[show->sceneIndex];
        platform::setManualCounter(times.tick(k));
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
        show->seek(moments[i], times);
        EXPECT_EQ(platform::counterValue(), times.tick(moments[i]));
        show->renderFrame();
        EXPECT_TRUE(readScreen() == played[i]) << "frame " << moments[i];
    }
    EXPECT_TRUE(sink.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(FrameRates, WholeShowTest, ::testing::Values(7, 60));

TEST_F(TimelineTest, MissingFilesAreEachReportedAtTheirTurnAndTheShowRunsOn) {
    // Every third sprite, the first and the last of the table among them, go through the
    // decoding threads; the loading picture and the blob are loaded by the main thread
    // before and after them.
    std::vector<std::string> missing = {kLoadingPicture, kMusicFile, kBlobPicture};
    for (int i = 0; i < kSpriteAssetCount; i += 3)
        missing.push_back(kSpriteAssets[i].file);
    missing.push_back(kSpriteAssets[kSpriteAssetCount - 1].file);
    startShow(10, missing);

    const auto refused = [](const std::string& file) {
        return "Texture load: Can't load the texture in file '" + file + "' for some reason.";
    };
    std::vector<std::string> expected = {refused(kLoadingPicture), "BASS error: File not found?\n"};
    for (const SpriteAsset& asset : kSpriteAssets) {
        if (std::find(missing.begin(), missing.end(), asset.file) != missing.end())
            expected.push_back(refused(asset.file));
    }
    expected.push_back(refused(kBlobPicture));
    expected.push_back("BASS error: Can't play the stream\n");
    // Each BASS message is followed by one with the error code.
    std::vector<std::string> texts = sink.texts();
    for (size_t i = 0; i < texts.size(); ++i) {
        if (texts[i].starts_with("BASS Error!\nErrorcode: "))
            texts.erase(texts.begin() + static_cast<ptrdiff_t>(i--));
    }
    EXPECT_EQ(texts, expected);
    EXPECT_EQ(sink.boxes.size(), expected.size() + 2);

    // Each sprite holds its own picture (its own colour and size), or nothing where it is
    // missing.
    for (const SpriteAsset& asset : kSpriteAssets) {
        SCOPED_TRACE(asset.file);
        const Sprite& sprite = *((*show).*asset.sprite);
        if (std::find(missing.begin(), missing.end(), asset.file) != missing.end()) {
            EXPECT_FALSE(sprite.loaded);
            EXPECT_EQ(sprite.id, 0u);
            EXPECT_EQ(sprite.width, 0);
            continue;
        }
        ASSERT_TRUE(sprite.loaded);
        const auto test = std::find_if(testPictures().begin(), testPictures().end(),
                                       [&](const TestPicture& p) { return p.file == asset.file; });
        EXPECT_EQ(sprite.width, test->width);
        // The last mipmap level is one texel of the picture's colour.
        glBindTexture(GL_TEXTURE_2D, sprite.id);
        GLint last = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, &last);
        uint8_t c[4] = {};
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, last, GL_RGBA, GL_UNSIGNED_BYTE, c);
        EXPECT_TRUE((Rgba{c[0], c[1], c[2], c[3]}.closeTo(test->color, 8)));
    }

    const size_t boxes = sink.boxes.size();
    while (!show->finished()) {
        show->renderFrame();
        platform::advanceManualCounter(1);
    }
    EXPECT_EQ(sink.boxes.size(), boxes) << "no further message while the scenes run";
}
