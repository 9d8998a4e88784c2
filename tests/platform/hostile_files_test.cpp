// Files made to break the decoders, each one found by the fuzz targets or a bad-file run:
// the platform layer refuses them (or reads past what is wrong) instead of hanging,
// crashing or taking gigabytes. A decoder that hangs again runs into the test's time limit.
#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/image.h"
#include "support/pictures.h"
#include "support/show_test.h"

using namespace platform;

namespace {

std::vector<uint8_t> bigEndian32(uint32_t value) {
    return {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
}

void append(std::vector<uint8_t>& bytes, const std::vector<uint8_t>& more) {
    std::copy(more.begin(), more.end(), std::back_inserter(bytes));
}

// The signature and the header chunk of a PNG of the given size; the checksum is left
// zero, which the size check comes before.
std::vector<uint8_t> pngHeader(uint32_t width, uint32_t height) {
    std::vector<uint8_t> bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n',
                                  0,    0,   0,   13,  'I',  'H',  'D',  'R'};
    append(bytes, bigEndian32(width));
    append(bytes, bigEndian32(height));
    append(bytes, {8, 2, 0, 0, 0, 0, 0, 0, 0});
    return bytes;
}

int load(const std::string& path) {
    DecodedImage image;
    return image.load(path.c_str());
}

}  // namespace

TEST(HostilePictures, AreRefusedAtOnceAndOnlyPngJpegAndBmpDecodeWhateverTheName) {
    TempDir dir;
    // Found by decoded_picture_fuzz: a 4 x 4 PNG whose gAMA chunk claims 3.5 MB in a file of
    // 186 bytes. SDL_image's reader ignored the short read and libpng parsed stale bytes for
    // ever. The fuzz input's first byte picks the name; the file is the rest.
    const std::vector<uint8_t> input =
        readFile(HOPSASA_SOURCE_DIR
                 "/fuzz/regressions/decoded_picture_fuzz/png-chunk-longer-than-file-hang");
    ASSERT_EQ(input.size(), 187u);
    writeFile(dir.path("endless.png"), {input.begin() + 1, input.end()});
    // Sides over 16384: each would have SDL make and clear a surface of gigabytes before the
    // first row. The JPEG: SOI, an APP0 segment to skip, a baseline frame of 20000 x 30000.
    writeFile(dir.path("wide.png"), pngHeader(65535, 65535));
    writeFile(dir.path("huge.jpg"), {0xff, 0xd8, 0xff, 0xe0, 0,    4,    'J', 'F', 0xff, 0xc0, 0,
                                     11,   8,    0x75, 0x30, 0x4e, 0x20, 1,   1,   0x11, 0});
    std::vector<uint8_t> bmp = {'B', 'M', 54, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0};
    append(bmp, {0x60, 0xea, 0, 0, 0xa0, 0x15, 0xff, 0xff, 1, 0, 24, 0});  // 60000 x -60000
    bmp.resize(54, 0);
    writeFile(dir.path("huge.bmp"), bmp);
    // A 1 x 1 GIF, and an SVG (whose decoder leaked on broken input, found by fuzzing).
    writeFile(dir.path("gif.png"),
              {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0,   0, 0, 255, 255,
               255, ',', 0,   0,   0,   0,   1, 0, 1, 0, 0,    2, 2, 'D', 1, 0, ';'});
    const std::string svg = "<svg xmlns='http://www.w3.org/2000/svg' width='4' height='4'/>";
    writeFile(dir.path("svg.png"), {svg.begin(), svg.end()});
    // Content decides among the three; the largest side taken is 16384.
    writeSolidPng(dir.path("png.jpg"), 2, 2, {1, 2, 3, 255});
    writeBmp(dir.path("bmp.png"), solidPicture(2, 2, {1, 2, 3, 255}));
    writePng(dir.path("long.png"), solidPicture(16384, 1, {1, 2, 3, 255}));
    // Whole pictures one row taller than that, the BMP stored top row first (a height below
    // zero).
    writePng(dir.path("tall.png"), solidPicture(1, 16385, {1, 2, 3, 255}));
    writeBmp(dir.path("tall.bmp"), solidPicture(1, 16385, {1, 2, 3, 255}));
    bmp = readFile(dir.path("tall.bmp"));
    std::copy_n(std::vector<uint8_t>{0xff, 0xbf, 0xff, 0xff}.begin(), 4, bmp.begin() + 22);
    writeFile(dir.path("tall.bmp"), bmp);

    for (const char* name : {"endless.png", "wide.png", "tall.png", "tall.bmp", "huge.jpg",
                             "huge.bmp", "gif.png", "svg.png"})
        EXPECT_NE(load(dir.path(name)), 0) << name;
    for (const char* name : {"png.jpg", "bmp.png", "long.png"})
        EXPECT_EQ(load(dir.path(name)), 0) << name;
}

TEST(HostileSoundtrack, AnId3TagIsSkippedHoweverLongItsFramesClaimToBe) {
    FreshAudioOutput audio;
    // Found by soundtrack_fuzz: SDL_mixer 2.6.2 copies an ID3v2 title frame with the size
    // the frame claims; 2 GB crashed it.
    TempDir dir;
    std::vector<uint8_t> frame = {'T', 'I', 'T', '2'};
    append(frame, bigEndian32(0x7ffffff0));
    append(frame, {0, 0, 0, 'h', 'o', 'p', 's', 'a', 's', 'a', 0});
    std::vector<uint8_t> bytes = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, uint8_t(frame.size())};
    append(bytes, frame);
    append(bytes, readFile(kTestMp3));
    writeFile(dir.path("tagged.mp3"), bytes);
    // A tag that claims more than the file holds leaves no sound at all.
    writeFile(dir.path("all_tag.mp3"), {'I', 'D', '3', 4, 0, 0x10, 0x7f, 0x7f, 0x7f, 0x7f, 1});

    ASSERT_TRUE(initAudioOutput(44100));
    EXPECT_NE(openAudioStream(dir.path("tagged.mp3").c_str()), 0u);
    EXPECT_EQ(audioErrorCode(), kAudioOk);
    EXPECT_EQ(openAudioStream(dir.path("all_tag.mp3").c_str()), 0u);
    EXPECT_EQ(audioErrorCode(), kAudioFileFormat);
}
