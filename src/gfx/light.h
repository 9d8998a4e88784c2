// Light: one fixed-function OpenGL light holding its own parameters.
//
// The program has eight light numbers (GL_LIGHT0 to GL_LIGHT7). Each Light claims the
// first free one when it is constructed and holds it for as long as it lives; a ninth Light
// reports "Eeep! Using too many lights, will fuck up now :)" and goes on with
// GL_LIGHT0 + 8, a number the GL does not have.
#pragma once

#include <cstdint>

class Light {
  public:
    // Claims a light number, makes a grey point light at the eye and sends it, then enables
    // it. Needs a current context. The position is sent under the identity matrix, so it is
    // the eye whatever the model-view matrix; the spot direction (0, 0, -1) under the
    // matrix current now. Leaves GL_LIGHTING and the light switched on.
    Light();
    // Gives the number back; the GL light itself is left as it is.
    ~Light();
    Light(const Light&) = delete;
    Light& operator=(const Light&) = delete;

    // Switches lighting and this light on and sends every parameter again except the spot
    // direction (the cutoff whatever the type, the position under the identity). The
    // push/identity/pop acts on whichever matrix mode is current.
    void enable();

    int32_t lightId = 0;  // GL_LIGHT0 + slot
    bool enabled = false;
    uint8_t type = 0;        // 2 point light, 3 spot light
    float position[4] = {};  // eye coordinates; w = 1: positional
    float spotDirection[3] = {};
    float spotCutoff = 0;  // degrees
    float ambient[4] = {};
    float diffuse[4] = {};
    float specular[4] = {};

  private:
    void sendPosition() const;
};
