// What each scene shows, and when, on colour-coded pictures; how the wide backdrop moves its
// pictures at different frame rates; and the blob burst.
#include <algorithm>
#include <cmath>
#include <iterator>

#include "demo/show.h"
#include "gfx/blob_field.h"
#include "support/timeline.h"

namespace {

int64_t aliveBlobs(const Show& show) {
    const auto& blobs = show.blobField->blobs;
    return std::count_if(std::begin(blobs), std::end(blobs), [](const Blob& b) { return b.alive; });
}

// Of two pictures taking turns at `rate`, the one shown at scene time t (the first while
// the sine is above 0).
ShowPicture turns(float rate, double t, ShowPicture first, ShowPicture second) {
    return std::sin(static_cast<double>(rate * static_cast<float>(t))) > 0 ? first : second;
}

struct Probe {
    int fps;
    int scene;
    double t;  // scene time, on a frame of that rate
    int x, y;
    Sight sight;
};

using S = Show;

// Where the jumping crab stands at scene time t of the burst: its picture, or the white.
Sight crabAt(double t) {
    return std::sin(30.0 * t) > 0 ? Sight(&S::sprKrabbe1) : Sight(kWhite);
}

}  // namespace

TEST_F(TimelineTest, EachSceneShowsItsPicturesInTheirTimeWindows) {
    const Probe probes[] = {
        // The old man rises from below the wide hall.
        {60, 1, 3, 300, 520, &S::sprGubb},  // risen 181 pixels
        // The party: the bubbles, then the figure.
        {60, 2, 10, 365, 415, &S::sprDemosceneRad},  // the fourth bubble is gone
        {60, 2, 10, 430, 358, &S::sprBoble5},        // just inside its top edge
        {60, 2, 15, 300, 400, turns(20, 15, &S::sprOksOpp, &S::sprOksNed)},
        // The talking crab on white, its mouth closed at first.
        {60, 3, 0, 400, 350, &S::sprKrabbeSnakk2},  // sin(0) is not above 0
        // The crab jumps in turns from 3 s, before the blobs fall as low as its feet.
        {60, 5, 3.15, 400, 440, crabAt(3.15)},
        {60, 5, 3.25, 400, 440, crabAt(3.25)},
        {60, 5, 4, 400, 300, kBlobRed},  // this frame's blobs sit at the centre
        // The card spins in front of white.
        {60, 6, 6.5, 400, 300, &S::sprSavedTheDay},
        // Every time bound is strict: at four frames a second, frames land on each bound.
        {4, 2, 14, 100, 400, &S::sprDemosceneRad},
        {4, 5, 2, 400, 400, kWhite},
        {4, 6, 6, 400, 300, turns(20, 6, &S::sprScenefolk1, &S::sprScenefolk2)},
    };
    int scene = -1;
    for (const Probe& p : probes) {
        if (p.fps != fps || !show) {
            startShow(p.fps);
            scene = -1;
        }
        if (p.scene != scene) {
            enterScene(p.scene);
            scene = p.scene;
        }
        playUntil(p.t);
        EXPECT_TRUE(shows(p.x, p.y, p.sight)) << "scene " << scene << " at " << p.fps << " fps";
    }
    EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(TimelineTest, BubblesShowOnlyOnTheFramesInsideTheirWindows) {
    struct Window {
        int scene;
        double from, to;  // shown while from < t < to, or t <= to where `through`
        bool through;
        int x, y;
        ShowPicture picture;
    };
    const Window windows[] = {
        {1, 2, 4, false, 300, 200, &S::sprBoble1}, {2, 1.5, 4, true, 400, 200, &S::sprBoble3},
        {2, 4, 9, true, 400, 400, &S::sprBoble4},  {2, 9, 14, false, 430, 380, &S::sprBoble5},
        {3, 1, 2, false, 400, 205, &S::sprBoble6},
    };
    // At 60 frames a second frames land on every bound, at 7 between them; the counter
    // runs at a frequency of neither, so frame times are whole ticks short of k / fps.
    for (int rate : {60, 7}) {
        startShow(rate, 1000);
        int scene = -1;
        for (const Window& w : windows) {
            if (w.scene != scene)
                enterScene(scene = w.scene);
            // The last frame before each bound or on it, and the first after it.
            for (double bound : {w.from, w.to}) {
                for (int64_t k = static_cast<int64_t>(bound * fps); k <= bound * fps + 1; ++k) {
                    playFrames(k);
                    const double t = sceneTime();
                    const bool inside = w.from < t && (t < w.to || (w.through && t == w.to));
                    EXPECT_EQ(static_cast<bool>(shows(w.x, w.y, w.picture)), inside)
                        << fileOf(w.picture) << " at t = " << sceneTime() << ", " << fps
                        << " frames a second";
                }
            }
        }
    }
}

TEST_F(TimelineTest, WideBackdropMovesItsPicturesByWholePixelsPerFrame) {
    using State = WideBackdropState;
    struct Check {
        int fps;
        double t;
        PlacedPicture State::*picture;
        int32_t Placement::*field;
        int expected;
        const char* why;
    };
    const Check checks[] = {
        {60, 7, &State::gubb, &Placement::centerY, 350, "risen one pixel a frame, up to 350"},
        {60, 11, &State::ror, &Placement::centerX, -135 + 2 * 119, "two a frame, 8 < t < 10"},
        {4, 8, &State::bg1, &Placement::centerX, 400 + 7, "only on the frames of 6 < t < 8"},
        {240, 15, &State::gubb, &Placement::centerY, 150, "dropped 30 pixels once, on arrival"},
    };
    for (const Check& c : checks) {
        if (c.fps != fps || !show) {
            startShow(c.fps);
            enterScene(1);
        }
        playUntil(c.t);
        EXPECT_EQ(show->scenes.wideBackdrop.*c.picture.*c.field, c.expected)
            << c.why << ", at " << c.fps << " frames a second, t = " << c.t;
    }
}

TEST_F(TimelineTest, BlobBurstSpraysThreeBlobsAFrameBetweenThreeAndFiveSeconds) {
    startShow(60);
    enterScene(5);
    playUntil(3);
    EXPECT_EQ(aliveBlobs(*show), 0) << "t = 3 exactly spawns nothing";
    playUntil(4);
    EXPECT_EQ(aliveBlobs(*show), 3 * 60) << "three blobs on each frame with 3 < t <= 4";
    // The newest blob, in the lowest free record after the others, starts at the centre of
    // the field's view.
    const Blob& newest = show->blobField->blobs[3 * 60 - 1];
    EXPECT_TRUE(newest.x == 400 && newest.y == 300) << newest.x << ", " << newest.y;
    playUntil(5.5);
    EXPECT_EQ(aliveBlobs(*show), 3 * 119) << "spawning stops before t = 5";
}

TEST_F(TimelineTest, SpinningCardsAngleDependsOnlyOnTheSceneTime) {
    for (int rate : {10, 30, 60, 240}) {
        startShow(rate);
        enterScene(6);
        playUntil(6.5);
        EXPECT_FLOAT_EQ(show->scenes.crowdAndCard.savedTheDay.angle, 1300.0f) << rate << " fps";
    }
}
