#include "gfx/solid_cube.h"

#include "platform/gl.h"

void drawSolidCube(float size) {
    // Corner k has x from bit 0, y from bit 1, z from bit 2 (0 = negative side).
    static const int kFaces[6][4] = {
        {1, 3, 7, 5},  // +x
        {0, 4, 6, 2},  // -x
        {2, 6, 7, 3},  // +y
        {0, 1, 5, 4},  // -y
        {4, 5, 7, 6},  // +z
        {0, 2, 3, 1},  // -z
    };
    static const float kNormals[6][3] = {{1, 0, 0},  {-1, 0, 0}, {0, 1, 0},
                                         {0, -1, 0}, {0, 0, 1},  {0, 0, -1}};
    const float h = size / 2;
    glBegin(GL_QUADS);
    for (int face = 0; face < 6; ++face) {
        for (int corner : kFaces[face]) {
            glNormal3fv(kNormals[face]);
            glVertex3f(corner & 1 ? h : -h, corner & 2 ? h : -h, corner & 4 ? h : -h);
        }
    }
    glEnd();
}
