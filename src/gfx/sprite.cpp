// Sprites: placement at creation, the screen overlay draw and drawn-size scaling.
#include "gfx/sprite.h"

#include <cmath>

#include "base/report_error.h"
#include "gfx/picture_loader.h"
#include "gfx/screen_draw.h"
#include "platform/gl.h"

namespace {

void placeAtOwnSize(Sprite& sprite) {
    sprite.drawWidth = sprite.width;
    sprite.drawHeight = sprite.height;
    sprite.centerX = sprite.width / 2;
    sprite.centerY = sprite.height / 2;
}

}  // namespace

Sprite::Sprite(const char* fileName) {
    loadTexture(*this, fileName);
    placeAtOwnSize(*this);
}

Sprite::Sprite(const char* fileName, PictureLoader& pictures) {
    pictures.load(*this, fileName);
    placeAtOwnSize(*this);
}

void drawOverlay(const Texture& picture, const Placement& at, Screen screen) {
    if (screen.width == 0 || screen.height == 0) {
        reportError("Can't draw overlay without window size.");
        return;
    }

    // Screen pixels: (x, y) lands x from the left and y from the top.
    beginScreenDraw(screen.width, screen.height, YAxis::down);
    // An unloaded sprite leaves texturing as it was: normally off, so the quad is flat tint.
    if (picture.loaded) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, picture.id);
    }
    glColor4f(at.color[0], at.color[1], at.color[2], at.color[3]);

    glTranslatef(static_cast<GLfloat>(at.centerX), static_cast<GLfloat>(at.centerY), 0);
    glRotatef(at.angle, 0, 0, 1);

    // Integer halves: an odd size draws one pixel smaller than asked.
    int32_t hw = at.drawWidth / 2;
    int32_t hh = at.drawHeight / 2;
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

void scaleDrawSize(Placement& placement, float widthFactor, float heightFactor) {
    float width = static_cast<float>(double(placement.drawWidth) * double(widthFactor));
    float height = static_cast<float>(double(placement.drawHeight) * double(heightFactor));
    placement.drawWidth = static_cast<int32_t>(std::floor(width));
    placement.drawHeight = static_cast<int32_t>(std::floor(height));
}
