// Files made to break the decoders: the platform layer refuses pictures from their headers
// instead of taking gigabytes, decodes only PNG, JPEG and BMP, by content, and hands the
// sound decoder an MP3's frames without its tags. The other inputs the fuzz targets found
// are replayed by scripts/fuzz (fuzz/regressions/), and the show's own run on broken files
// is in tests/e2e/test_bad_files.py.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/image.h"
#include "support/pictures.h"
#include "support/show_test.h"

TEST(HostilePictures, AreRefusedAtOnceAndOnlyPngJpegAndBmpDecodeWhateverTheName) {
    TempDir dir;
    const Rgba grey{1, 2, 3, 255};
    // Sides over 16384: each would have SDL make and clear a surface of gigabytes before the
    // first row. The JPEG: SOI, an APP0 segment to skip, a baseline frame of 20000 x 30000.
    writePng(dir.path("tall.png"), solidPicture(1, 16385, grey));
    writeFile(dir.path("huge.jpg"), {0xff, 0xd8, 0xff, 0xe0, 0,    4,    'J', 'F', 0xff, 0xc0, 0,
                                     11,   8,    0x75, 0x30, 0x4e, 0x20, 1,   1,   0x11, 0});
    // A BMP of that height stored top row first: a height below zero.
    writeBmp(dir.path("tall.bmp"), solidPicture(1, 16385, grey));
    std::vector<uint8_t> bmp = readFile(dir.path("tall.bmp"));
    std::copy_n(std::vector<uint8_t>{0xff, 0xbf, 0xff, 0xff}.begin(), 4, bmp.begin() + 22);
    writeFile(dir.path("tall.bmp"), bmp);
    // Content decides, not the name.
    writeSolidPng(dir.path("png.jpg"), 2, 2, grey);

    platform::DecodedImage image;
    for (const char* name : {"tall.png", "huge.jpg", "tall.bmp"})
        EXPECT_NE(image.load(dir.path(name).c_str()), 0) << name;
    EXPECT_EQ(image.load(dir.path("png.jpg").c_str()), 0);
}

// Found by soundtrack_fuzz: SDL_mixer 2.6.2 copied an ID3v2 title frame with the size the
// frame claims, and 2 GB crashed it. Only the frames after the tag reach the decoder.
TEST(HostileSoundtrack, AnId3TagIsSkippedHoweverLongItsFramesClaimToBe) {
    FreshAudioOutput audio;
    TempDir dir;
    std::vector<uint8_t> bytes = {'I', 'D', '3', 3,   0,    0,    0,    0,    0, 19,
                                  'T', 'I', 'T', '2', 0x7f, 0xff, 0xff, 0xf0, 0, 0,
                                  0,   'h', 'o', 'p', 's',  'a',  's',  'a',  0};
    const std::vector<uint8_t> mp3 = readFile(kTestMp3);
    bytes.insert(bytes.end(), mp3.begin(), mp3.end());
    writeFile(dir.path("tagged.mp3"), bytes);
    ASSERT_TRUE(platform::initAudioOutput(44100));
    EXPECT_NE(platform::openAudioStream(dir.path("tagged.mp3").c_str()), 0u);
    EXPECT_EQ(platform::audioErrorCode(), platform::kAudioOk);
}
