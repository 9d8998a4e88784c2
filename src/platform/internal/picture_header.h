// The kind and claimed size of a picture file, read from its first bytes before any decoder
// sees it. Shared by the picture decoders of every backend; nothing outside src/platform
// includes it.
//
// Only PNG, JPEG and BMP are decoded, told apart by content whatever the name says: the
// systems' decoders read many more formats, no picture of the show needs them, and a
// hostile file named .png would otherwise get into all of them. A decoder makes (and
// clears) the whole bitmap from the header's size before it decodes a single row, so a
// 100-byte PNG claiming 65535 x 65535 pixels would take 17 GB; sides larger than the
// largest texture common drivers take are refused from the header.
#pragma once

#include <cstdint>

namespace platform {

constexpr int64_t kMaxPictureSide = 16384;

enum class PictureType { png, jpeg, bmp };

struct PictureHeader {
    PictureType type = PictureType::png;
    int64_t width = 0;  // as claimed; 0 when the header says nothing readable about it
    int64_t height = 0;
};

// False when the file cannot be read, is not a PNG, JPEG or BMP picture, or claims more
// than kMaxPictureSide pixels a side.
bool readPictureHeader(const char* path, PictureHeader& header);

}  // namespace platform
