// What the show reads from its working directory: the pictures, each with the sprite it
// becomes, in the order start-up loads them, and the soundtrack. The pictures are listed
// in src/demo/pictures.tsv, made into demo/pictures.h at build time.
#pragma once

#include <memory>

#include "demo/pictures.h"

struct Sprite;
class Show;

constexpr const char* kMusicFile = "music.mp3";

struct SpriteAsset {
    const char* name;  // the sprite's name in the code
    const char* file;
    std::unique_ptr<Sprite> Show::*sprite;
};
extern const SpriteAsset kSpriteAssets[kSpriteAssetCount];
