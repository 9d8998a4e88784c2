// Pieces several scenes share.
#pragma once

#include "app/stopwatch.h"

struct Sprite;

// A stopwatch started now: `static Stopwatch clock = startedClock();` starts a scene's clock
// on the scene's first call.
Stopwatch startedClock();

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
struct CardScene {
    Stopwatch clock;
    bool fitted = false;
};
bool runCardScene(CardScene& scene, Sprite* card, float duration);
