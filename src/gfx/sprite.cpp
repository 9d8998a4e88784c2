// Sprites: placement at creation, the screen overlay draw and drawn-size scaling.
#include "gfx/sprite.h"

#include <GL/gl.h>

#include <cmath>

#include "app/report_error.h"
#include "gfx/screen_draw.h"

int32_t gScreenWidth = 0;
int32_t gScreenHeight = 0;

Sprite::Sprite(const char* fileName) {
    loadTexture(*this, fileName);
    drawWidth = width;
    drawHeight = height;
    centerX = width / 2;
    centerY = height / 2;
}

void drawOverlay(const Sprite& sprite) {
    if (gScreenWidth == 0 || gScreenHeight == 0) {
        reportError("Can't draw overlay without window size.");
        return;
    }

    // Screen pixels: (x, y) lands x from the left and y from the top.
    beginScreenDraw(gScreenWidth, gScreenHeight, YAxis::down);
    // An unloaded sprite leaves texturing as it was: normally off, so the quad is flat tint.
    if (sprite.loaded) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, sprite.id);
    }
    glColor4f(sprite.color[0], sprite.color[1], sprite.color[2], sprite.color[3]);

    glTranslatef(static_cast<GLfloat>(sprite.centerX), static_cast<GLfloat>(sprite.centerY), 0);
    glRotatef(sprite.angle, 0, 0, 1);

    // Integer halves: an odd size draws one pixel smaller than asked.
    int32_t hw = sprite.drawWidth / 2;
    int32_t hh = sprite.drawHeight / 2;
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2i(-hw, -hh);
    glTexCoord2f(0, 1);
    glVertex2i(-hw, hh);
    glTexCoord2f(1, 1);
    glVertex2i(hw, hh);
    glTexCoord2f(1, 0);
    glVertex2i(hw, -hh);
    glEnd();

    endScreenDraw();
}

void scaleDrawSize(Sprite& sprite, float widthFactor, float heightFactor) {
    float width = static_cast<float>(double(sprite.drawWidth) * double(widthFactor));
    float height = static_cast<float>(double(sprite.drawHeight) * double(heightFactor));
    sprite.drawWidth = static_cast<int32_t>(std::floor(width));
    sprite.drawHeight = static_cast<int32_t>(std::floor(height));
}
