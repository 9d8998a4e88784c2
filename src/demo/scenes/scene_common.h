// Pieces several scenes share.
#pragma once

#include "app/stopwatch.h"

struct Sprite;

// A scene's clock and its one-time placement. Held in a function-local static,
// `static SceneClock scene;` starts the clock on the scene's first call.
struct SceneClock {
    SceneClock();
    Stopwatch clock;
    bool placed = false;
};

// The start of a frame: reads the scene clock, places the scene's pictures on its first
// frame, and returns the scene time that every test of this frame uses.
float beginSceneFrame(SceneClock& scene, void (*placeOnce)());

// The end of a frame: reads the clock again, after drawing, so the frame that ends the
// scene is still drawn in full. True once more than `duration` seconds have passed; a
// reading of exactly `duration` does not end the scene.
bool endSceneFrame(SceneClock& scene, float duration);

// sin(x) rounded to single precision; the scenes round the argument to single precision
// first by computing it in float.
float singleSine(float x);

// Places the sprite, at its drawn size, with its left edge at `left` and its lower edge on
// `bottom`, in screen pixels.
void anchorBottomLeft(Sprite* sprite, int left, int bottom);

// Stretches the sprite over the whole screen. The centre moves only when the screen size is
// known; the drawn size is set in any case.
void fitToScreen(Sprite* sprite);

// The flat white backdrop: a cube of edge 2, two units in front of the eye, whose near face
// fills the view and lies behind every overlay in depth. Leaves the model-view matrix
// translated and the current colour white; lighting and texturing are already off here.
void drawWhiteBackdrop();

// A picture card over the whole screen, shown until the scene clock passes `duration`.
bool runCardScene(SceneClock& scene, Sprite* card, float duration);
