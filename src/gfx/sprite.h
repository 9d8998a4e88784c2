// Sprites: pictures drawn flat over the scene in screen pixels, origin top left, y down.
#pragma once

#include <cstdint>

#include "gfx/texture.h"

class PictureLoader;

// The screen's size in pixels, as the show's start-up takes it from the window. While
// either side is 0, overlays are refused.
struct Screen {
    int32_t width = 0;
    int32_t height = 0;
};

// Where and how a picture is drawn. Scenes keep placements of their own and write them
// between draws; nothing is cached from them.
struct Placement {
    int32_t centerX = 0;  // the picture's centre, pixels from the screen's left edge
    int32_t centerY = 0;  // pixels from the top edge
    int32_t drawWidth = 0;
    int32_t drawHeight = 0;
    float angle = 0;                // degrees, positive turns clockwise on the screen
    float color[4] = {1, 1, 1, 1};  // tint multiplied into the texture; alpha blends
};

// A picture with the placement it was loaded with.
struct Sprite : Texture, Placement {
    Sprite() = default;
    // Loads the picture (a failure is reported by the loader) and places it with its
    // top-left corner at the screen's top left, at its own size. A picture that did not load
    // leaves every size 0.
    explicit Sprite(const char* fileName);
    // The same, with the picture taken from a loader that decodes it ahead.
    Sprite(const char* fileName, PictureLoader& pictures);

    // The placement it was loaded with, for a scene to start its own from.
    const Placement& asLoaded() const { return *this; }
};

// Draws the picture at the placement as one quad, texture row 0 at its top edge. The quad
// lies at window depth 0.5 and is depth-tested and culled under the caller's state (it is
// front-facing under counter-clockwise front faces unless exactly one drawn size is
// negative). Without a screen size it reports "Can't draw overlay without window size." and
// touches nothing.
//
// Leaves behind: GL_LIGHTING, GL_TEXTURE_2D and GL_BLEND disabled; blend function
// (GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); current colour = the placement's colour; the
// picture's texture bound when loaded; matrix mode GL_MODELVIEW; both matrices as they were.
void drawOverlay(const Texture& picture, const Placement& at, Screen screen);

// The sprite at its own placement.
inline void drawOverlay(const Sprite& sprite, Screen screen) {
    drawOverlay(sprite, sprite, screen);
}

// Multiplies the drawn size by the factors, rounding down; the centre stays.
void scaleDrawSize(Placement& placement, float widthFactor, float heightFactor);
