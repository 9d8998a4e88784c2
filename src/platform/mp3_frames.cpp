// MPEG audio layer III frames and the tags around them.
#include "platform/internal/mp3_frames.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

// Frames of one stream share version and sample rate.
bool sameStream(const Mp3FrameHeader& a, const Mp3FrameHeader& b) {
    return a.version == b.version && a.rateIndex == b.rateIndex;
}

constexpr size_t kSyncSearchBytes = 4096;

uint32_t bigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

uint32_t littleEndian32(const uint8_t* p) {
    return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

bool startsWith(const std::vector<uint8_t>& bytes, size_t at, const char* text) {
    const size_t length = std::strlen(text);
    return at + length <= bytes.size() && std::memcmp(&bytes[at], text, length) == 0;
}

// An ID3v2 header or footer at `at` (`mark` "ID3" or "3DI"): the whole tag's length, or 0.
size_t id3v2Length(const std::vector<uint8_t>& bytes, size_t at, const char* mark) {
    constexpr size_t kHeader = 10;
    if (bytes.size() - at < kHeader || !startsWith(bytes, at, mark))
        return 0;
    const uint8_t* tag = &bytes[at];
    if (tag[3] == 0xff || tag[4] == 0xff || ((tag[6] | tag[7] | tag[8] | tag[9]) & 0x80) != 0)
        return 0;
    // A 28-bit size of seven bits a byte, then a footer as long as the header if flagged.
    const size_t size =
        (size_t{tag[6]} << 21) | (size_t{tag[7]} << 14) | (size_t{tag[8]} << 7) | tag[9];
    const bool footer = (tag[5] & 0x10) != 0;
    if (mark[0] == '3')
        return footer ? kHeader + size + kHeader : 0;  // only a tag with a footer has one
    return kHeader + size + (footer ? kHeader : 0);
}

// The length of the tag that ends at `end` (after `begin`), or 0 when none does.
size_t trailingTagLength(const std::vector<uint8_t>& bytes, size_t begin, size_t end) {
    const size_t room = end - begin;
    // ID3v1: 128 bytes from "TAG".
    if (room >= 128 && startsWith(bytes, end - 128, "TAG"))
        return 128;
    // APE: a 32-byte footer "APETAGEX" whose size counts the items and the footer, and a
    // header of 32 bytes more when its flags say so.
    if (room >= 32 && startsWith(bytes, end - 32, "APETAGEX")) {
        const uint8_t* footer = &bytes[end - 32];
        const uint64_t size = littleEndian32(footer + 12);
        const bool header = (littleEndian32(footer + 20) & 0x80000000u) != 0;
        const uint64_t length = size + (header ? 32 : 0);
        if (size >= 32 && length <= room)
            return static_cast<size_t>(length);
    }
    // Lyrics3 v2: the size in six digits, then "LYRICS200"; the size counts from
    // "LYRICSBEGIN" to the digits.
    if (room >= 15 + 11 && startsWith(bytes, end - 9, "LYRICS200")) {
        size_t size = 0;
        for (size_t i = end - 15; i < end - 9; ++i) {
            if (bytes[i] < '0' || bytes[i] > '9')
                return 0;
            size = size * 10 + (bytes[i] - '0');
        }
        if (size + 15 <= room && startsWith(bytes, end - 15 - size, "LYRICSBEGIN"))
            return size + 15;
    }
    // Lyrics3 v1: "LYRICSBEGIN", at most 5100 bytes, "LYRICSEND".
    if (room >= 20 && startsWith(bytes, end - 9, "LYRICSEND")) {
        const size_t lowest = end - std::min(room, size_t{5100 + 20});
        for (size_t at = end - 20; at + 1 > lowest; --at) {
            if (startsWith(bytes, at, "LYRICSBEGIN"))
                return end - at;
            if (at == 0)
                break;
        }
    }
    // An ID3v2 tag appended at the end, found by its footer.
    if (room >= 20) {
        const size_t length = id3v2Length(bytes, end - 10, "3DI");
        if (length > 0 && length <= room && startsWith(bytes, end - length, "ID3"))
            return length;
    }
    return 0;
}

}  // namespace

