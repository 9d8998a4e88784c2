#include "demo/scenes/scene_common.h"

#include <cmath>

#include "gfx/solid_cube.h"
#include "platform/gl.h"

float singleSine(float x) {
    return static_cast<float>(std::sin(static_cast<double>(x)));
}

PlacedPicture asLoaded(const Sprite& picture) {
    PlacedPicture placed;
    static_cast<Placement&>(placed) = picture.asLoaded();
    placed.picture = &picture;
    return placed;
}

PlacedPicture placedAt(const Sprite& picture, int centerX, int centerY) {
    PlacedPicture placed = asLoaded(picture);
    placed.centerX = centerX;
    placed.centerY = centerY;
    return placed;
}

void draw(const PlacedPicture& placed, Screen screen) {
    drawOverlay(*placed.picture, placed, screen);
}

const PlacedPicture& takingTurns(float rate, float t, const PlacedPicture& first,
                                 const PlacedPicture& second) {
    return singleSine(rate * t) > 0 ? first : second;
}

void anchorBottomLeft(Placement& placement, int left, int bottom) {
    placement.centerX = placement.drawWidth / 2 + left;
    placement.centerY = bottom - placement.drawHeight / 2;
}

void fitToScreen(Placement& placement, Screen screen) {
    placement.drawWidth = screen.width;
    placement.drawHeight = screen.height;
    if (screen.width != 0 && screen.height != 0) {
        placement.centerX = screen.width / 2;
        placement.centerY = screen.height / 2;
    }
}

void drawWhiteBackdrop() {
    glColor3f(1, 1, 1);
    glTranslatef(0, 0, -2);
    drawSolidCube(2.0f);
}

void placeCard(CardState& state, const Sprite& picture, Screen screen) {
    state.card = asLoaded(picture);
    fitToScreen(state.card, screen);
}

void drawCard(CardState& state, const Stage& stage, float) {
    draw(state.card, stage.screen);
}
