// Start-up's pictures decoded ahead on threads: the same messages in the same order as
// loading them one after another, a failed picture leaving its texture as it was, every
// texture made from its own file, and a loader left early stopping its threads.
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "gfx/picture_loader.h"
#include "gfx/texture.h"
#include "platform/gl.h"
#include "support/pictures.h"
#include "support/show_test.h"

namespace {

// For each load: its result, whether the record kept the texture it had, its size, and
// level 0 of the texture it holds; then the messages in the order they came.
using Outcomes = std::pair<std::vector<std::vector<int>>, std::vector<std::string>>;

class StartupOrderTest : public ShowTest {
  protected:
    // Files of every kind start-up can meet, in the order of a start-up's list: pictures
    // for the decoder (PNG, JPEG, BMP) that load, that are missing, that are not pictures,
    // that have the wrong depth; TGA files, good and broken, for the main thread's own
    // reader; and a name no reader takes.
    void SetUp() override {
        ShowTest::SetUp();
        writeSolidPng(dir.path("first.png"), 64, 32, {200, 100, 30, 255});
        writeSolidJpeg(dir.path("photo.jpg"), 40, 24, {60, 60, 200, 255});
        writeSolidPng(dir.path("grey.png"), 16, 16, {90, 90, 90, 255}, PngKind::grey);
        std::ofstream(dir.path("text.png")) << "not a picture\n";
        writeTga(dir.path("good.tga"), solidPicture(8, 4, {10, 220, 30, 255}));
        std::ofstream(dir.path("cut.tga")) << "TGA";
        writeBmp(dir.path("plain.bmp"), solidPicture(20, 10, {255, 128, 0, 255}));
        writeSolidPng(dir.path("last.png"), 128, 64, {0, 255, 0, 128}, PngKind::rgba);
        for (const char* name :
             {"missing_first.png", "first.png", "photo.jpg", "grey.png", "text.png", "good.tga",
              "missing.jpg", "cut.tga", "notes.txt", "plain.bmp", "last.png", "missing_last.png"}) {
            list.push_back(dir.path(name));
        }
        for (const std::string& path : list)
            names.push_back(path.c_str());
    }

    // Loads the list through `load`, and one picture more that is not the next one of the
    // list, each into a record that already holds a texture.
    template <typename Load>
    Outcomes loadAll(Load load) {
        sink.boxes.clear();
        Outcomes outcomes;
        std::vector<const char*> calls = names;
        calls.push_back(names[1]);
        for (const char* name : calls) {
            Texture texture;
            const uint8_t old[4] = {1, 2, 3, 255};
            EXPECT_TRUE(uploadTexture(texture, old, 1, 1, 4, GL_RGBA, GL_RGBA));
            const uint32_t oldId = texture.id;
            std::vector<int> outcome = {load(texture, name), texture.id == oldId, texture.loaded,
                                        texture.width, texture.height};
            GLint width = 0, height = 0;
            glBindTexture(GL_TEXTURE_2D, texture.id);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
            std::vector<uint8_t> texels(static_cast<size_t>(width) * height * 4);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
            outcome.insert(outcome.end(), texels.begin(), texels.end());
            outcomes.first.push_back(outcome);
        }
        outcomes.second = sink.texts();
        return outcomes;
    }

    TempDir dir;
    std::vector<std::string> list;
    std::vector<const char*> names;
};

}  // namespace

TEST_F(StartupOrderTest, DecodingAheadGivesTheMessagesAndTexturesOfLoadingOneByOne) {
    const Outcomes serial =
        loadAll([](Texture& texture, const char* name) { return loadTexture(texture, name); });
    ASSERT_EQ(serial.second.size(), 7u) << "seven files of the list fail, each with a message";
    // No thread (the loader decodes each picture at its turn), one, and more than the
    // list lets decode ahead at once.
    for (int threads : {0, 1, 2, PictureLoader::kMaxAhead + 2}) {
        PictureLoader loader(names, threads);
        const Outcomes ahead = loadAll(
            [&loader](Texture& texture, const char* name) { return loader.load(texture, name); });
        EXPECT_EQ(ahead.second, serial.second) << threads << " threads";
        EXPECT_TRUE(ahead.first == serial.first) << threads << " threads";
    }

    // Pictures decoded ahead and never taken are freed with the loader. The first one is
    // missing; each loader that took it reported it once.
    sink.boxes.clear();
    for (int taken : {0, 1, 3}) {
        PictureLoader loader(names, 2);
        for (int i = 0; i < taken; ++i) {
            Texture texture;
            loader.load(texture, names[i]);
        }
    }
    EXPECT_EQ(sink.boxes.size(), 2u);
}
