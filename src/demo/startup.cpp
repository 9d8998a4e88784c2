// Start-up: the OpenGL state every scene relies on, the loading picture, every asset in a
// fixed order, then the music. A failed load is reported by its loader and start-up goes on
// with the next asset; nothing here is ever retried.
#include <GL/gl.h>
#include <GL/glu.h>

#include "app/gl_window.h"
#include "app/report_error.h"
#include "audio/music_stream.h"
#include "demo/assets.h"
#include "demo/demo.h"
#include "gfx/blob_field.h"
#include "gfx/light.h"
#include "gfx/random.h"
#include "gfx/render_target.h"
#include "gfx/sprite.h"

Sprite* sprBoble1 = nullptr;
Sprite* sprBoble2 = nullptr;
Sprite* sprBoble3 = nullptr;
Sprite* sprBoble4 = nullptr;
Sprite* sprBoble5 = nullptr;
Sprite* sprBoble6 = nullptr;
Sprite* sprBoble7 = nullptr;
Sprite* sprTittel = nullptr;
Sprite* sprBg1 = nullptr;
Sprite* sprStorhallen = nullptr;
Sprite* sprGubbHode = nullptr;
Sprite* sprGubbKropp = nullptr;
Sprite* sprGubb = nullptr;
Sprite* sprGubbFlip = nullptr;
Sprite* sprRor = nullptr;
Sprite* sprDemosceneRad = nullptr;
Sprite* sprSupercrab = nullptr;
Sprite* sprSavedTheDay = nullptr;
Sprite* sprScenefolk1 = nullptr;
Sprite* sprScenefolk2 = nullptr;
Sprite* sprRopert1 = nullptr;
Sprite* sprRopert2 = nullptr;
Sprite* sprOksOpp = nullptr;
Sprite* sprOksNed = nullptr;
Sprite* sprKrabbe1 = nullptr;
Sprite* sprKrabbe2 = nullptr;
Sprite* sprKrabbeSnakk1 = nullptr;
Sprite* sprKrabbeSnakk2 = nullptr;
Sprite* sprCredits = nullptr;

Light* gLight = nullptr;
BlobField* gBlobField = nullptr;
RenderTarget* gScreenTarget = nullptr;
RenderTarget* gSmallTarget = nullptr;
GLUquadric* gQuadric = nullptr;

// Storhallen, GubbHode and the two Ropert pictures are loaded like the rest but no scene
// draws them.
const SpriteAsset kSpriteAssets[kSpriteAssetCount] = {
    {"boble1.png", &sprBoble1},
    {"boble2.png", &sprBoble2},
    {"boble3.png", &sprBoble3},
    {"boble4.png", &sprBoble4},
    {"boble5.png", &sprBoble5},
    {"boble6.png", &sprBoble6},
    {"boble7.png", &sprBoble7},
    {"tittel.png", &sprTittel},
    {"bg1.png", &sprBg1},
    {"storhallen.png", &sprStorhallen},
    {"gubbhode.png", &sprGubbHode},
    {"gubbkropp.png", &sprGubbKropp},
    {"gubb.png", &sprGubb},
    {"gubb_flip.png", &sprGubbFlip},
    {"ror.png", &sprRor},
    {"demoscenerad.jpg", &sprDemosceneRad},
    {"supercrab.png", &sprSupercrab},
    {"savedtheday.png", &sprSavedTheDay},
    {"Scenefolk_01.png", &sprScenefolk1},
    {"Scenefolk_02.png", &sprScenefolk2},
    {"ropert1.png", &sprRopert1},
    {"ropert2.png", &sprRopert2},
    {"oks_opp.png", &sprOksOpp},
    {"oks_ned.png", &sprOksNed},
    {"krabbe1.png", &sprKrabbe1},
    {"krabbe2.png", &sprKrabbe2},
    {"krabbesnakk1.png", &sprKrabbeSnakk1},
    {"krabbesnakk2.png", &sprKrabbeSnakk2},
    {"credits.png", &sprCredits},
};

void initDemo(DemoContext* ctx) {
    // The blob field is the generator's one user: the same burst on every run.
    seedRandom(329);

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

    loadAssets(ctx);
    startMusic();
}

void loadAssets(DemoContext* ctx) {
    Sprite loading("loading.png");

    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    loading.color[0] = loading.color[1] = loading.color[2] = 1;
    gScreenWidth = ctx->window->width;
    gScreenHeight = ctx->window->height;
    if (gScreenWidth != 0 && gScreenHeight != 0) {
        loading.centerX = gScreenWidth / 2;
        loading.centerY = gScreenHeight / 2;
        drawOverlay(loading);
    } else {
        reportError("Can't draw overlay without window size.");
    }
    // The one frame presented before the scenes: the loading picture stays on screen until
    // the first scene frame replaces it. A quit message taken here is simply used up.
    ctx->window->pumpFrame();

    // The soundtrack is opened (and scanned whole) before the pictures, started after them.
    gMusic = new MusicStream();
    for (const SpriteAsset& asset : kSpriteAssets)
        *asset.sprite = new Sprite(asset.file);

    gLight = new Light();
    gBlobField = new BlobField();
    gScreenTarget = new RenderTarget(ctx->window, 800, 600);
    gSmallTarget = new RenderTarget(ctx->window, 128, 128);
    gQuadric = gluNewQuadric();
    gluQuadricTexture(gQuadric, GL_TRUE);
    gluQuadricOrientation(gQuadric, GLU_OUTSIDE);
    gluQuadricNormals(gQuadric, GLU_SMOOTH);
    // Leaving the scope gives the loading picture's texture back.
}
