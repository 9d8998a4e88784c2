// The show's timeline: start-up and the per-frame scene sequencer.
#pragma once

#include <cstdint>

class GLWindow;
struct MusicStream;

struct DemoContext {
    GLWindow* window = nullptr;
    MusicStream* music = nullptr;  // set to gMusic by every frame
};

extern DemoContext* gDemo;

// The running scene, 0 to 7; kSceneCount once every scene is done. Only ever grows by one.
constexpr int32_t kSceneCount = 8;
extern int32_t gSceneIndex;

// Start-up: OpenGL state, the loading picture, every asset, then the music.
void initDemo(DemoContext* ctx);

// Draws one frame of the running scene; posts the quit message after the last scene.
void renderFrame();
