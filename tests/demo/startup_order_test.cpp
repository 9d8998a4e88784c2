// Start-up's pictures decoded ahead on threads: the same messages in the same order as
// loading them one after another, a failed picture leaving its texture as it was, every
// texture made from its own file.
#include <fstream>
#include <string>
#include <vector>

#include "gfx/picture_loader.h"
#include "gfx/texture.h"
#include "platform/gl.h"
#include "support/pictures.h"
#include "support/show_test.h"

namespace {

// Level 0 of a texture, RGBA, texture row 0 first; empty without a texture.
std::vector<uint8_t> level0(const Texture& texture) {
    if (texture.id == 0)
        return {};
    glBindTexture(GL_TEXTURE_2D, texture.id);
    GLint width = 0;
    GLint height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    std::vector<uint8_t> texels(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

// What a load left in its record.
struct Outcome {
    bool result = false;
    bool loaded = false;
    bool keptOldTexture = false;  // the record still holds the texture it had before
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> texels;

    bool operator==(const Outcome&) const = default;
};

class StartupOrderTest : public ShowTest {
  protected:
    // Files of every kind start-up can meet, in the order of a start-up's list: pictures
    // for the decoder (PNG, JPEG, BMP) that load, that are missing, that are not pictures,
    // that have the wrong depth; TGA files, good and broken, for the main thread's own
    // reader; and a name no reader takes.
    void writeFiles() {
        writeSolidPng(dir.path("first.png"), 64, 32, {200, 100, 30, 255});
        writeSolidJpeg(dir.path("photo.jpg"), 40, 24, {60, 60, 200, 255});
        writeSolidPng(dir.path("grey.png"), 16, 16, {90, 90, 90, 255}, PngKind::grey);
        std::ofstream(dir.path("text.png")) << "not a picture\n";
        writeTga(dir.path("good.tga"), solidPicture(8, 4, {10, 220, 30, 255}));
        std::ofstream(dir.path("cut.tga")) << "TGA";
        writeBmp(dir.path("plain.bmp"), solidPicture(20, 10, {255, 128, 0, 255}));
        writeSolidPng(dir.path("alpha.png"), 32, 32, {0, 255, 0, 128}, PngKind::rgba);
        writeSolidPng(dir.path("last.png"), 128, 64, {128, 0, 128, 255});
        for (const char* name : {"missing_first.png", "first.png", "photo.jpg", "grey.png",
                                 "text.png", "good.tga", "missing.jpg", "cut.tga", "notes.txt",
                                 "plain.bmp", "alpha.png", "last.png", "missing_last.png"}) {
            list.push_back(dir.path(name));
        }
        for (const std::string& path : list)
            names.push_back(path.c_str());
    }

    // Loads the list into records that already hold a texture, through `load`, and one
    // picture more that is not the next one of the list; what became of every record, and
    // the messages in the order they came.
    template <typename Load>
    std::vector<Outcome> loadAll(Load load, std::vector<std::string>& messages) {
        sink.boxes.clear();
        std::vector<const char*> calls = names;
        calls.push_back(names[1]);
        std::vector<Outcome> outcomes;
        for (const char* name : calls) {
            Texture texture;
            const uint8_t old[4] = {1, 2, 3, 255};
            EXPECT_TRUE(uploadTexture(texture, old, 1, 1, 4, GL_RGBA, GL_RGBA));
            const uint32_t oldId = texture.id;
            Outcome outcome;
            outcome.result = load(texture, name);
            outcome.loaded = texture.loaded;
            outcome.keptOldTexture = texture.id == oldId;
            outcome.width = texture.width;
            outcome.height = texture.height;
            outcome.texels = level0(texture);
            outcomes.push_back(outcome);
        }
        messages = sink.texts();
        return outcomes;
    }

    TempDir dir;
    std::vector<std::string> list;
    std::vector<const char*> names;
};

}  // namespace

TEST_F(StartupOrderTest, DecodingAheadGivesTheMessagesAndTexturesOfLoadingOneByOne) {
    writeFiles();
    std::vector<std::string> serialMessages;
    const std::vector<Outcome> serial =
        loadAll([](Texture& texture, const char* name) { return loadTexture(texture, name); },
                serialMessages);
    // The list holds seven files that fail, each with its message, and the rest load.
    ASSERT_EQ(serialMessages.size(), 7u);
    int failed = 0;
    for (const Outcome& outcome : serial) {
        if (!outcome.result) {
            ++failed;
            EXPECT_TRUE(outcome.keptOldTexture && outcome.loaded) << "a failure leaves it be";
            EXPECT_EQ(outcome.width, 1);
        } else {
            EXPECT_FALSE(outcome.keptOldTexture);
        }
    }
    EXPECT_EQ(failed, 7);

    // No thread (the loader decodes each picture at its turn), one, and more than the
    // list lets decode ahead at once.
    for (int threads : {0, 1, 2, PictureLoader::kMaxAhead + 2}) {
        SCOPED_TRACE(testing::Message() << threads << " threads");
        std::vector<std::string> messages;
        PictureLoader loader(names, threads);
        const std::vector<Outcome> ahead = loadAll(
            [&loader](Texture& texture, const char* name) { return loader.load(texture, name); },
            messages);
        EXPECT_EQ(messages, serialMessages);
        ASSERT_EQ(ahead.size(), serial.size());
        for (size_t i = 0; i < serial.size(); ++i)
            EXPECT_TRUE(ahead[i] == serial[i]) << "call " << i;
    }
}

TEST_F(StartupOrderTest, ALoaderLeftEarlyStopsItsThreads) {
    writeFiles();
    // Pictures decoded ahead and never taken are freed with the loader.
    for (int taken : {0, 1, 3}) {
        PictureLoader loader(names, 2);
        for (int i = 0; i < taken; ++i) {
            Texture texture;
            loader.load(texture, names[i]);
        }
    }
    // The first one is missing; each loader reported it once when it was taken.
    EXPECT_EQ(sink.boxes.size(), 2u);
}
