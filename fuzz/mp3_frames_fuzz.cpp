// Fuzz target: the MP3 frame and tag parser on arbitrary bytes. Whatever it finds must lie
// inside the input: the frames between the leading and the trailing tags, the first frame's
// header read where it says.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/internal/mp3_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    platform::Mp3Frames frames;
    if (!platform::findMp3Frames(bytes, frames))
        return 0;
    if (frames.begin + 4 > frames.end || frames.end > size ||
        frames.begin < platform::mp3TagsEnd(bytes))
        __builtin_trap();
    platform::Mp3FrameHeader header;
    if (!platform::readMp3FrameHeader(&bytes[frames.begin], header) ||
        header.length != frames.first.length)
        __builtin_trap();
    platform::readMp3InfoFrame(&bytes[frames.begin], header, frames.end - frames.begin);
    return 0;
}
