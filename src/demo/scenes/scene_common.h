// Pieces several scenes share.
#pragma once

#include "demo/scenes/scenes.h"
#include "demo/show.h"
#include "gfx/sprite.h"

// sin(x) rounded to single precision; the scenes round the argument to single precision
// first by computing it in float.
float singleSine(float x);

// Places the picture, at its drawn size, with its left edge at `left` and its lower edge
// on `bottom`, in screen pixels.
void anchorBottomLeft(Placement& placement, int left, int bottom);

// Stretches the picture over the whole screen. The centre moves only when the screen size
// is known; the drawn size is set in any case.
void fitToScreen(Placement& placement, Screen screen);

// The flat white backdrop: a cube of edge 2, two units in front of the eye, whose near face
// fills the view and lies behind every overlay in depth. Leaves the model-view matrix
// translated and the current colour white; lighting and texturing are already off here.
void drawWhiteBackdrop();

// The card scenes: the picture placed over the whole screen, then drawn on every frame.
void placeCard(CardState& state, const Sprite& picture, Screen screen);
void drawCard(const CardState& state, const Sprite& picture, Screen screen);

// A card scene of the picture `Show::*picture`, keeping its placement in
// `SceneStates::*state`.
template <auto picture, auto state>
constexpr Scene cardScene(const char* name, float length) {
    return {name, length,
            [](Show& show) { placeCard(show.scenes.*state, *(show.*picture), show.screen); },
            [](Show& show, float) { drawCard(show.scenes.*state, *(show.*picture), show.screen); }};
}
