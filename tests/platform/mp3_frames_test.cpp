// Where an MP3 file's frames lie among its tags, and what its info frame says.
#include "platform/internal/mp3_frames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using platform::findMp3Frames;
using platform::Mp3Frames;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// `count` frames of MPEG-1 layer III, 128 kbit/s at 44100 Hz, stereo, no CRC: 417 bytes
// each, their contents a pattern that holds no frame sync.
Bytes frames(int count) {
    Bytes out;
    for (int i = 0; i < count; ++i)
        out = out + Bytes{0xff, 0xfb, 0x90, 0x00} + Bytes(417 - 4, 0x55);
    return out;
}

// An ID3v2.4 tag of `size` bytes after its header, with or without a footer.
Bytes id3v2(size_t size, bool footer = false) {
    Bytes header = text("ID3") + Bytes{4, 0, static_cast<uint8_t>(footer ? 0x10 : 0)};
    for (int shift = 21; shift >= 0; shift -= 7)
        header.push_back((size >> shift) & 0x7f);
    Bytes tag = header + Bytes(size, 'i');
    std::memcpy(header.data(), "3DI", 3);
    return footer ? tag + header : tag;
}

}  // namespace

TEST(Mp3Frames, TheFramesAreFoundBetweenTagsOfEveryKindAndOnlyWhereAFrameOrTheEndFollows) {
    struct Case {
        const char* what;
        Bytes file;
        int begin, end;
    };
    const auto around = [](const char* what, const Bytes& front, const Bytes& back) {
        const int begin = static_cast<int>(front.size());
        return Case{what, front + frames(3) + back, begin, begin + 3 * 417};
    };
    // Tags whose sizes run past the file. (Stacked tags that lie, an input that once made
    // SDL_mixer leak, are replayed by the fuzz targets: fuzz/regressions/.)
    const Bytes lyricsTooLong = frames(2) + text("999999LYRICS200");
    const Bytes id3v1 = text("TAG") + Bytes(125, 'v');
    const Case cases[] = {
        around("no tags", {}, {}),
        around("stacked ID3v2 in front", id3v2(20) + id3v2(5, true) + id3v2(0), {}),
        around("ID3v1 behind", {}, id3v1),
        around("Lyrics3 v2 and ID3v1", id3v2(3), text("LYRICSBEGINla la000016LYRICS200") + id3v1),
        around("Lyrics3 v1", {}, text("LYRICSBEGINwordsLYRICSEND")),
        around("ID3v2 appended", {}, id3v2(30, true)),
        // A 417-byte frame would follow this header nowhere.
        {"junk like a header", Bytes{0xff, 0xfb, 0x90, 0x00, 1, 2, 3} + frames(2), 7, 7 + 834},
        {"the padding bit adds a byte",
         Bytes{0xff, 0xfb, 0x92, 0x00} + Bytes(414, 0x55) + frames(1), 0, 418 + 417},
        {"a Lyrics3 tag longer than the file is no tag", lyricsTooLong, 0, 2 * 417 + 15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Mp3Frames found;
        ASSERT_TRUE(findMp3Frames(c.file, found));
        EXPECT_EQ(std::pair(found.begin, found.end), std::pair(size_t(c.begin), size_t(c.end)));
    }
}

TEST(Mp3Frames, InfoFrameGivesTheEncodersDelayAndPadding) {
    Bytes frame = frames(1);
    const size_t tag = 4 + 32;  // MPEG-1 stereo side information, no CRC
    std::memcpy(&frame[tag], "Info", 4);
    const uint8_t flagsAndCount[8] = {0, 0, 0, 1, 0, 0, 0, 99};  // the frame count only
    std::memcpy(&frame[tag + 4], flagsAndCount, 8);
    const size_t ext = tag + 12;
    std::memcpy(&frame[ext], "LAME3.100", 9);
    // Delay 576 and padding 1234, twelve bits each.
    frame[ext + 21] = 576 >> 4;
    frame[ext + 22] = static_cast<uint8_t>(((576 & 0xf) << 4) | (1234 >> 8));
    frame[ext + 23] = 1234 & 0xff;

    platform::Mp3FrameHeader header;
    ASSERT_TRUE(platform::readMp3FrameHeader(frame.data(), header));
    platform::Mp3InfoFrame info = platform::readMp3InfoFrame(frame.data(), header, frame.size());
    EXPECT_EQ(std::tie(info.present, info.gapless, info.frames, info.encoderDelay, info.padding),
              std::make_tuple(true, true, 99u, 576, 1234));
    EXPECT_FALSE(platform::readMp3InfoFrame(frames(1).data(), header, 417).present);
}
