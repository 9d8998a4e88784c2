// Render targets: empty RGBA textures with power-of-two sides for a requested size.
#pragma once

#include <cstdint>

class GLWindow;

// The smallest power of two, at least 2, that is not below n: 0, 1 and 2 give 2, 3 gives 4,
// 800 gives 1024. Requests above 2^30 have no such power in 32 bits and get 2^30.
int32_t nextPowerOfTwo(int32_t n);

// An RGBA texture of textureWidth x textureHeight with undefined content, one level,
// linear filtering and repeat wrapping; the requested size covers uMax x vMax of it. The
// target owns the texture name and never gives it back. Construction needs a current
// context and leaves the texture bound to GL_TEXTURE_2D.
struct RenderTarget {
    uint32_t id = 0;
    GLWindow* window = nullptr;  // the window the target belongs to; kept, not used
    int32_t width = 0;           // requested
    int32_t height = 0;
    int32_t textureWidth = 0;
    int32_t textureHeight = 0;
    float uMax = 0;  // width / textureWidth (above 1 only for requests above 2^30)
    float vMax = 0;

    RenderTarget(GLWindow* window, int32_t width, int32_t height);
};
