// The scene sequencer: one call per frame clears the frame, refreshes the music's spectrum
// and hands the frame to the running scene; a scene that reports done gives way to the next
// one from the next frame on. After the last scene every call posts the quit message.
#include <GL/gl.h>

#include "audio/music_stream.h"
#include "demo/demo.h"
#include "demo/scenes/scenes.h"
#include "platform/display.h"

DemoContext* gDemo = nullptr;
int32_t gSceneIndex = 0;

namespace {

using SceneFrame = bool (*)();

const SceneFrame kScenes[kSceneCount] = {
    sceneTitleCard,     sceneWideBackdrop, sceneBubblesAndFigure, sceneTalkingCrab,
    sceneSupercrabCard, sceneBlobBurst,    sceneCrowdAndCard,     sceneCreditsCard,
};

}  // namespace

void renderFrame() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    if (gMusic)
        gMusic->refreshSpectrum();
    if (gDemo)
        gDemo->music = gMusic;

    if (gSceneIndex >= 0 && gSceneIndex < kSceneCount) {
        // At most one scene change per frame: the next scene starts its clock on its own
        // first call, next frame.
        if (kScenes[gSceneIndex]())
            ++gSceneIndex;
    } else {
        platform::postQuitMessage();
    }
}
