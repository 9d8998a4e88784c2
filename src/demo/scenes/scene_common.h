// Pieces several scenes share.
#pragma once

#include "demo/assets.h"
#include "demo/scenes/scenes.h"
#include "gfx/sprite.h"

// sin(x) rounded to single precision; the scenes round the argument to single precision
// first by computing it in float.
float singleSine(float x);

// The picture where it was loaded, and the same with its centre moved to
// (centerX, centerY).
PlacedPicture asLoaded(const Sprite& picture);
PlacedPicture placedAt(const Sprite& picture, int centerX, int centerY);

// Draws the picture where the scene placed it (the overlay draw of gfx/sprite.h).
void draw(const PlacedPicture& placed, Screen screen);

// Of two pictures that take turns, the one shown at scene time `t`: the first while
// sin(rate * t) is above 0, so a sine of exactly 0 shows the second.
const PlacedPicture& takingTurns(float rate, float t, const PlacedPicture& first,
                                 const PlacedPicture& second);

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

// A scene of the state `SceneStates::*state`, whose functions are
// `place(State&, const Stage&)` and `drawFrame(State&, const Stage&, float t)`.
template <auto state, auto place, auto drawFrame>
constexpr Scene sceneOf(const char* name, float length) {
    return {name, length,
            [](SceneStates& states, const Stage& stage) { place(states.*state, stage); },
            [](SceneStates& states, const Stage& stage, float t) {
                drawFrame(states.*state, stage, t);
            }};
}

// The two functions of a card scene showing `ShowSprites::*picture`.
template <auto picture>
void placeCardOf(CardState& state, const Stage& stage) {
    placeCard(state, *(stage.sprites.*picture), stage.screen);
}
void drawCard(CardState& state, const Stage& stage, float t);

// A card scene of the picture `ShowSprites::*picture`, keeping its placement in
// `SceneStates::*state`.
template <auto picture, auto state>
constexpr Scene cardScene(const char* name, float length) {
    return sceneOf<state, placeCardOf<picture>, drawCard>(name, length);
}
