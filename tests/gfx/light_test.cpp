#include "gfx/light.h"

#include <array>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/gl.h"
#include "support/show_test.h"

TEST_F(ShowTest, LightsTakeTheEightNumbersInTurnAndNumbersComeBack) {
    std::vector<std::unique_ptr<Light>> lights;
    for (int k = 0; k < 8; ++k) {
        lights.push_back(std::make_unique<Light>());
        EXPECT_EQ(lights.back()->lightId, GL_LIGHT0 + k);
    }
    lights.erase(lights.begin() + 2);
    EXPECT_EQ(Light().lightId, GL_LIGHT0 + 2) << "a light gives its number back";
    EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(ShowTest, NewLightIsAGreyLightAtTheEye) {
    // A model-view matrix that moves and turns 90 degrees about y: the position stays at the
    // eye and the spot direction -z turns into -x.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(5, -3, -20);
    glRotatef(90, 0, 1, 0);
    Light light;
    EXPECT_EQ(std::tuple(light.lightId, light.enabled, light.type), std::tuple(GL_LIGHT0, true, 2));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING) && glIsEnabled(GL_LIGHT0));
    const std::pair<GLenum, std::array<GLfloat, 4>> sent[] = {{GL_POSITION, {0, 0, 0, 1}},
                                                              {GL_SPOT_DIRECTION, {-1, 0, 0}},
                                                              {GL_SPOT_CUTOFF, {90}},
                                                              {GL_AMBIENT, {0.5f, 0.5f, 0.5f, 1}},
                                                              {GL_DIFFUSE, {0.4f, 0.4f, 0.4f, 1}},
                                                              {GL_SPECULAR, {0.2f, 0.2f, 0.2f, 1}}};
    for (const auto& [name, expected] : sent) {
        std::array<GLfloat, 4> value{};
        glGetLightfv(GL_LIGHT0, name, value.data());
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(value[i], expected[i], 1e-6) << "parameter " << name << ", " << i;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
