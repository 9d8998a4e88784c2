// Writing pictures: frames of the show as PNG files.
#pragma once

#include <cstdint>

namespace platform {

// Writes an 8-bit RGB picture, rows top to bottom, tightly packed, as a PNG file. The same
// pixels always give the same bytes. False when the file cannot be written.
bool writePngRgb(const char* path, int width, int height, const uint8_t* pixels);

}  // namespace platform
