// Timeline tests: the whole start-up on colour-coded pictures (each a solid colour of known
// size), then frames drawn at a chosen frame rate on a counter of a chosen frequency.
#pragma once

#include <memory>
#include <string>

#include "demo/show.h"
#include "support/show_test.h"

// One of the show's pictures, named by its sprite: `&Show::sprGubb`.
using ShowPicture = std::unique_ptr<Sprite> Show::*;

// The file of a picture, from the show's asset table.
const char* fileOf(ShowPicture picture);

// What a pixel shows: one of the show's pictures, or a colour no picture has.
struct Sight {
    Sight(ShowPicture picture) : picture(picture) {}
    Sight(Rgba color) : color(color) {}
    ShowPicture picture = nullptr;
    Rgba color;
};

class TimelineTest : public ShowTest {
  protected:
    // Start-up in a folder of test pictures (written on the first call), on a counter of
    // `frequency` ticks a second (0: one tick a frame), and the music started. Each call
    // starts a new show.
    void startShow(int fps, int64_t frequency = 0);

    // Brings the show to the first frame of `scene` and draws it.
    void enterScene(int scene);

    // Draws the frames after the last one drawn up to frame `frame` of the scene.
    void playFrames(int64_t frame);
    // The same up to the frame at scene time `t`, rounded to whole frames.
    void playUntil(double t) { playFrames(static_cast<int64_t>(t * fps + 0.5)); }

    // The scene time of the frame drawn last, as the counter gives it.
    double sceneTime() const;

    // Whether the pixel shows what is expected there.
    ::testing::AssertionResult shows(int x, int y, Sight sight);

    // Destroyed in reverse order: the show first, then the working folder, then its files.
    TempDir dir;
    std::unique_ptr<InFolder> inFolder;
    int fps = 60;
    FrameTimes times;
    int64_t sceneFirst = 0;  // the show's frame on which the scene started
    int64_t sceneFrame = 0;
    std::unique_ptr<Show> show;
};

constexpr Rgba kWhite{255, 255, 255, 255};
constexpr Rgba kBlobRed{255, 0, 0, 255};
