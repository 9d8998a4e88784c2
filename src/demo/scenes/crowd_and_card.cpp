// Scene 6: the crowd cheers in two frames for six seconds, then the "saved the day" card
// spins clockwise at 200 degrees a second in front of white. 13 s.
#include "demo/scenes/scene_common.h"

namespace {

void place(CrowdAndCardState& s, const Stage& stage) {
    s.savedTheDay = asLoaded(*stage.sprites.sprSavedTheDay);
    s.scenefolk1 = asLoaded(*stage.sprites.sprScenefolk1);
    s.scenefolk2 = asLoaded(*stage.sprites.sprScenefolk2);
    for (PlacedPicture* card : {&s.savedTheDay, &s.scenefolk1, &s.scenefolk2})
        fitToScreen(*card, stage.screen);
}

void drawFrame(CrowdAndCardState& s, const Stage& stage, float t) {
    const Screen screen = stage.screen;

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

const Scene kCrowdAndCard =
    sceneOf<&SceneStates::crowdAndCard, place, drawFrame>("crowd and card", 13.0f);
