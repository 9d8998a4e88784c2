// Sprites: pictures drawn flat over the scene in screen pixels, origin top left, y down.
#pragma once

#include <cstdint>

#include "gfx/texture.h"

// The screen's size in pixels; set by start-up from the window before the first overlay is
// drawn. While either is 0, overlays are refused.
extern int32_t gScreenWidth;
extern int32_t gScreenHeight;

// A texture with where and how it is drawn. The scenes write the fields between draws;
// nothing is cached from them.
struct Sprite : Texture {
    int32_t centerX = 0;  // the picture's centre, pixels from the screen's left edge
    int32_t centerY = 0;  // pixels from the top edge
    int32_t drawWidth = 0;
    int32_t drawHeight = 0;
    float angle = 0;                // degrees, positive turns clockwise on the screen
    float color[4] = {1, 1, 1, 1};  // tint multiplied into the texture; alpha blends

    Sprite() = default;
    // Loads the picture (a failure is reported by the loader) and places it with its
    // top-left corner at the screen's top left, at its own size. A picture that did not load
    // leaves every size 0.
    explicit Sprite(const char* fileName);
};

// Draws the sprite as one quad, texture row 0 at its top edge. The quad lies at window
// depth 0.5 and is depth-tested and culled under the caller's state (it is front-facing
// under counter-clockwise front faces unless exactly one drawn size is negative). Without
// a screen size it reports "Can't draw overlay without window size." and touches nothing.
//
// Leaves behind: GL_LIGHTING, GL_TEXTURE_2D and GL_BLEND disabled; blend function
// (GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); current colour = the sprite's colour; its texture
// bound when loaded; matrix mode GL_MODELVIEW; both matrices as they were.
void drawOverlay(const Sprite& sprite);

// Multiplies the drawn size by the factors, rounding down; the centre stays.
void scaleDrawSize(Sprite& sprite, float widthFactor, float heightFactor);
