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

// An APEv2 tag of `items` bytes of items (fewer than 224), with a header.
Bytes ape(uint8_t items) {
    const auto block = [&](uint8_t flags) {
        // Version 2000, the size without the header, one item, the flags, eight zeros.
        return text("APETAGEX") +
               Bytes{0xd0, 7, 0, 0, uint8_t(items + 32), 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, flags} +
               Bytes(8, 0);
    };
    return block(0xa0) + Bytes(items, 'a') + block(0x80);
}

}  // namespace

TEST(Mp3Frames, TheFramesAreFoundBetweenTagsOfEveryKindAndOnlyWhereAFrameOrTheEndFollows) {
    struct Case {
        const char* what;
        Bytes file;
        int begin, end;  // begin -1: no frames found
    };
    const auto around = [](const char* what, const Bytes& front, const Bytes& back) {
        const int begin = static_cast<int>(front.size());
        return Case{what, front + frames(3) + back, begin, begin + 3 * 417};
    };
    Bytes cut = frames(1);
    cut.resize(200);
    Bytes mixed = frames(2);
    mixed[417 + 2] = 0x94;  // 48000 Hz
    // Tags whose sizes run past the file. (Stacked tags that lie, an input that once made
    // SDL_mixer leak, are replayed by the fuzz targets: fuzz/regressions/.)
    Bytes apeTooLong = frames(2) + ape(0);
    apeTooLong[apeTooLong.size() - 18] = 0xff;  // the footer's size, now 16 MB
    const Bytes lyricsTooLong = frames(2) + text("999999LYRICS200");
    const Bytes id3v1 = text("TAG") + Bytes(125, 'v');
    const Case cases[] = {
        around("no tags", {}, {}),
        around("stacked ID3v2 in front", id3v2(20) + id3v2(5, true) + id3v2(0), {}),
        around("ID3v1 behind", {}, id3v1),
        around("APE and ID3v1", {}, ape(40) + id3v1),
        around("Lyrics3 v2, APE, ID3v1", id3v2(3),
               text("LYRICSBEGINla la000016LYRICS200") + ape(0) + id3v1),
        around("Lyrics3 v1", {}, text("LYRICSBEGINwordsLYRICSEND")),
        around("ID3v2 appended", {}, id3v2(30, true)),
        // A 417-byte frame would follow this header nowhere.
        {"junk like a header", Bytes{0xff, 0xfb, 0x90, 0x00, 1, 2, 3} + frames(2), 7, 7 + 834},
        {"a lone frame", frames(1), 0, 417},
        {"the padding bit adds a byte",
         Bytes{0xff, 0xfb, 0x92, 0x00} + Bytes(414, 0x55) + frames(1), 0, 418 + 417},
        {"an APE tag longer than the file is no tag", apeTooLong, 0, 2 * 417 + 64},
        {"nor a Lyrics3 tag", lyricsTooLong, 0, 2 * 417 + 15},
        {"cut inside its first frame", cut, -1, 0},
        {"followed by a frame of another rate", mixed, -1, 0},
        {"zeros", Bytes(5000, 0), -1, 0},
        {"nothing", {}, -1, 0},
        {"a tag and nothing else", id3v2(100), -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Mp3Frames found;
        ASSERT_EQ(findMp3Frames(c.file, found), c.begin >= 0);
        if (c.begin < 0)
            continue;
        EXPECT_EQ(std::pair(found.begin, found.end), std::pair(size_t(c.begin), size_t(c.end)));
        EXPECT_EQ(std::tie(found.first.rate, found.first.bitrate, found.first.channels,
                           found.first.samples),
                  std::make_tuple(44100, 128000, 2, 1152));
    }
    Bytes id3TooLong = id3v2(0);
    id3TooLong[6] = 0x7f;
    EXPECT_EQ(platform::mp3TagsEnd(id3TooLong), id3TooLong.size());
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

    // Cut before the counts: an info frame, but nothing known of delay or length.
    info = platform::readMp3InfoFrame(frame.data(), header, ext + 10);
    EXPECT_TRUE(info.present);
    EXPECT_FALSE(info.gapless);
    info = platform::readMp3InfoFrame(frame.data(), header, tag + 9);
    EXPECT_EQ(info.frames, 0u) << "a count that is cut off is not read";
    EXPECT_FALSE(platform::readMp3InfoFrame(frames(1).data(), header, 417).present);
}
