// The show as one object: everything start-up makes (the pictures, the music, the light,
// the blob field, the render targets and the quadric), the sequencer's place in the scene
// table, and every scene's state. It can go back to its first frame, and start at any
// frame, without a new process.
//
// Every call needs the window's context current on the calling thread.
#pragma once

#include <cstdint>
#include <memory>

#include "base/stopwatch.h"
#include "demo/assets.h"
#include "demo/scenes/scenes.h"
#include "gfx/sprite.h"
#include "platform/gl.h"

class GLWindow;
struct MusicStream;
class Light;
class BlobField;
struct RenderTarget;

// What the show hands around of itself: its window, and the music, set by every frame.
struct DemoContext {
    GLWindow* window = nullptr;
    MusicStream* music = nullptr;
};

// A scene's clock, started on the scene's first frame.
struct SceneClock {
    Stopwatch clock;
    bool started = false;
};

// When each frame of a run is drawn: frame k at tick first + k * frequency / fps of the
// counter. The capture tool counts one tick a frame (frequency = fps); the show replays at
// the system counter's frequency, so that real time can take over where the replay ends.
struct FrameTimes {
    int64_t first = 0;
    int64_t frequency = 60;
    int fps = 60;
    int64_t tick(int64_t frame) const { return first + frame * frequency / fps; }
};

class Show : public ShowSprites {
  public:
    // Start-up: the OpenGL state every scene relies on, the loading picture presented
    // once, the soundtrack opened, every picture loaded in the asset table's order, then
    // the light, the blob field, the render targets and the quadric. A failed load is
    // reported by its loader and start-up goes on with the next one; nothing is retried.
    // The music is not started: startMusic does that, once the show stands where it is
    // to begin.
    explicit Show(GLWindow& window);
    ~Show();
    Show(const Show&) = delete;
    Show& operator=(const Show&) = delete;

    // Plays the music from `seconds` into it, at full volume; a failure is reported.
    void startMusic(double seconds = 0);

    // One frame: clears colour and depth, loads the identity model-view matrix, refreshes
    // the music's spectrum and draws the running scene, which gives way to the next one
    // from the next frame on once it is done. After the last scene it only posts the quit
    // message.
    void renderFrame();

    // Back to the first frame: scene 0 not yet started, every scene's state as before its
    // first frame, no blob alive, the blob field's clock started again from now and its
    // random sequence from the start. The pictures, the music and the GL state stay.
    void reset();

    // Brings the show to frame `frame` of a run timed by `times` on the manual counter,
    // which must be in use at `times.frequency`: back to the first frame, then to the start
    // of the scene that runs at that frame, whose earlier scenes leave nothing it reads,
    // then its frames before `frame` drawn but never presented. Leaves the counter at the
    // tick of `frame`, the next frame to draw. A frame past the end stops at the end.
    void seek(int64_t frame, const FrameTimes& times);

    bool finished() const { return sceneIndex >= kSceneCount; }

    // What the tests, the capture tool and the bench look at while the show runs: besides
    // the sprites (ShowSprites), the blob field, the render targets, the running scene and
    // each scene's state. Only the show itself changes them.
    std::unique_ptr<BlobField> blobField;
    std::unique_ptr<RenderTarget> screenTarget;
    std::unique_ptr<RenderTarget> smallTarget;
    // The running scene, 0 to kSceneCount - 1; kSceneCount once every scene is done. Only
    // ever grows by one a frame.
    int32_t sceneIndex = 0;
    SceneStates scenes;

  private:
    void initDemo();
    void loadAssets();

    GLWindow& window;
    DemoContext context;
    Screen screen;
    std::unique_ptr<MusicStream> music;
    std::unique_ptr<Light> light;
    GLUquadric* quadric = nullptr;
    SceneClock sceneClocks[kSceneCount];
};

// ---- The timeline at a frame rate ----------------------------------------------------
// What a run drawing one frame every 1/fps seconds makes of the scene table: a scene ends
// on its first frame whose clock reads more than its length.

// Frames the scene lasts, its last (done) frame included.
int64_t sceneFrames(const Scene& scene, int fps);

// Frames of the whole show: the frame after them posts the quit message.
int64_t showFrames(int fps);

// The scene that draws frame `frame`, and the frame on which it starts; kSceneCount and
// showFrames(fps) for a frame past the end.
struct SceneAtFrame {
    int32_t scene = 0;
    int64_t firstFrame = 0;
};
SceneAtFrame sceneAt(int64_t frame, int fps);
