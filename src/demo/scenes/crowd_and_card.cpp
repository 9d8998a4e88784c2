// Scene 6: the crowd cheers in two frames for six seconds, then the "saved the day" card
// spins clockwise at 200 degrees a second in front of white. 13 s.
#include "demo/scenes/scene_common.h"

namespace {

void place(Show& show) {
    CrowdAndCardState& s = show.scenes.crowdAndCard;
    s.savedTheDay = asLoaded(*show.sprSavedTheDay);
    s.scenefolk1 = asLoaded(*show.sprScenefolk1);
    s.scenefolk2 = asLoaded(*show.sprScenefolk2);
    for (PlacedPicture* card : {&s.savedTheDay, &s.scenefolk1, &s.scenefolk2})
        fitToScreen(*card, show.screen);
}

void drawFrame(Show& show, float t) {
    CrowdAndCardState& s = show.scenes.crowdAndCard;
    const Screen screen = show.screen;

    if (t > 6.0f) {
        drawWhiteBackdrop();
        // From the scene's own time: the card enters already turned by about 1200 degrees.
        s.savedTheDay.angle = 200.0f * t;
        draw(s.savedTheDay, screen);
    } else {
        draw(takingTurns(20.0f, t, s.scenefolk1, s.scenefolk2), screen);
    }
}

}  // namespace

const Scene kCrowdAndCard = {"crowd and card", 13.0f, place, drawFrame};
