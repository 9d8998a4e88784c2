// Scene 2: at the party. The old man stands at the left while three bubbles follow one
// another; from 14 s the figure takes his place and flips between its two poses. Nothing
// moves: the scene only chooses what to draw. 20 s.
#include "demo/scenes/scene_common.h"

namespace {

void place(Show& show) {
    BubblesAndFigureState& s = show.scenes.bubblesAndFigure;
    s.demosceneRad = asLoaded(*show.sprDemosceneRad);
    fitToScreen(s.demosceneRad, show.screen);
    s.gubbFlip = placedAt(*show.sprGubbFlip, 100, 400);
    s.oksOpp = asLoaded(*show.sprOksOpp);
    s.oksNed = asLoaded(*show.sprOksNed);
    for (PlacedPicture* pose : {&s.oksOpp, &s.oksNed}) {
        scaleDrawSize(*pose, 0.5f, 0.5f);
        pose->centerX = 300;
        pose->centerY = 400;
    }
    s.boble3 = placedAt(*show.sprBoble3, 400, 200);
    s.boble4 = placedAt(*show.sprBoble4, 400, 400);
    s.boble5 = placedAt(*show.sprBoble5, 430, 380);
}

void drawFrame(Show& show, float t) {
    const BubblesAndFigureState& s = show.scenes.bubblesAndFigure;
    const Screen screen = show.screen;

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

const Scene kBubblesAndFigure = {"bubbles and figure", 20.0f, place, drawFrame};
