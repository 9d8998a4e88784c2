#include "demo/scenes/scene_common.h"

#include <GL/gl.h>

#include <cmath>

#include "gfx/solid_cube.h"

float singleSine(float x) {
    return static_cast<float>(std::sin(static_cast<double>(x)));
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
    state.card = picture.asLoaded();
    fitToScreen(state.card, screen);
}

void drawCard(const CardState& state, const Sprite& picture, Screen screen) {
    drawOverlay(picture, state.card, screen);
}