bool readMp3FrameHeader(const uint8_t* p, Mp3FrameHeader& header) {
    if (p[0] != 0xff || (p[1] & 0xe0) != 0xe0)
        return false;
    const int version = (p[1] >> 3) & 3;
    const int layer = (p[1] >> 1) & 3;
    const int bitrateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    const int emphasis = p[3] & 3;
    if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3 ||
        emphasis == 2)
        return false;

    static constexpr int kMpeg1Kbps[15] = {0,   32,  40,  48,  56,  64,  80, 96,
                                           112, 128, 160, 192, 224, 256, 320};
    static constexpr int kMpeg2Kbps[15] = {0,  8,  16, 24,  32,  40,  48, 56,
                                           64, 80, 96, 112, 128, 144, 160};
    static constexpr int kMpeg1Rates[3] = {44100, 48000, 32000};
    const bool mpeg1 = version == 3;
    header.version = version;
    header.rateIndex = rateIndex;
    header.rate = kMpeg1Rates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    header.channels = (p[3] >> 6) == 3 ? 1 : 2;
    header.bitrate = (mpeg1 ? kMpeg1Kbps : kMpeg2Kbps)[bitrateIndex] * 1000;
    header.samples = mpeg1 ? 1152 : 576;
    header.plainLength = header.samples / 8 * header.bitrate / header.rate;
    header.length = header.plainLength + ((p[2] >> 1) & 1);
    const bool crc = (p[1] & 1) == 0;
    const int sideInfo = mpeg1 ? (header.channels == 1 ? 17 : 32) : (header.channels == 1 ? 9 : 17);
    header.infoOffset = 4 + (crc ? 2 : 0) + sideInfo;
    return true;
}

size_t mp3TagsEnd(const std::vector<uint8_t>& bytes) {
    size_t pos = 0;
    while (size_t length = id3v2Length(bytes, pos, "ID3"))
        pos += std::min(length, bytes.size() - pos);
    return pos;
}

size_t mp3TrailingTagsStart(const std::vector<uint8_t>& bytes, size_t begin) {
    size_t end = bytes.size();
    if (begin >= end)
        return begin;
    while (size_t length = trailingTagLength(bytes, begin, end))
        end -= length;
    return end;
}

bool findMp3Frames(const std::vector<uint8_t>& bytes, Mp3Frames& frames) {
    const size_t begin = mp3TagsEnd(bytes);
    const size_t end = mp3TrailingTagsStart(bytes, begin);
    const size_t last = std::min(end, begin + kSyncSearchBytes);
    Mp3FrameHeader header;
    for (size_t pos = begin; pos + 4 <= last; ++pos) {
        if (!readMp3FrameHeader(&bytes[pos], header))
            continue;
        const size_t next = pos + static_cast<size_t>(header.length);
        Mp3FrameHeader following;
        if (next == end || (next + 4 <= end && readMp3FrameHeader(&bytes[next], following) &&
                            sameStream(header, following))) {
            frames = {pos, end, header};
            return true;
        }
    }
    return false;
}

Mp3InfoFrame readMp3InfoFrame(const uint8_t* frame, const Mp3FrameHeader& header,
                              size_t available) {
    Mp3InfoFrame info;
    const size_t frameEnd = std::min(available, static_cast<size_t>(header.length));
    const size_t tag = static_cast<size_t>(header.infoOffset);
    if (tag + 8 > frameEnd ||
        (std::memcmp(frame + tag, "Xing", 4) != 0 && std::memcmp(frame + tag, "Info", 4) != 0))
        return info;
    info.present = true;
    // The fields after the flags are there only when flagged: frame count, byte count,
    // seek table, quality.
    const uint32_t flags = bigEndian32(frame + tag + 4);
    if ((flags & 1) && tag + 12 <= frameEnd)
        info.frames = bigEndian32(frame + tag + 8);
    size_t extension = tag + 8;
    extension +=
        (flags & 1 ? 4 : 0) + (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);
    // The extension: a nine-byte encoder name, then revision, lowpass, replay gain, flags
    // and bitrate, then at byte 21 the delay and the padding, twelve bits each.
    constexpr size_t kDelayOffset = 21;
    if (extension + kDelayOffset + 3 > frameEnd)
        return info;
    const uint8_t* ext = frame + extension;
    if (std::memcmp(ext, "LAME", 4) != 0 && std::memcmp(ext, "Lavc", 4) != 0 &&
        std::memcmp(ext, "Lavf", 4) != 0)
        return info;
    const uint8_t* counts = ext + kDelayOffset;
    info.encoderDelay = (counts[0] << 4) | (counts[1] >> 4);
    info.padding = ((counts[1] & 0x0f) << 8) | counts[2];
    info.gapless = true;
    return info;
}

}  // namespace platform
