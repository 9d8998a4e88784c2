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

Bytes id3v1() {
    return text("TAG") + Bytes(125, 'v');
}

Bytes little32(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

// An APEv2 tag of `items` bytes of items, with a header.
Bytes ape(uint32_t items) {
    auto block = [&](uint32_t flags) {
        return text("APETAGEX") + little32(2000) + little32(items + 32) + little32(1) +
               little32(flags) + Bytes(8, 0);
    };
    return block(0xa0000000u) + Bytes(items, 'a') + block(0x80000000u);
}

Bytes lyrics3v2(const std::string& lyrics) {
    Bytes body = text("LYRICSBEGIN") + text(lyrics);
    char size[8];
    std::snprintf(size, sizeof size, "%06zu", body.size());
    return body + text(size) + text("LYRICS200");
}

}  // namespace

TEST(Mp3Frames, TagsOfEveryKindAroundTheFramesAreLeftOut) {
    struct Case {
        const char* what;
        Bytes front, back;
    };
    const Case cases[] = {
        {"no tags", {}, {}},
        {"stacked ID3v2 in front", id3v2(20) + id3v2(5, true) + id3v2(0), {}},
        {"ID3v1 behind", {}, id3v1()},
        {"APE and ID3v1", {}, ape(40) + id3v1()},
        {"Lyrics3 v2, APE, ID3v1", id3v2(3), lyrics3v2("la la") + ape(0) + id3v1()},
        {"Lyrics3 v1", {}, text("LYRICSBEGIN") + text("words") + text("LYRICSEND")},
        {"ID3v2 appended", {}, id3v2(30, true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes file = c.front + frames(3) + c.back;
        Mp3Frames found;
        ASSERT_TRUE(findMp3Frames(file, found));
        EXPECT_EQ(found.begin, c.front.size());
        EXPECT_EQ(found.end, c.front.size() + 3 * 417);
        EXPECT_EQ(std::tie(found.first.rate, found.first.bitrate, found.first.channels,
                           found.first.samples),
                  std::make_tuple(44100, 128000, 2, 1152));
    }
}

TEST(Mp3Frames, AHeaderCountsOnlyWhenAFrameOrTheEndFollowsIt) {
    // Junk that looks like a header (a 417-byte frame would follow it nowhere) before the
    // real frames; a lone frame; a padded frame; a file cut inside its first frame; a frame
    // followed by a frame of another sample rate.
    Bytes junk = {0xff, 0xfb, 0x90, 0x00, 1, 2, 3};
    Mp3Frames found;
    ASSERT_TRUE(findMp3Frames(junk + frames(2), found));
    EXPECT_EQ(found.begin, junk.size());
    ASSERT_TRUE(findMp3Frames(frames(1), found));
    EXPECT_EQ(found.end, 417u);
    // The padding bit adds a byte to its frame.
    ASSERT_TRUE(findMp3Frames(Bytes{0xff, 0xfb, 0x92, 0x00} + Bytes(414, 0x55) + frames(1), found));
    EXPECT_EQ(std::pair(found.begin, found.end), std::pair(size_t{0}, size_t{418 + 417}));

    Bytes cut = frames(1);
    cut.resize(200);
    EXPECT_FALSE(findMp3Frames(cut, found));
    Bytes mixed = frames(2);
    mixed[417 + 2] = 0x94;  // 48000 Hz
    EXPECT_FALSE(findMp3Frames(mixed, found));
    EXPECT_FALSE(findMp3Frames(Bytes(5000, 0), found));
    EXPECT_FALSE(findMp3Frames({}, found));
    EXPECT_FALSE(findMp3Frames(id3v2(100), found)) << "a tag and nothing else";
}

TEST(Mp3Frames, TagsThatLieAboutTheirSizeFindNothingAndReadNothingBeyondTheFile) {
    // Two ID3v2 headers, the second holding an APE mark, then bytes that are no frames: an
    // input that once made SDL_mixer leak. And tags whose sizes run past the file.
    const Bytes stacked = text("ID3") + Bytes{3, 6, 0, 0, 0, 0, 3, 0, 10, 0} + text("ID3") +
                          Bytes{3, 6, 0, 0, 0, 0, 3} + text("APETAGEXID15\\") +
                          Bytes{7, 'D', '3', '0', '\\', 7, 0xff, 0xff} + Bytes(80, 'y');
    Bytes apeTooLong = frames(2) + ape(0);
    apeTooLong[apeTooLong.size() - 18] = 0xff;  // the footer's size, now 16 MB
    Bytes lyricsTooLong = frames(2) + text("999999LYRICS200");
    Bytes id3TooLong = id3v2(0);
    id3TooLong[6] = 0x7f;

    Mp3Frames found;
    EXPECT_FALSE(findMp3Frames(stacked, found));
    ASSERT_TRUE(findMp3Frames(apeTooLong, found));
    EXPECT_EQ(found.end, apeTooLong.size()) << "a tag longer than the file is no tag";
    ASSERT_TRUE(findMp3Frames(lyricsTooLong, found));
    EXPECT_EQ(found.end, lyricsTooLong.size());
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
    EXPECT_TRUE(info.present);
    EXPECT_TRUE(info.gapless);
    EXPECT_EQ(info.frames, 99u);
    EXPECT_EQ(info.encoderDelay, 576);
    EXPECT_EQ(info.padding, 1234);

    // Cut before the counts: an info frame, but nothing known of delay or length.
    info = platform::readMp3InfoFrame(frame.data(), header, ext + 10);
    EXPECT_TRUE(info.present);
    EXPECT_FALSE(info.gapless);
    info = platform::readMp3InfoFrame(frame.data(), header, tag + 9);
    EXPECT_EQ(info.frames, 0u) << "a count that is cut off is not read";
    EXPECT_FALSE(platform::readMp3InfoFrame(frames(1).data(), header, 417).present);
}
