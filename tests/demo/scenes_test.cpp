// What each scene shows, and when, on colour-coded pictures.
#include <cmath>

#include "audio/music_stream.h"
#include "demo/show.h"
#include "gfx/blob_field.h"
#include "gfx/sprite.h"
#include "platform/display.h"
#include "support/timeline.h"

namespace {

int aliveBlobs(const Show& show) {
    int alive = 0;
    for (const Blob& blob : show.blobField->blobs)
        alive += blob.alive ? 1 : 0;
    return alive;
}

bool sineAbove(float factor, double t) {
    return std::sin(static_cast<double>(factor * static_cast<float>(t))) > 0;
}

}  // namespace

TEST_F(TimelineTest, TitleCardFillsTheScreen) {
    startShow(60);
    enterScene(0);
    playUntil(2.5);
    EXPECT_TRUE(shows(400, 300, &Show::sprTittel));
    EXPECT_TRUE(shows(5, 5, &Show::sprTittel));
    EXPECT_TRUE(shows(794, 594, &Show::sprTittel));
    EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(TimelineTest, WideBackdropBubblesAndPipeInTheirWindows) {
    startShow(60);
    enterScene(1);
    playUntil(1);
    EXPECT_TRUE(shows(300, 200, &Show::sprBg1));
    EXPECT_TRUE(shows(100, 580, &Show::sprBg1));
    playUntil(3);  // the old man has risen 181 pixels; the first bubble shows over him
    EXPECT_TRUE(shows(300, 200, &Show::sprBoble1));
    EXPECT_TRUE(shows(430, 200, &Show::sprBg1));
    EXPECT_TRUE(shows(300, 520, &Show::sprGubb));
    playUntil(5);
    EXPECT_TRUE(shows(430, 200, &Show::sprBoble2));
    EXPECT_TRUE(shows(300, 200, &Show::sprBg1));
    playUntil(7);
    EXPECT_TRUE(shows(430, 200, &Show::sprBg1));
    EXPECT_FLOAT_EQ(show->scenes.wideBackdrop.gubb.angle,
                    10.0f * static_cast<float>(std::sin(7.0)));
    EXPECT_EQ(show->scenes.wideBackdrop.gubb.centerY, 350);
    playUntil(9);
    EXPECT_EQ(show->scenes.wideBackdrop.bg1.centerX, 400 + 119)
        << "one pixel for each frame with 6 < t < 8";
    EXPECT_EQ(show->scenes.wideBackdrop.gubb.centerX, 300 + 59)
        << "one pixel for each frame with 7 < t < 8";
    playUntil(11);
    EXPECT_EQ(show->scenes.wideBackdrop.ror.centerX, -135 + 2 * 119)
        << "two pixels for each frame with 8 < t < 10";
    EXPECT_TRUE(shows(100, 580, &Show::sprRor));
}

TEST_F(TimelineTest, WideBackdropBoundsAreStrict) {
    startShow(4);  // frames land exactly on 2, 4, 6 and 8 seconds
    enterScene(1);
    for (double t : {2.0, 4.0, 6.0}) {
        playUntil(t);
        EXPECT_TRUE(shows(300, 200, &Show::sprBg1)) << "no bubble at t = " << t;
        EXPECT_TRUE(shows(430, 200, &Show::sprBg1)) << "no bubble at t = " << t;
    }
    playUntil(8);
    EXPECT_EQ(show->scenes.wideBackdrop.bg1.centerX, 400 + 7)
        << "slides only on the frames of 6 < t < 8";
    EXPECT_TRUE(shows(100, 580, &Show::sprBg1)) << "the pipe shows only after t = 8";
}

TEST_F(TimelineTest, OldManArrivesInTheCornerOnlyAtHighFrameRates) {
    startShow(240);
    enterScene(1);
    playUntil(10.5);
    EXPECT_EQ(show->scenes.wideBackdrop.ror.centerX, 129)
        << "steps of two from -135 stop at the first value >= 128";
    playUntil(15);
    EXPECT_EQ(show->scenes.wideBackdrop.gubb.centerX, 120);
    EXPECT_EQ(show->scenes.wideBackdrop.gubb.centerY, 150) << "dropped 30 pixels once, on arrival";
    EXPECT_EQ(show->scenes.wideBackdrop.gubb.drawWidth, 99) << "shrunk once: floor(100 * 0.99)";
}

TEST_F(TimelineTest, OldManNeverArrivesAtThirtyFramesASecond) {
    startShow(30);
    enterScene(1);
    playUntil(15);
    EXPECT_EQ(show->scenes.wideBackdrop.gubb.centerX, 300 + 29 - 120);
    EXPECT_EQ(show->scenes.wideBackdrop.gubb.drawWidth, 100);
    EXPECT_EQ(show->scenes.wideBackdrop.ror.centerX, -135 + 2 * 59);
}

TEST_F(TimelineTest, PartyBubblesFollowEachOtherThenTheFigureFlips) {
    startShow(60);
    enterScene(2);
    playUntil(1);
    EXPECT_TRUE(shows(100, 400, &Show::sprGubbFlip));
    EXPECT_TRUE(shows(400, 200, &Show::sprDemosceneRad));
    playUntil(3);
    EXPECT_TRUE(shows(400, 200, &Show::sprBoble3));
    playUntil(6);
    EXPECT_TRUE(shows(400, 400, &Show::sprBoble4));
    EXPECT_TRUE(shows(400, 200, &Show::sprDemosceneRad));
    playUntil(10);
    EXPECT_TRUE(shows(430, 380, &Show::sprBoble5));
    EXPECT_TRUE(shows(365, 415, &Show::sprDemosceneRad)) << "the fourth bubble is gone";
    EXPECT_TRUE(shows(100, 400, &Show::sprGubbFlip));
    for (double t : {15.0, 15.1, 15.2, 15.3}) {
        playUntil(t);
        EXPECT_TRUE(shows(300, 400, sineAbove(20, t) ? &Show::sprOksOpp : &Show::sprOksNed));
        EXPECT_TRUE(shows(100, 400, &Show::sprDemosceneRad)) << "the old man is gone";
    }
}

TEST_F(TimelineTest, CrabTalksOnWhiteWithTwoBubbles) {
    startShow(60);
    enterScene(3);
    EXPECT_TRUE(shows(400, 350, &Show::sprKrabbeSnakk2)) << "sin(0) is not above 0";
    for (double t : {0.5, 0.55, 0.6, 0.65}) {
        playUntil(t);
        EXPECT_TRUE(showsColor(5, 5, kWhite));
        EXPECT_TRUE(
            shows(400, 350, sineAbove(30, t) ? &Show::sprKrabbeSnakk1 : &Show::sprKrabbeSnakk2));
        EXPECT_TRUE(showsColor(400, 205, kWhite));
    }
    playUntil(1.5);
    EXPECT_TRUE(shows(400, 205, &Show::sprBoble6));
    playUntil(2.25);
    EXPECT_TRUE(showsColor(400, 205, kWhite));
    EXPECT_TRUE(showsColor(400, 260, kWhite));
    playUntil(3);
    EXPECT_TRUE(shows(400, 260, &Show::sprBoble7));
    EXPECT_TRUE(showsColor(400, 205, kWhite)) << "never both bubbles";
    playUntil(4.5);
    EXPECT_TRUE(showsColor(400, 260, kWhite));
}

TEST_F(TimelineTest, SupercrabCardFillsTheScreen) {
    startShow(60);
    enterScene(4);
    playUntil(1);
    EXPECT_TRUE(shows(400, 300, &Show::sprSupercrab));
    EXPECT_TRUE(shows(5, 594, &Show::sprSupercrab));
}

TEST_F(TimelineTest, BlobBurstFromTheCentreBetweenThreeAndFiveSeconds) {
    startShow(60);
    enterScene(5);
    playUntil(1);
    EXPECT_TRUE(showsColor(5, 5, kWhite));
    EXPECT_TRUE(shows(150, 550, &Show::sprGubb)) << "upright, at half its picture size";
    EXPECT_TRUE(showsColor(400, 400, kWhite));
    EXPECT_TRUE(showsColor(400, 300, kWhite));
    EXPECT_EQ(aliveBlobs(*show), 0);
    playUntil(2.5);
    EXPECT_TRUE(shows(400, 400, &Show::sprKrabbe1));
    EXPECT_TRUE(shows(150, 550, &Show::sprGubb));
    playUntil(3);
    EXPECT_EQ(aliveBlobs(*show), 0) << "t = 3 exactly spawns nothing";
    EXPECT_TRUE(shows(150, 550, &Show::sprGubb));
    playUntil(4);
    EXPECT_EQ(aliveBlobs(*show), 3 * 60) << "three blobs on each frame with 3 < t <= 4";
    EXPECT_TRUE(showsColor(400, 300, kBlobRed)) << "this frame's blobs sit at the centre";
    EXPECT_TRUE(shows(100, 590, &Show::sprGubbKropp));
    playUntil(5.5);
    const int burst = aliveBlobs(*show);
    EXPECT_EQ(burst, 3 * 119) << "spawning stops before t = 5";
    playUntil(6.9);
    EXPECT_EQ(aliveBlobs(*show), burst) << "blobs live four seconds; none is spawned after 5";
}

TEST_F(TimelineTest, CrowdFlickersThenTheCardSpins) {
    startShow(60);
    enterScene(6);
    EXPECT_TRUE(shows(400, 300, &Show::sprScenefolk2)) << "sin(0) is not above 0";
    for (double t : {3.0, 3.1, 3.2}) {
        playUntil(t);
        EXPECT_TRUE(
            shows(400, 300, sineAbove(20, t) ? &Show::sprScenefolk1 : &Show::sprScenefolk2));
    }
    playUntil(6.0);
    EXPECT_FALSE(showsColor(400, 300, colorOf(&Show::sprSavedTheDay))) << "crowd until t > 6";
    playUntil(6.5);
    EXPECT_FLOAT_EQ(show->scenes.crowdAndCard.savedTheDay.angle, 1300.0f);
    EXPECT_TRUE(shows(400, 300, &Show::sprSavedTheDay));
    EXPECT_TRUE(showsColor(3, 3, kWhite)) << "the turned card leaves the corners to the backdrop";
}

class CardAngleTest : public TimelineTest, public ::testing::WithParamInterface<int> {};

TEST_P(CardAngleTest, CardAngleDependsOnlyOnTime) {
    startShow(GetParam());
    enterScene(6);
    playUntil(6.5);
    EXPECT_FLOAT_EQ(show->scenes.crowdAndCard.savedTheDay.angle, 1300.0f);
}

INSTANTIATE_TEST_SUITE_P(FrameRates, CardAngleTest, ::testing::Values(10, 30, 60, 240));

TEST_F(TimelineTest, CreditsThenTheQuitMessageAndNothingDrawn) {
    startShow(60);
    enterScene(7);
    playUntil(4);
    EXPECT_TRUE(shows(400, 300, &Show::sprCredits));
    playUntil(5);
    EXPECT_EQ(show->sceneIndex, 7) << "5.0 exactly does not end the scene";
    playUntil(5.0 + 1.0 / 60);
    EXPECT_EQ(show->sceneIndex, 8);
    EXPECT_TRUE(shows(400, 300, &Show::sprCredits)) << "the last frame is still drawn in full";
    platform::Message m;
    while (platform::peekMessage(m))
        ASSERT_NE(m.type, platform::MessageType::quit);
    show->renderFrame();
    EXPECT_TRUE(showsColor(400, 300, kBlack));
    ASSERT_TRUE(platform::peekMessage(m));
    EXPECT_EQ(m.type, platform::MessageType::quit);
}
