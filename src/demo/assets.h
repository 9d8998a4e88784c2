// The show's program-wide objects, made once by start-up and never freed.
#pragma once

#include <GL/glu.h>

#include <cstdint>

struct Sprite;
struct MusicStream;
class Light;
class BlobField;
struct RenderTarget;

extern Sprite* sprBoble1;
extern Sprite* sprBoble2;
extern Sprite* sprBoble3;
extern Sprite* sprBoble4;
extern Sprite* sprBoble5;
extern Sprite* sprBoble6;
extern Sprite* sprBoble7;
extern Sprite* sprTittel;
extern Sprite* sprBg1;
extern Sprite* sprStorhallen;
extern Sprite* sprGubbHode;
extern Sprite* sprGubbKropp;
extern Sprite* sprGubb;
extern Sprite* sprGubbFlip;
extern Sprite* sprRor;
extern Sprite* sprDemosceneRad;
extern Sprite* sprSupercrab;
extern Sprite* sprSavedTheDay;
extern Sprite* sprScenefolk1;
extern Sprite* sprScenefolk2;
extern Sprite* sprRopert1;
extern Sprite* sprRopert2;
extern Sprite* sprOksOpp;
extern Sprite* sprOksNed;
extern Sprite* sprKrabbe1;
extern Sprite* sprKrabbe2;
extern Sprite* sprKrabbeSnakk1;
extern Sprite* sprKrabbeSnakk2;
extern Sprite* sprCredits;

extern Light* gLight;
extern BlobField* gBlobField;
extern RenderTarget* gScreenTarget;
extern RenderTarget* gSmallTarget;
extern GLUquadric* gQuadric;

// The pictures of the scenes in the order they load, with the sprite each one becomes.
struct SpriteAsset {
    const char* file;
    Sprite** sprite;
};
constexpr int kSpriteAssetCount = 29;
extern const SpriteAsset kSpriteAssets[kSpriteAssetCount];

struct DemoContext;

// Loads everything the scenes use, after showing the loading picture once.
void loadAssets(DemoContext* ctx);
