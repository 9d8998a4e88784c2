// Writing pictures: frames of the show as PNG files.
//
// Only the Linux backend writes pictures (the capture tool is a Linux program); Windows has
// no backend of this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

// How the bytes of a pixel are ordered in the rows handed to the writer.
enum class PixelOrder {
    rgb,   // red, green, blue: three bytes a pixel
    bgrx,  // blue, green, red and a fourth byte that is not written: what OpenGL reads
           // back fastest as GL_BGRA
};

// `height` rows of `width` pixels: the top row at `topRow`, each next row `pitch` bytes on
// (negative for rows stored bottom row first, as OpenGL reads them back).
struct PixelRows {
    const uint8_t* topRow = nullptr;
    ptrdiff_t pitch = 0;
    int width = 0;
    int height = 0;
    PixelOrder order = PixelOrder::rgb;
};

// Writes 8-bit RGB PNG files, one object per thread: it keeps its compressor and row
// buffers from one picture to the next. Every row is filtered by its difference to the row
// above (PNG filter "up") and compressed at a fast level, which for the show's frames costs
// a tenth of the library's default and makes files about a tenth larger; the pixels a
// decoder gets back are the ones given. The same pixels always give the same bytes.
class PngWriter {
  public:
    PngWriter();
    ~PngWriter();
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;

    // False when the file cannot be written (or the memory for it cannot be had); a file
    // that was started is then left behind incomplete.
    bool write(const char* path, const PixelRows& picture);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Writes an 8-bit RGB picture, rows top to bottom, tightly packed, as a PNG file, through
// a writer of its own. False when the file cannot be written.
bool writePngRgb(const char* path, int width, int height, const uint8_t* pixels);

}  // namespace platform
