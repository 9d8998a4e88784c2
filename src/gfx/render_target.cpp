// Render targets: the power-of-two sizing and the empty texture.
#include "gfx/render_target.h"

#include "platform/gl.h"

int32_t nextPowerOfTwo(int32_t n) {
    for (int k = 1; k <= 30; ++k) {
        int32_t power = int32_t{1} << k;
        if (n <= power)
            return power;
    }
    // 2^31 does not fit; the largest power keeps the size positive and the fractions finite.
    return int32_t{1} << 30;
}

RenderTarget::RenderTarget(GLWindow* window, int32_t width, int32_t height)
    : window(window), width(width), height(height) {
    textureWidth = nextPowerOfTwo(width);
    textureHeight = nextPowerOfTwo(height);
    uMax = static_cast<float>(double(width) / double(textureWidth));
    vMax = static_cast<float>(double(height) / double(textureHeight));

    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, textureWidth, textureHeight, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
}
