// The show's timeline: start-up and the per-frame scene sequencer.
#pragma once

class GLWindow;
struct MusicStream;

struct DemoContext {
    GLWindow* window = nullptr;
    MusicStream* music = nullptr;  // set to gMusic by every frame
};

extern DemoContext* gDemo;

// Start-up: OpenGL state, the loading picture, every asset, then the music.
void initDemo(DemoContext* ctx);

// Draws one frame of the running scene; posts the quit message after the last scene.
void renderFrame();
