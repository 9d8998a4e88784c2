// What the show reads from its working directory: the pictures, each with the sprite it
// becomes, in the order start-up loads them, and the soundtrack. The pictures are listed
// in src/demo/pictures.tsv, made into demo/pictures.h at build time.
#pragma once

#include <memory>

#include "demo/pictures.h"

struct Sprite;
class Show;

constexpr const char* kMusicFile = "music.mp3";

// The sprites the show makes of its pictures, one for each of the table's, named as it
// names them.
struct ShowSprites {
#define HOPSASA_SPRITE_MEMBER(name, file) std::unique_ptr<Sprite> name;
    HOPSASA_SPRITE_PICTURES(HOPSASA_SPRITE_MEMBER)
#undef HOPSASA_SPRITE_MEMBER
};

struct SpriteAsset {
    const char* name;  // the sprite's name in the code
    const char* file;
    std::unique_ptr<Sprite> Show::*sprite;
};
extern const SpriteAsset kSpriteAssets[kSpriteAssetCount];
