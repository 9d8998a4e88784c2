#include "gfx/blob_field.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "gfx/random.h"
#include "platform/gl.h"
#include "support/pictures.h"
#include "support/show_test.h"

namespace {

const Rgba kBlack{0, 0, 0, 255};
const Rgba kRed{255, 0, 0, 255};

// The field reads "blob.png" from the working directory: each test gets a folder with a
// white one.
class BlobFieldTest : public ShowTest {
  protected:
    void SetUp() override {
        ShowTest::SetUp();
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir.root());
        writeSolidPng("blob.png", 64, 64, {255, 255, 255, 255});
        clear();
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        ShowTest::TearDown();
    }

    static void clear() {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    // Keeps blob `index` alone alive, at rest at (x, y) in view pixels, y upwards.
    static void isolate(BlobField& field, int index, float x, float y) {
        for (Blob& blob : field.blobs)
            blob.alive = false;
        Blob& blob = field.blobs[index];
        blob.alive = true;
        blob.x = x;
        blob.y = y;
        blob.vx = 0;
        blob.vy = 0;
    }

    // The screen pixel of view point (x, y): the view's y runs upwards from the bottom.
    static Rgba viewPixel(int x, int y) { return pixelAt(x, 599 - y); }

    TempDir dir;

  private:
    std::filesystem::path previous_;
};

std::vector<int> aliveIndices(const BlobField& field) {
    std::vector<int> result;
    for (int i = 0; i < BlobField::kBlobCount; ++i) {
        if (field.blobs[i].alive)
            result.push_back(i);
    }
    return result;
}

}  // namespace

TEST(Random, FixedSequenceInRange) {
    // The classic sequence for seed 1, the same on every machine.
    Random random;
    EXPECT_EQ(random.next(), 41);
    EXPECT_EQ(random.next(), 18467);
    EXPECT_EQ(random.next(), 6334);

    random.seed(329);
    std::vector<int> first;
    std::set<int> distinct;
    for (int i = 0; i < 10000; ++i) {
        int value = random.next();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, 32767);
        first.push_back(value);
        distinct.insert(value);
    }
    EXPECT_GT(distinct.size(), 7000u);
    random.seed(329);
    for (int value : first)
        ASSERT_EQ(random.next(), value);
}

