#include "demo/scenes/scene_common.h"

#include <GL/gl.h>

#include <cmath>

#include "gfx/solid_cube.h"
#include "gfx/sprite.h"

SceneClock::SceneClock() {
    clock.start();
}

float beginSceneFrame(SceneClock& scene, void (*placeOnce)()) {
    scene.clock.update();
    if (!scene.placed) {
        placeOnce();
        scene.placed = true;
    }
    return scene.clock.elapsed;
}

bool endSceneFrame(SceneClock& scene, float duration) {
    scene.clock.update();
    return scene.clock.elapsed > duration;
}

float singleSine(float x) {
    return static_cast<float>(std::sin(static_cast<double>(x)));
}

void anchorBottomLeft(Sprite* sprite, int left, int bottom) {
    sprite->centerX = sprite->drawWidth / 2 + left;
    sprite->centerY = bottom - sprite->drawHeight / 2;
}

void fitToScreen(Sprite* sprite) {
    sprite->drawWidth = gScreenWidth;
    sprite->drawHeight = gScreenHeight;
    if (gScreenWidth != 0 && gScreenHeight != 0) {
        sprite->centerX = gScreenWidth / 2;
        sprite->centerY = gScreenHeight / 2;
    }
}

void drawWhiteBackdrop() {
    glColor3f(1, 1, 1);
    glTranslatef(0, 0, -2);
    drawSolidCube(2.0f);
}

bool runCardScene(SceneClock& scene, Sprite* card, float duration) {
    scene.clock.update();
    if (!scene.placed) {
        fitToScreen(card);
        scene.placed = true;
    }
    drawOverlay(*card);
    return endSceneFrame(scene, duration);
}
