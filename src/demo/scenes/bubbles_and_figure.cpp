// Scene 2: at the party. The old man stands at the left while three bubbles follow one
// another; from 14 s the figure takes his place and flips between its two poses. Nothing
// moves: the scene only chooses what to draw. 20 s.
#include "demo/scenes/scene_common.h"

namespace {

void place(BubblesAndFigureState& s, const Stage& stage) {
    s.demosceneRad = asLoaded(*stage.sprites.sprDemosceneRad);
    fitToScreen(s.demosceneRad, stage.screen);
    s.gubbFlip = placedAt(*stage.sprites.sprGubbFlip, 100, 400);
    s.oksOpp = asLoaded(*stage.sprites.sprOksOpp);
    s.oksNed = asLoaded(*stage.sprites.sprOksNed);
    for (PlacedPicture* pose : {&s.oksOpp, &s.oksNed}) {
        scaleDrawSize(*pose, 0.5f, 0.5f);
        pose->centerX = 300;
        pose->centerY = 400;
    }
    s.boble3 = placedAt(*stage.sprites.sprBoble3, 400, 200);
    s.boble4 = placedAt(*stage.sprites.sprBoble4, 400, 400);
    s.boble5 = placedAt(*stage.sprites.sprBoble5, 430, 380);
}

void drawFrame(const BubblesAndFigureState& s, const Stage& stage, float t) {
    const Screen screen = stage.screen;

    draw(s.demosceneRad, screen);

    if (t < 14.0f) {
        draw(s.gubbFlip, screen);
        if (t > 9.0f) {
            draw(s.boble5, screen);
        } else if (t > 4.0f) {
            draw(s.boble4, screen);
        } else if (t > 1.5f) {
            draw(s.boble3, screen);
        }
    } else {
        // The poses swap every pi/20 s.
        draw(takingTurns(20.0f, t, s.oksOpp, s.oksNed), screen);
    }
}

}  // namespace

const Scene kBubblesAndFigure =
    sceneOf<&SceneStates::bubblesAndFigure, place, drawFrame>("bubbles and figure", 20.0f);
