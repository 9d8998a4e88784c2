// The show's own files in data/: every picture start-up loads is there and decodes through
// the show's loader without a message, at power-of-two sides, which OpenGL 1.1 stores as
// they are.
#include <string>
#include <vector>

#include "demo/assets.h"
#include "gfx/texture.h"
#include "support/show_test.h"

TEST_F(ShowTest, EveryPictureOfTheShowLoadsAtPowerOfTwoSides) {
    std::vector<std::string> files = {kLoadingPicture, kBlobPicture};
    for (const SpriteAsset& asset : kSpriteAssets)
        files.push_back(asset.file);
    for (const std::string& file : files) {
        Texture texture;
        const std::string path = HOPSASA_SOURCE_DIR "/data/" + file;
        EXPECT_TRUE(loadTexture(texture, path.c_str())) << file;
        for (int side : {texture.width, texture.height})
            EXPECT_TRUE(side >= 64 && (side & (side - 1)) == 0) << file << ": " << side;
    }
    EXPECT_EQ(sink.texts(), std::vector<std::string>{});
}