TEST_F(BlobFieldTest, SpawnFillsTheLowestFreeRecordsThreeAtATime) {
    BlobField field("blob.png");
    field.random.seed(329);
    EXPECT_TRUE(field.texture->loaded);
    EXPECT_TRUE(aliveIndices(field).empty());

    advanceClock(0.25);
    for (int i = 0; i < 3; ++i)
        field.spawn(400, 300, 2);
    EXPECT_EQ(aliveIndices(field), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    for (int i = 0; i < 9; ++i) {
        const Blob& blob = field.blobs[i];
        EXPECT_EQ(blob.x, 400);
        EXPECT_EQ(blob.y, 300);
        EXPECT_EQ(blob.life, 2);
        EXPECT_EQ(blob.lastMs, 250);
        EXPECT_GE(blob.vx, -500);
        EXPECT_LE(blob.vx, 500);
        EXPECT_GE(blob.vy, -500);
        EXPECT_LE(blob.vy, 500);
    }
    EXPECT_NE(field.blobs[0].vx, field.blobs[1].vx);

    field.blobs[4].alive = false;
    advanceClock(0.5);
    field.spawn(10, 20, 1);
    EXPECT_EQ(aliveIndices(field), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(field.blobs[4].x, 10);
    EXPECT_EQ(field.blobs[4].lastMs, 750);
    EXPECT_EQ(field.blobs[10].y, 20);
    EXPECT_EQ(field.blobs[3].x, 400);
}

TEST_F(BlobFieldTest, VelocitiesComeFromTwoDrawsEach) {
    Random random;
    random.seed(329);
    int r1 = random.next();
    int r2 = random.next();
    BlobField field("blob.png");
    field.random.seed(329);
    field.spawn(0, 0, 1);
    float unit1 = static_cast<float>(r1 / 32767.0);
    float unit2 = static_cast<float>(r2 / 32767.0);
    EXPECT_EQ(field.blobs[0].vx, static_cast<float>(unit1 * 1000.0 - 500.0));
    EXPECT_EQ(field.blobs[0].vy, static_cast<float>(unit2 * 1000.0 - 500.0));
}

TEST_F(BlobFieldTest, FullPoolTakesNothingSilently) {
    BlobField field("blob.png");
    field.random.seed(329);
    for (int i = 0; i < 342; ++i)
        field.spawn(1, 1, 1);
    EXPECT_EQ(aliveIndices(field).size(), 1024u);
    field.blobs[1023].x = 55;
    field.spawn(2, 2, 1);
    EXPECT_EQ(field.blobs[1023].x, 55);
    EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(BlobFieldTest, BlobOfLifeTwoLivesFourSecondsAndIsDrawnOnItsLastUpdate) {
    BlobField field("blob.png");
    field.random.seed(329);
    field.spawn(0, 0, 2);
    isolate(field, 1, 400, 300);
    // Up and back down in four one-second steps; the position moves with the velocity from
    // before each step, so it comes back exactly to its height.
    Blob& blob = field.blobs[1];
    blob.vx = -25;
    blob.vy = 1125;
    const float expectedY[4] = {1425, 1800, 1425, 300};
    for (int step = 0; step < 4; ++step) {
        EXPECT_TRUE(blob.alive) << "step " << step;
        advanceClock(1.0);
        clear();
        field.updateAndDraw();
        EXPECT_EQ(blob.x, 400 - 25 * (step + 1)) << "step " << step;
        EXPECT_EQ(blob.y, expectedY[step]) << "step " << step;
        EXPECT_EQ(blob.life, 1.5f - 0.5f * step) << "step " << step;
    }
    EXPECT_EQ(blob.vy, 1125 - 4 * 750);
    EXPECT_FALSE(blob.alive);
    EXPECT_TRUE(viewPixel(300, 300).closeTo(kRed)) << viewPixel(300, 300);

    advanceClock(1.0);
    clear();
    field.updateAndDraw();
    EXPECT_TRUE(viewPixel(300, 300).closeTo(kBlack));
}

TEST_F(BlobFieldTest, BlobWithoutLifeIsDrawnOnceThenDies) {
    BlobField field("blob.png");
    field.random.seed(329);
    field.spawn(0, 0, 0);
    isolate(field, 2, 400, 300);
    field.blobs[2].life = 0;
    field.updateAndDraw();
    EXPECT_TRUE(viewPixel(400, 300).closeTo(kRed));
    EXPECT_FALSE(field.blobs[2].alive);

    clear();
    field.updateAndDraw();
    EXPECT_TRUE(viewPixel(400, 300).closeTo(kBlack));
}

TEST_F(BlobFieldTest, EachBlobStepsByItsOwnWholeMilliseconds) {
    BlobField field("blob.png");
    field.random.seed(329);
    field.spawn(0, 0, 5);
    isolate(field, 0, 400, 300);
    field.blobs[0].vx = 100;
    field.blobs[0].vy = 200;

    advanceClock(0.5);
    field.updateAndDraw();
    Blob moved = field.blobs[0];
    EXPECT_EQ(moved.x, 450);
    EXPECT_EQ(moved.lastMs, 500);

    // Still the same millisecond: drawn, not moved.
    advanceClock(0.0004);
    field.updateAndDraw();
    EXPECT_EQ(field.blobs[0].x, moved.x);
    EXPECT_EQ(field.blobs[0].y, moved.y);
    EXPECT_EQ(field.blobs[0].vy, moved.vy);
    EXPECT_EQ(field.blobs[0].life, moved.life);

    // A blob spawned later counts from its own spawning, not from the last frame.
    advanceClock(0.2496);
    field.spawn(100, 100, 5);
    Blob& late = field.blobs[1];
    late.vx = 1000;
    late.vy = 0;
    EXPECT_EQ(late.lastMs, 750);
    advanceClock(0.25);
    field.updateAndDraw();
    EXPECT_EQ(late.x, 350);
    EXPECT_EQ(field.blobs[0].x, 500);
}

TEST_F(BlobFieldTest, BlobsOffTheViewAreStillStepped) {
    BlobField field("blob.png");
    field.random.seed(329);
    field.spawn(0, 0, 3);
    isolate(field, 0, -1000, 5000);
    field.blobs[0].vx = 10;
    advanceClock(1.0);
    field.updateAndDraw();
    EXPECT_EQ(field.blobs[0].x, -990);
    EXPECT_EQ(field.blobs[0].y, 5000);
    EXPECT_EQ(field.blobs[0].life, 2.5f);
    EXPECT_TRUE(field.blobs[0].alive);
}

TEST_F(BlobFieldTest, SquaresSitWhereTheModelSays) {
    BlobField field("blob.png");
    field.random.seed(329);
    field.spawn(0, 0, 3);
    // -10.7 truncates to -10 (a floor would give -11): the square spans x -30 to 10.
    isolate(field, 0, -10.7f, 300.9f);
    field.updateAndDraw();
    EXPECT_TRUE(viewPixel(9, 300).closeTo(kRed));
    EXPECT_TRUE(viewPixel(10, 300).closeTo(kBlack));
    EXPECT_TRUE(viewPixel(0, 280).closeTo(kRed));
    EXPECT_TRUE(viewPixel(0, 279).closeTo(kBlack));
    EXPECT_TRUE(viewPixel(0, 319).closeTo(kRed));
    EXPECT_TRUE(viewPixel(0, 320).closeTo(kBlack));

    // A burst in flight: every live blob's centre is red, the corners of the screen are not.
    clear();
    BlobField burst("blob.png");
    burst.random.seed(329);
    for (int i = 0; i < 3; ++i)
        burst.spawn(400, 300, 2);
    advanceClock(0.3);
    burst.updateAndDraw();
    for (int i : aliveIndices(burst)) {
        int x = static_cast<int>(burst.blobs[i].x);
        int y = static_cast<int>(burst.blobs[i].y);
        if (x < 0 || x >= 800 || y < 0 || y >= 600)
            continue;
        EXPECT_TRUE(viewPixel(x, y).closeTo(kRed)) << "blob " << i << " at " << x << ", " << y;
    }
    EXPECT_TRUE(viewPixel(0, 0).closeTo(kBlack));
    EXPECT_TRUE(viewPixel(799, 599).closeTo(kBlack));
}

TEST_F(BlobFieldTest, MissingPictureLeavesRedUntexturedSquares) {
    std::filesystem::remove("blob.png");
    BlobField field("blob.png");
    field.random.seed(329);
    EXPECT_EQ(sink.texts(), std::vector<std::string>{
                                "Texture load: Can't load the texture in file 'blob.png' for some "
                                "reason."});
    EXPECT_FALSE(field.texture->loaded);
    field.spawn(0, 0, 1);
    isolate(field, 0, 400, 300);
    field.updateAndDraw();
    EXPECT_TRUE(viewPixel(400, 300).closeTo(kRed));
}

TEST_F(BlobFieldTest, DrawLeavesTheDocumentedState) {
    BlobField field("blob.png");
    field.random.seed(329);
    field.spawn(400, 300, 1);
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(3, 4, -5);
    std::array<GLfloat, 16> modelview{}, projection{}, after{};
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview.data());
    glGetFloatv(GL_PROJECTION_MATRIX, projection.data());
    glMatrixMode(GL_PROJECTION);

    field.updateAndDraw();

    GLint value = 0;
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_MODELVIEW);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    glGetIntegerv(GL_BLEND_SRC, &value);
    EXPECT_EQ(value, GL_SRC_ALPHA);
    glGetIntegerv(GL_BLEND_DST, &value);
    EXPECT_EQ(value, GL_ONE_MINUS_SRC_ALPHA);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(static_cast<GLuint>(value), field.texture->id);
    std::array<GLfloat, 4> color{};
    glGetFloatv(GL_CURRENT_COLOR, color.data());
    EXPECT_EQ(color, (std::array<GLfloat, 4>{1, 0, 0, 1}));
    glGetFloatv(GL_MODELVIEW_MATRIX, after.data());
    EXPECT_EQ(after, modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, after.data());
    EXPECT_EQ(after, projection);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(BlobFieldTest, SameSeedAndClockGiveTheSamePicture) {
    auto run = [] {
        BlobField field("blob.png");
        field.random.seed(329);
        clear();
        for (int frame = 0; frame < 30; ++frame) {
            if (frame < 10)
                field.spawn(400, 300, 2);
            advanceClock(1.0 / 60);
            field.updateAndDraw();
        }
        return readScreen();
    };
    std::vector<uint8_t> first = run();
    std::vector<uint8_t> second = run();
    EXPECT_TRUE(first == second);
    // Not a blank screen compared with itself.
    EXPECT_NE(std::count(first.begin(), first.end(), 255), 0);
}
