// The scene sequencer: one call per frame clears the frame, refreshes the music's spectrum
// and hands the frame to the running scene; a scene that is done gives way to the next one
// from the next frame on. After the last scene every call posts the quit message.

#include "audio/music_stream.h"
#include "demo/show.h"
#include "platform/display.h"
#include "platform/gl.h"

const Scene* const kScenes[kSceneCount] = {
    &kTitleCard,     &kWideBackdrop, &kBubblesAndFigure, &kTalkingCrab,
    &kSupercrabCard, &kBlobBurst,    &kCrowdAndCard,     &kCreditsCard,
};

void Show::renderFrame() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    music->refreshSpectrum();
    context.music = music.get();

    if (sceneIndex < 0 || sceneIndex >= kSceneCount) {
        platform::postQuitMessage();
        return;
    }
    const Scene& scene = *kScenes[sceneIndex];
    SceneClock& clock = sceneClocks[sceneIndex];
    // The clock starts on the scene's first frame, and that frame places its pictures.
    const bool first = !clock.started;
    if (first) {
        clock.clock.start();
        clock.started = true;
    }
    clock.clock.update();
    const float t = clock.clock.elapsed;
    const Stage stage{screen, *this, *blobField};
    if (first)
        scene.place(scenes, stage);
    scene.drawFrame(scenes, stage, t);

    // Read again after drawing, so the frame that ends the scene is still drawn in full; a
    // reading of exactly the length does not end it. At most one scene change per frame.
    clock.clock.update();
    if (clock.clock.elapsed > scene.length)
        ++sceneIndex;
}

int64_t sceneFrames(const Scene& scene, int fps) {
    // Frame n of the scene is drawn n ticks after its first, at fps ticks a second.
    int64_t n = 0;
    while (!(stopwatchSeconds(n, fps) > scene.length))
        ++n;
    return n + 1;
}

int64_t showFrames(int fps) {
    int64_t frames = 0;
    for (const Scene* scene : kScenes)
        frames += sceneFrames(*scene, fps);
    return frames;
}

SceneAtFrame sceneAt(int64_t frame, int fps) {
    SceneAtFrame at;
    for (; at.scene < kSceneCount; ++at.scene) {
        const int64_t frames = sceneFrames(*kScenes[at.scene], fps);
        if (frame < at.firstFrame + frames)
            return at;
        at.firstFrame += frames;
    }
    return at;
}
