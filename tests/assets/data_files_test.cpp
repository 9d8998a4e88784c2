// The show's own files in data/: every picture of the start-up table is there, decodes
// through the show's loader without a message, and has the size its scene was made for.
#include <string>
#include <vector>

#include "demo/assets.h"
#include "gfx/texture.h"
#include "support/show_test.h"

namespace {

struct Expected {
    const char* file;
    int width;
    int height;
};

// Full-screen cards at 1024x512 (stretched to the screen), the wide hall four screens
// wide, sprites at power-of-two sizes at which their scenes draw them.
const std::vector<Expected> kExpected = {
    {"loading.png", 512, 256},
    {"boble1.png", 256, 128},
    {"boble2.png", 256, 128},
    {"boble3.png", 256, 128},
    {"boble4.png", 256, 128},
    {"boble5.png", 256, 128},
    {"boble6.png", 256, 128},
    {"boble7.png", 256, 128},
    {"tittel.png", 1024, 512},
    {"bg1.png", 2048, 512},
    {"storhallen.png", 128, 128},
    {"gubbhode.png", 128, 128},
    {"gubbkropp.png", 512, 512},
    {"gubb.png", 512, 512},
    {"gubb_flip.png", 256, 256},
    {"ror.png", 512, 128},
    {"demoscenerad.jpg", 1024, 512},
    {"supercrab.png", 1024, 512},
    {"savedtheday.png", 1024, 512},
    {"Scenefolk_01.png", 1024, 512},
    {"Scenefolk_02.png", 1024, 512},
    {"ropert1.png", 128, 128},
    {"ropert2.png", 128, 128},
    {"oks_opp.png", 512, 512},
    {"oks_ned.png", 512, 512},
    {"krabbe1.png", 256, 256},
    {"krabbe2.png", 256, 256},
    {"krabbesnakk1.png", 256, 256},
    {"krabbesnakk2.png", 256, 256},
    {"credits.png", 1024, 512},
    {"blob.png", 64, 64},
};

}  // namespace

TEST_F(ShowTest, EveryPictureOfTheShowLoadsAtItsDesignedSize) {
    // The table above covers the loading picture, every sprite of start-up and the blob.
    ASSERT_EQ(kExpected.size(), static_cast<size_t>(kSpriteAssetCount) + 2);
    for (const SpriteAsset& asset : kSpriteAssets) {
        bool listed = false;
        for (const Expected& e : kExpected)
            listed = listed || std::string(e.file) == asset.file;
        EXPECT_TRUE(listed) << asset.file;
    }
    for (const Expected& e : kExpected) {
        Texture texture;
        const std::string path = std::string(HOPSASA_SOURCE_DIR "/data/") + e.file;
        EXPECT_TRUE(loadTexture(texture, path.c_str())) << e.file;
        EXPECT_EQ(texture.width, e.width) << e.file;
        EXPECT_EQ(texture.height, e.height) << e.file;
    }
    EXPECT_TRUE(sink.boxes.empty()) << sink.texts().front();
}
