// Start-up: the OpenGL state every scene relies on, the loading picture, every asset in a
// fixed order; and what brings a show back to its first frame or on to any other.
#include "demo/show.h"

#include "audio/music_stream.h"
#include "base/report_error.h"
#include "demo/assets.h"
#include "gfx/blob_field.h"
#include "gfx/gl_window.h"
#include "gfx/light.h"
#include "gfx/picture_loader.h"
#include "gfx/render_target.h"
#include "platform/clock.h"
#include "platform/gl.h"

namespace {

// The blob field is the random sequence's one user: the same burst on every run.
constexpr uint32_t kRandomSeed = 329;

}  // namespace

// Storhallen, GubbHode and the two Ropert pictures are loaded like the rest but no scene
// draws them.
const SpriteAsset kSpriteAssets[kSpriteAssetCount] = {
#define HOPSASA_SPRITE_ASSET(name, file) {#name, file, &Show::name},
    HOPSASA_SPRITE_PICTURES(HOPSASA_SPRITE_ASSET)
#undef HOPSASA_SPRITE_ASSET
};

Show::Show(GLWindow& window) : window(window), context{&window, nullptr} {
    initDemo();
}

// The GLU quadric is the one object not owned through a smart pointer.
Show::~Show() {
    if (quadric)
        gluDeleteQuadric(quadric);
}

void Show::initDemo() {
    glEnable(GL_DEPTH_TEST);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glShadeModel(GL_SMOOTH);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glClearColor(0, 0, 0, 1);

    loadAssets();
    blobField->random.seed(kRandomSeed);
}

void Show::loadAssets() {
    // The sprites' pictures are decoded ahead from here on, on threads beside this one.
    std::vector<const char*> files;
    for (const SpriteAsset& asset : kSpriteAssets)
        files.push_back(asset.file);
    PictureLoader pictures(files, PictureLoader::threadsForThisMachine());

    Sprite loading(kLoadingPicture);

    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    loading.color[0] = loading.color[1] = loading.color[2] = 1;
    screen = {window.width, window.height};
    if (screen.width != 0 && screen.height != 0) {
        loading.centerX = screen.width / 2;
        loading.centerY = screen.height / 2;
        drawOverlay(loading, screen);
    } else {
        reportError("Can't draw overlay without window size.");
    }
    // The one frame presented before the scenes: the loading picture stays on screen until
    // the first scene frame replaces it. A quit message taken here is simply used up.
    window.pumpFrame();

    // The soundtrack is opened (and scanned whole) before the pictures, started after them.
    music = std::make_unique<MusicStream>(kMusicFile);
    for (const SpriteAsset& asset : kSpriteAssets)
        this->*asset.sprite = std::make_unique<Sprite>(asset.file, pictures);

    light = std::make_unique<Light>();
    blobField = std::make_unique<BlobField>(kBlobPicture);
    screenTarget = std::make_unique<RenderTarget>(&window, 800, 600);
    smallTarget = std::make_unique<RenderTarget>(&window, 128, 128);
    quadric = gluNewQuadric();
    gluQuadricTexture(quadric, GL_TRUE);
    gluQuadricOrientation(quadric, GLU_OUTSIDE);
    gluQuadricNormals(quadric, GLU_SMOOTH);
    // Leaving the scope gives the loading picture's texture back.
}

void Show::startMusic(double seconds) {
    ::startMusic(*music, seconds);
}

void Show::reset() {
    sceneIndex = 0;
    for (SceneClock& clock : sceneClocks)
        clock = SceneClock{};
    scenes = SceneStates{};
    blobField->reset();
    blobField->random.seed(kRandomSeed);
}

void Show::seek(int64_t frame, const FrameTimes& times) {
    platform::setManualCounter(times.tick(0));
    reset();
    const SceneAtFrame at = sceneAt(frame, times.fps);
    sceneIndex = at.scene;
    if (finished())
        return;

    // The replayed frames only move the scene on; one pixel of them is enough to draw.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 1, 1);
    for (int64_t k = at.firstFrame; k < frame; ++k) {
        platform::setManualCounter(times.tick(k));
        renderFrame();
    }
    glDisable(GL_SCISSOR_TEST);
    platform::setManualCounter(times.tick(frame));
}
