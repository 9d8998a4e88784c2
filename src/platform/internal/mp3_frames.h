// MPEG audio layer III files: where the frames are among the tags around them, what a
// frame header says, and what an encoder's info frame tells about the sound. Pure parsing
// of bytes in memory, the same on every system; the backends decode the frames.
//
// A file is taken as: tags at its start (ID3v2, stacked as many as there are), the frames,
// tags at its end (APEv1/v2, Lyrics3 v1/v2, ID3v1, an appended ID3v2, in any order and
// number). No decoder is handed a tag: the show wants none, and a hostile one has crashed
// decoders before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

struct Mp3FrameHeader {
    int version = 0;    // the header's two version bits: 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    int rateIndex = 0;  // the header's two sample rate bits
    int rate = 0;
    int channels = 0;
    int bitrate = 0;      // bits per second
    int length = 0;       // bytes, the padding slot included
    int plainLength = 0;  // bytes without the padding slot
    int samples = 0;      // per channel
    int infoOffset = 0;   // where an info tag would start: after header, CRC and side info
};

// Reads the four header bytes at `p`; false unless they start a layer III frame of a known
// bitrate (free format is not taken) and sample rate.
bool readMp3FrameHeader(const uint8_t* p, Mp3FrameHeader& header);

// Where the frames of `bytes` lie: from `begin`, a frame header whose frame is followed by
// another frame of the same stream or by the end of the frames, to `end`, where the tags at
// the end of the file begin. `first` is the header at `begin`.
struct Mp3Frames {
    size_t begin = 0;
    size_t end = 0;
    Mp3FrameHeader first;
};

// False when no frame is found within 4096 bytes after the leading tags: four bytes that
// merely look like a header are common in other data, so a header counts only when
// followed as above, and the search is short.
bool findMp3Frames(const std::vector<uint8_t>& bytes, Mp3Frames& frames);

// Where the leading ID3v2 tags end, and where the trailing tags begin (never before
// `begin`).
size_t mp3TagsEnd(const std::vector<uint8_t>& bytes);
size_t mp3TrailingTagsStart(const std::vector<uint8_t>& bytes, size_t begin);

// What an encoder's info frame (Xing or Info) tells about the sound: the frame holds no
// sound itself, and LAME (and libavcodec, which writes the same tag) note how many samples
// of delay they put before the sound and of padding after it.
struct Mp3InfoFrame {
    bool present = false;
    uint32_t frames = 0;  // frames of sound after this one; 0 when not told
    int encoderDelay = 0;
    int padding = 0;
    bool gapless = false;  // the delay and the padding are known
};

// Reads the info frame, if the frame at `frame` (`available` bytes of it at most) is one.
Mp3InfoFrame readMp3InfoFrame(const uint8_t* frame, const Mp3FrameHeader& header, size_t available);

// The delay of a layer III decoder's synthesis filter bank: its output lags the encoder's
// input by this many samples, and gapless players count it with the encoder's delay.
constexpr int kMp3DecoderDelay = 529;

}  // namespace platform
