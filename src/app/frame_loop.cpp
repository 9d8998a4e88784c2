#include "app/frame_loop.h"

#include "app/gl_window.h"
#include "demo/demo.h"
#include "platform/display.h"

void runFrameLoop(GLWindow& window, void (*drawFrame)()) {
    while (window.pumpFrame()) {
        if (platform::keyDownOrPressedSinceLastQuery(platform::Key::escape))
            break;
        drawFrame();
    }
}

int runShow() {
    gWindow = new GLWindow();
    auto* demo = new DemoContext{gWindow, nullptr};
    initDemo(demo);
    gDemo = demo;
    runFrameLoop(*gWindow, renderFrame);
    return 0;
}
