// Light: the program-wide table of light numbers and the light's parameters.
#include "gfx/light.h"

#include "base/report_error.h"
#include "platform/gl.h"

namespace {

constexpr int kLightSlots = 8;
constexpr uint8_t kPointLight = 2;
constexpr uint8_t kSpotLight = 3;

// Entry k: GL_LIGHT0 + k is held by a living Light. Shared by every Light of the process,
// as the light numbers are shared by everything drawn in the context.
bool lightSlotInUse[kLightSlots] = {};

void setColor(float (&field)[4], float grey) {
    field[0] = field[1] = field[2] = grey;
    field[3] = 1.0f;
}

}  // namespace

Light::Light() {
    int slot = 0;
    while (slot < kLightSlots && lightSlotInUse[slot])
        ++slot;
    if (slot == kLightSlots)
        reportError("Eeep! Using too many lights, will fuck up now :)");
    lightId = GL_LIGHT0 + slot;
    if (slot < kLightSlots)
        lightSlotInUse[slot] = true;

    position[3] = 1.0f;
    type = kPointLight;
    sendPosition();
    // The GL's value for a light that is not a spot.
    glLightf(lightId, GL_SPOT_CUTOFF, 180.0f);

    position[0] = position[1] = position[2] = 0.0f;
    sendPosition();

    spotDirection[0] = 0.0f;
    spotDirection[1] = 0.0f;
    spotDirection[2] = -1.0f;
    glLightfv(lightId, GL_SPOT_DIRECTION, spotDirection);

    spotCutoff = 90.0f;
    if (type == kSpotLight)
        glLightf(lightId, GL_SPOT_CUTOFF, spotCutoff);

    setColor(ambient, 0.5f);
    glLightfv(lightId, GL_AMBIENT, ambient);
    setColor(diffuse, 0.4f);
    glLightfv(lightId, GL_DIFFUSE, diffuse);
    setColor(specular, 0.2f);
    glLightfv(lightId, GL_SPECULAR, specular);

    enable();
}

Light::~Light() {
    const int slot = lightId - GL_LIGHT0;
    if (slot >= 0 && slot < kLightSlots)
        lightSlotInUse[slot] = false;
}

void Light::enable() {
    enabled = true;
    glEnable(GL_LIGHTING);
    glEnable(lightId);
    glLightfv(lightId, GL_SPECULAR, specular);
    glLightfv(lightId, GL_DIFFUSE, diffuse);
    glLightfv(lightId, GL_AMBIENT, ambient);
    // Sent whatever the type: a point light ends up with the stored 90 degrees, not 180.
    glLightf(lightId, GL_SPOT_CUTOFF, spotCutoff);
    sendPosition();
}

// The GL transforms a position by the current model-view matrix; under the identity it is
// taken in eye coordinates.
void Light::sendPosition() const {
    glPushMatrix();
    glLoadIdentity();
    glLightfv(lightId, GL_POSITION, position);
    glPopMatrix();
}
