#include <GL/gl.h>

#include "demo/demo.h"

DemoContext* gDemo = nullptr;

void initDemo(DemoContext*) {}

void renderFrame() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}
