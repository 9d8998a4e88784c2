// The eight scenes in play order, and the state each keeps.
//
// A scene is a name, a length and two functions. `place` runs on the scene's first frame
// and places the pictures it draws, each from the placement it was loaded with;
// `drawFrame` runs on every frame of the scene, the first included, and draws the whole
// frame over the cleared screen at scene time `t`, the seconds since the scene's first
// frame. The sequencer owns the clock: a scene is done on its first frame whose time, read
// again after drawing, is more than its length, and that frame is still drawn in full.
//
// Each scene keeps what it places and moves in a state struct of its own, which the show
// holds and resets; a scene's functions are handed that state alone, so no scene reads or
// writes another scene's state. So a scene's frames
// depend on nothing but its own first frame's time, and the show can start at any scene.
#pragma once

#include <cstdint>

#include "gfx/sprite.h"

class BlobField;
struct SceneStates;
struct ShowSprites;

// What a scene sees of the show besides its own state: the screen, the show's pictures and
// the blob field.
struct Stage {
    Screen screen;
    const ShowSprites& sprites;
    BlobField& blobField;
};

// The sequencer calls both with every scene's state; each scene's own functions see only
// their scene's (sceneOf in scene_common.h makes the two from them).
struct Scene {
    const char* name;
    float length;  // seconds
    void (*place)(SceneStates& states, const Stage& stage);
    void (*drawFrame)(SceneStates& states, const Stage& stage, float t);
};

constexpr int32_t kSceneCount = 8;

// A picture as a scene places it: one of the show's pictures, and the scene's own placement
// of it.
struct PlacedPicture : Placement {
    const Sprite* picture = nullptr;
};

// 0, 4, 7: a picture over the whole screen.
struct CardState {
    PlacedPicture card;
};
extern const Scene kTitleCard;      // 0: the title
extern const Scene kSupercrabCard;  // 4: the supercrab card
extern const Scene kCreditsCard;    // 7: the credits

// 1: the old man on the wide hall.
struct WideBackdropState {
    PlacedPicture bg1, gubb, boble1, boble2, ror;
    bool arrived = false;  // he reached the top left corner
};
extern const Scene kWideBackdrop;

// 2: at the party, three bubbles, then the two-pose figure.
struct BubblesAndFigureState {
    PlacedPicture demosceneRad, gubbFlip, oksOpp, oksNed, boble3, boble4, boble5;
};
extern const Scene kBubblesAndFigure;

// 3: the crab talks on white.
struct TalkingCrabState {
    PlacedPicture krabbeSnakk1, krabbeSnakk2, boble6, boble7;
};
extern const Scene kTalkingCrab;

// 5: crab, old man and the burst of blobs.
struct BlobBurstState {
    PlacedPicture gubb, gubbKropp, krabbe1, krabbe2;
};
extern const Scene kBlobBurst;

// 6: the cheering crowd, then the spinning card.
struct CrowdAndCardState {
    PlacedPicture savedTheDay, scenefolk1, scenefolk2;
};
extern const Scene kCrowdAndCard;

// Every scene's state, as before its first frame.
struct SceneStates {
    CardState titleCard;
    WideBackdropState wideBackdrop;
    BubblesAndFigureState bubblesAndFigure;
    TalkingCrabState talkingCrab;
    CardState supercrabCard;
    BlobBurstState blobBurst;
    CrowdAndCardState crowdAndCard;
    CardState creditsCard;
};

// The scenes in play order.
extern const Scene* const kScenes[kSceneCount];
