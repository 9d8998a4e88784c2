#include "gfx/gl_window.h"

#include "platform/gl.h"
#include "support/show_test.h"

// Whatever the sizes were made, resizing gives the fixed view back: 45 degrees vertical at
// 4:3, the projection's y scale cot(22.5 degrees).
TEST_F(ShowTest, WindowKeepsItsFixedViewAndState) {
    window->width = 1024;
    window->height = 17;
    window->resize();
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_NEAR(projection[5], 2.4142135, 1e-5);
    EXPECT_NEAR(projection[0], 2.4142135 * 3 / 4, 1e-5);
}
