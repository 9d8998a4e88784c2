#include "support/timeline.h"

#include <filesystem>

#include "demo/assets.h"
#include "gfx/gl_window.h"
#include "platform/clock.h"
#include "support/pictures.h"

namespace {

// How each picture of the show looks in the test show: a solid colour of a size of its own.
// Full-screen cards are tiny: they are stretched anyway.
struct Look {
    ShowPicture picture;
    int width;
    int height;
    Rgba color;
};
const Look kLooks[] = {
    {&Show::sprBoble1, 100, 50, {255, 255, 0, 255}},
    {&Show::sprBoble2, 100, 50, {0, 255, 255, 255}},
    {&Show::sprBoble3, 100, 50, {255, 0, 255, 255}},
    {&Show::sprBoble4, 100, 50, {128, 0, 0, 255}},
    {&Show::sprBoble5, 100, 50, {0, 128, 0, 255}},
    {&Show::sprBoble6, 100, 50, {0, 0, 128, 255}},
    {&Show::sprBoble7, 100, 50, {128, 128, 0, 255}},
    {&Show::sprTittel, 32, 32, {200, 100, 50, 255}},
    {&Show::sprBg1, 64, 16, {0, 0, 255, 255}},
    {&Show::sprStorhallen, 8, 8, {10, 10, 10, 255}},
    {&Show::sprGubbHode, 8, 8, {20, 20, 20, 255}},
    {&Show::sprGubbKropp, 160, 160, {128, 0, 128, 255}},
    {&Show::sprGubb, 200, 200, {0, 255, 0, 255}},
    {&Show::sprGubbFlip, 120, 120, {0, 128, 128, 255}},
    {&Show::sprRor, 130, 40, {255, 128, 0, 255}},
    {&Show::sprDemosceneRad, 32, 32, {60, 60, 200, 255}},
    {&Show::sprSupercrab, 32, 32, {255, 0, 128, 255}},
    {&Show::sprSavedTheDay, 32, 32, {128, 255, 0, 255}},
    {&Show::sprScenefolk1, 32, 32, {0, 128, 255, 255}},
    {&Show::sprScenefolk2, 32, 32, {255, 128, 255, 255}},
    {&Show::sprRopert1, 8, 8, {30, 30, 30, 255}},
    {&Show::sprRopert2, 8, 8, {40, 40, 40, 255}},
    {&Show::sprOksOpp, 160, 160, {128, 128, 255, 255}},
    {&Show::sprOksNed, 160, 160, {255, 255, 128, 255}},
    {&Show::sprKrabbe1, 90, 90, {100, 50, 0, 255}},
    {&Show::sprKrabbe2, 90, 90, {0, 100, 50, 255}},
    {&Show::sprKrabbeSnakk1, 120, 80, {50, 0, 100, 255}},
    {&Show::sprKrabbeSnakk2, 120, 80, {150, 150, 150, 255}},
    {&Show::sprCredits, 32, 32, {90, 200, 90, 255}},
};
}  // namespace

const char* fileOf(ShowPicture picture) {
    for (const SpriteAsset& asset : kSpriteAssets) {
        if (asset.sprite == picture)
            return asset.file;
    }
    ADD_FAILURE() << "a picture the asset table does not name";
    return "";
}

static Rgba colorOf(ShowPicture picture) {
    for (const Look& look : kLooks) {
        if (look.picture == picture)
            return look.color;
    }
    ADD_FAILURE() << "no test picture for " << fileOf(picture);
    return {};
}

// Writes every picture, each a solid colour of a size of its own, and a short soundtrack
// into `dir`.
static void writeShowFiles(const std::string& dir) {
    const auto write = [&dir](const char* file, int width, int height, Rgba color) {
        const std::string path = dir + "/" + file;
        if (path.ends_with(".jpg")) {
            writeSolidJpeg(path, width, height, color);
        } else {
            writeSolidPng(path, width, height, color);
        }
    };
    write(kLoadingPicture, 100, 50, {40, 80, 120, 255});
    for (const Look& look : kLooks)
        write(fileOf(look.picture), look.width, look.height, look.color);
    write(kBlobPicture, 16, 16, kWhite);
    std::filesystem::copy_file(kTestMp3, dir + "/" + kMusicFile);
}

void TimelineTest::startShow(int framesPerSecond, int64_t frequency) {
    fps = framesPerSecond;
    times = {0, frequency ? frequency : fps, fps};
    if (!inFolder) {
        writeShowFiles(dir.root());
        inFolder = std::make_unique<InFolder>(dir.root());
    }
    show.reset();
    platform::useManualCounter(times.frequency, 0);
    show = std::make_unique<Show>(*window);
    show->startMusic();
}

void TimelineTest::enterScene(int scene) {
    sceneFirst = 0;
    for (int s = 0; s < scene; ++s)
        sceneFirst += sceneFrames(*kScenes[s], fps);
    show->seek(sceneFirst, times);
    ASSERT_EQ(show->sceneIndex, scene);
    // Only the frames of the scene it lands in are replayed: none before its first frame.
    EXPECT_EQ(show->scenes.titleCard.card.picture, nullptr) << "the title card was replayed";
    show->renderFrame();
    sceneFrame = 0;
}

void TimelineTest::playFrames(int64_t frame) {
    while (sceneFrame < frame) {
        ++sceneFrame;
        platform::setManualCounter(times.tick(sceneFirst + sceneFrame));
        show->renderFrame();
    }
}

double TimelineTest::sceneTime() const {
    const int64_t ticks = times.tick(sceneFirst + sceneFrame) - times.tick(sceneFirst);
    return static_cast<double>(ticks) / static_cast<double>(times.frequency);
}

::testing::AssertionResult TimelineTest::shows(int x, int y, Sight sight) {
    const Rgba expected = sight.picture ? colorOf(sight.picture) : sight.color;
    const Rgba seen = pixelAt(x, y);
    if (seen.closeTo(expected, 8))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel (" << x << ", " << y << ") is " << seen << ", not " << expected << " ("
           << (sight.picture ? fileOf(sight.picture) : "no picture") << ") at scene time "
           << sceneTime();
}
