// Scene 2: at the party. The old man stands at the left while three bubbles follow one
// another; from 14 s the figure takes his place and flips between its two poses. Nothing
// moves: the scene only chooses what to draw. 20 s.
#include "demo/scenes/scene_common.h"

namespace {

void place(Show& show) {
    BubblesAndFigureState& s = show.scenes.bubblesAndFigure;
    s.demosceneRad = show.sprDemosceneRad->asLoaded();
    fitToScreen(s.demosceneRad, show.screen);
    s.gubbFlip = show.sprGubbFlip->asLoaded();
    s.gubbFlip.centerX = 100;
    s.gubbFlip.centerY = 400;
    s.oksOpp = show.sprOksOpp->asLoaded();
    s.oksNed = show.sprOksNed->asLoaded();
    for (Placement* pose : {&s.oksOpp, &s.oksNed}) {
        scaleDrawSize(*pose, 0.5f, 0.5f);
        pose->centerX = 300;
        pose->centerY = 400;
    }
    s.boble3 = show.sprBoble3->asLoaded();
    s.boble3.centerX = 400;
    s.boble3.centerY = 200;
    s.boble4 = show.sprBoble4->asLoaded();
    s.boble4.centerX = 400;
    s.boble4.centerY = 400;
    s.boble5 = show.sprBoble5->asLoaded();
    s.boble5.centerX = 430;
    s.boble5.centerY = 380;
}

void draw(Show& show, float t) {
    const BubblesAndFigureState& s = show.scenes.bubblesAndFigure;
    const Screen screen = show.screen;

    drawOverlay(*show.sprDemosceneRad, s.demosceneRad, screen);

    if (t < 14.0f) {
        drawOverlay(*show.sprGubbFlip, s.gubbFlip, screen);
        if (t > 9.0f) {
            drawOverlay(*show.sprBoble5, s.boble5, screen);
        } else if (t > 4.0f) {
            drawOverlay(*show.sprBoble4, s.boble4, screen);
        } else if (t > 1.5f) {
            drawOverlay(*show.sprBoble3, s.boble3, screen);
        }
    } else if (singleSine(20.0f * t) > 0) {
        // The poses swap every pi/20 s; a sine of exactly 0 shows the second pose.
        drawOverlay(*show.sprOksOpp, s.oksOpp, screen);
    } else {
        drawOverlay(*show.sprOksNed, s.oksNed, screen);
    }
}

}  // namespace

const Scene kBubblesAndFigure = {"bubbles and figure", 20.0f, place, draw};
