// What the show reads from its working directory: the pictures, each with the sprite it
// becomes, in the order start-up loads them, and the soundtrack.
#pragma once

#include <memory>

struct Sprite;
class Show;

constexpr const char* kLoadingPicture = "loading.png";
constexpr const char* kBlobPicture = "blob.png";
constexpr const char* kMusicFile = "music.mp3";

struct SpriteAsset {
    const char* name;  // the sprite's name in the code
    const char* file;
    std::unique_ptr<Sprite> Show::*sprite;
};
constexpr int kSpriteAssetCount = 29;
extern const SpriteAsset kSpriteAssets[kSpriteAssetCount];
