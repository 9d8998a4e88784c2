#include "gfx/light.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "platform/gl.h"
#include "support/show_test.h"

namespace {

std::array<GLfloat, 4> lightValue(GLenum light, GLenum name) {
    std::array<GLfloat, 4> value{};
    glGetLightfv(light, name, value.data());
    return value;
}

const char kTooMany[] = "Eeep! Using too many lights, will fuck up now :)";

}  // namespace

TEST_F(ShowTest, LightsTakeTheEightNumbersInTurnTheNinthWarnsAndNumbersComeBack) {
    std::vector<std::unique_ptr<Light>> lights;
    for (int k = 0; k < 8; ++k) {
        lights.push_back(std::make_unique<Light>());
        EXPECT_EQ(lights.back()->lightId, GL_LIGHT0 + k);
        EXPECT_TRUE(glIsEnabled(GL_LIGHT0 + k));
    }
    EXPECT_TRUE(sink.boxes.empty());

    // The ninth number was never marked taken: a tenth light warns again and gets the same.
    for (int extra = 1; extra <= 2; ++extra) {
        Light light;
        EXPECT_EQ(light.lightId, GL_LIGHT0 + 8);
        EXPECT_TRUE(light.enabled);
        EXPECT_EQ(sink.texts(), std::vector<std::string>(extra, kTooMany));
    }
    glGetError();

    lights.erase(lights.begin() + 2);
    EXPECT_EQ(Light().lightId, GL_LIGHT0 + 2) << "a light gives its number back";
    lights.clear();
    EXPECT_EQ(Light().lightId, GL_LIGHT0);
}

TEST_F(ShowTest, NewLightIsAGreyLightAtTheEyeAndEnableSendsItAgainButTheDirection) {
    // A model-view matrix that moves and turns: the position must not follow it.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(5, -3, -20);
    glRotatef(90, 0, 1, 0);
    std::array<GLfloat, 16> before{}, after{};
    glGetFloatv(GL_MODELVIEW_MATRIX, before.data());

    Light light;
    EXPECT_EQ(light.lightId, GL_LIGHT0);
    EXPECT_TRUE(light.enabled);
    EXPECT_EQ(light.type, 2);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_EQ(lightValue(GL_LIGHT0, GL_POSITION), (std::array<GLfloat, 4>{0, 0, 0, 1}));
    EXPECT_EQ(lightValue(GL_LIGHT0, GL_SPOT_CUTOFF)[0], 90.0f);
    EXPECT_EQ(lightValue(GL_LIGHT0, GL_AMBIENT), (std::array<GLfloat, 4>{0.5f, 0.5f, 0.5f, 1}));
    EXPECT_EQ(lightValue(GL_LIGHT0, GL_DIFFUSE), (std::array<GLfloat, 4>{0.4f, 0.4f, 0.4f, 1}));
    EXPECT_EQ(lightValue(GL_LIGHT0, GL_SPECULAR), (std::array<GLfloat, 4>{0.2f, 0.2f, 0.2f, 1}));
    // The spot direction went through the turn of 90 degrees about y: -z becomes -x.
    std::array<GLfloat, 4> direction = lightValue(GL_LIGHT0, GL_SPOT_DIRECTION);
    EXPECT_NEAR(direction[0], -1, 1e-6);
    EXPECT_NEAR(direction[1], 0, 1e-6);
    EXPECT_NEAR(direction[2], 0, 1e-6);
    glGetFloatv(GL_MODELVIEW_MATRIX, after.data());
    EXPECT_EQ(after, before);

    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    light.type = 3;
    light.spotCutoff = 30;
    light.position[0] = 7;
    light.ambient[0] = 0.9f;
    glLoadIdentity();
    glTranslatef(100, 0, 0);
    light.enable();
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_EQ(lightValue(GL_LIGHT0, GL_SPOT_CUTOFF)[0], 30.0f);
    EXPECT_EQ(lightValue(GL_LIGHT0, GL_POSITION), (std::array<GLfloat, 4>{7, 0, 0, 1}));
    EXPECT_EQ(lightValue(GL_LIGHT0, GL_AMBIENT)[0], 0.9f);
    EXPECT_NEAR(lightValue(GL_LIGHT0, GL_SPOT_DIRECTION)[0], -1, 1e-6) << "not sent again";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
