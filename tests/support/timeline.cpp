#include "support/timeline.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "app/gl_window.h"
#include "platform/clock.h"
#include "support/pictures.h"

const std::vector<TestPicture>& testPictures() {
    // Full-screen cards are tiny: they are stretched anyway.
    static const std::vector<TestPicture> pictures = {
        {"loading.png", 100, 50, {40, 80, 120, 255}},
        {"boble1.png", 100, 50, {255, 255, 0, 255}},
        {"boble2.png", 100, 50, {0, 255, 255, 255}},
        {"boble3.png", 100, 50, {255, 0, 255, 255}},
        {"boble4.png", 100, 50, {128, 0, 0, 255}},
        {"boble5.png", 100, 50, {0, 128, 0, 255}},
        {"boble6.png", 100, 50, {0, 0, 128, 255}},
        {"boble7.png", 100, 50, {128, 128, 0, 255}},
        {"tittel.png", 32, 32, {200, 100, 50, 255}},
        {"bg1.png", 64, 16, {0, 0, 255, 255}},
        {"storhallen.png", 8, 8, {10, 10, 10, 255}},
        {"gubbhode.png", 8, 8, {20, 20, 20, 255}},
        {"gubbkropp.png", 160, 160, {128, 0, 128, 255}},
        {"gubb.png", 200, 200, {0, 255, 0, 255}},
        {"gubb_flip.png", 120, 120, {0, 128, 128, 255}},
        {"ror.png", 130, 40, {255, 128, 0, 255}},
        {"demoscenerad.jpg", 32, 32, {60, 60, 200, 255}},
        {"supercrab.png", 32, 32, {255, 0, 128, 255}},
        {"savedtheday.png", 32, 32, {128, 255, 0, 255}},
        {"Scenefolk_01.png", 32, 32, {0, 128, 255, 255}},
        {"Scenefolk_02.png", 32, 32, {255, 128, 255, 255}},
        {"ropert1.png", 8, 8, {30, 30, 30, 255}},
        {"ropert2.png", 8, 8, {40, 40, 40, 255}},
        {"oks_opp.png", 160, 160, {128, 128, 255, 255}},
        {"oks_ned.png", 160, 160, {255, 255, 128, 255}},
        {"krabbe1.png", 90, 90, {100, 50, 0, 255}},
        {"krabbe2.png", 90, 90, {0, 100, 50, 255}},
        {"krabbesnakk1.png", 120, 80, {50, 0, 100, 255}},
        {"krabbesnakk2.png", 120, 80, {150, 150, 150, 255}},
        {"credits.png", 32, 32, {90, 200, 90, 255}},
        {"blob.png", 16, 16, {255, 255, 255, 255}},
    };
    return pictures;
}

Rgba colorOf(const std::string& file) {
    for (const TestPicture& p : testPictures()) {
        if (file == p.file)
            return p.color;
    }
    ADD_FAILURE() << "no test picture " << file;
    return {};
}

void writeShowFiles(const std::string& dir, const std::vector<std::string>& missing) {
    for (const TestPicture& p : testPictures()) {
        if (std::find(missing.begin(), missing.end(), p.file) != missing.end()) {
            continue;
        }
        const std::string path = dir + "/" + p.file;
        if (path.ends_with(".jpg")) {
            writeSolidJpeg(path, p.width, p.height, p.color);
        } else {
            writeSolidPng(path, p.width, p.height, p.color);
        }
    }
    if (std::find(missing.begin(), missing.end(), "music.mp3") == missing.end()) {
        std::filesystem::copy_file(HOPSASA_SOURCE_DIR "/tests/data/sine-1khz.mp3",
                                   dir + "/music.mp3");
    }
}

void TimelineTest::TearDown() {
    show.reset();
    if (!previousDir.empty()) {
        EXPECT_EQ(chdir(previousDir.c_str()), 0);
    }
    ShowTest::TearDown();
}

void TimelineTest::startShow(int framesPerSecond, const std::vector<std::string>& missing) {
    fps = framesPerSecond;
    writeShowFiles(dir.root(), missing);
    previousDir = std::filesystem::current_path().string();
    ASSERT_EQ(chdir(dir.root().c_str()), 0);
    platform::useManualCounter(fps, 0);
    show = std::make_unique<Show>(*window);
    show->startMusic();
}

void TimelineTest::enterScene(int scene) {
    int64_t first = 0;
    for (int s = 0; s < scene; ++s)
        first += sceneFrames(*kScenes[s], fps);
    show->seek(first, {0, fps, fps});
    ASSERT_EQ(show->sceneIndex, scene);
    show->renderFrame();
    sceneFrame = 0;
}

void TimelineTest::playUntil(double t) {
    const auto target = static_cast<int64_t>(t * fps + 0.5);
    while (sceneFrame < target) {
        platform::advanceManualCounter(1);
        show->renderFrame();
        ++sceneFrame;
    }
}

::testing::AssertionResult TimelineTest::showsColor(int x, int y, Rgba color) {
    Rgba seen = pixelAt(x, y);
    if (seen.closeTo(color, 8))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << seen
                                         << ", not " << color << " at scene time " << sceneTime();
}

::testing::AssertionResult TimelineTest::shows(int x, int y, const std::string& file) {
    auto result = showsColor(x, y, colorOf(file));
    if (!result)
        result << " (" << file << ")";
    return result;
}
