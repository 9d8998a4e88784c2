// TGA reader: the 18-byte header and the pixel data of grey and true-colour files.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/gl.h"

// The header fields the reader uses (multi-byte fields are little-endian in the file).
struct TgaHeader {
    uint8_t idLength = 0;      // bytes of the image-ID field that follows the header
    uint8_t colorMapType = 0;  // 1 when a colour map follows the image-ID field
    uint8_t imageType = 0;     // 1/9 colour-mapped, 2/10 true colour, 3/11 grey; 8+ = RLE
    uint16_t colorMapLength = 0;
    uint8_t colorMapEntryBits = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t depth = 0;  // bits per pixel

    static constexpr int kSize = 18;
    static TgaHeader parse(const uint8_t (&bytes)[kSize]);

    bool colorMapped() const { return imageType == 1 || imageType == 9; }
    bool runLength() const { return imageType == 10 || imageType == 11; }
    // Where the pixel data starts: after the header, the image-ID field and the colour map.
    long pixelOffset() const;
};

// A decoded TGA: width * height * components bytes, rows in file order, bytes as stored
// (blue, green, red, alpha), with the GL formats that upload them so.
struct TgaImage {
    std::unique_ptr<uint8_t[]> pixels;
    int32_t width = 0;
    int32_t height = 0;
    int components = 0;
    GLenum internalFormat = 0;
    GLenum pixelFormat = 0;
};

// Reads the file; reports the reason ("Texture load: ...") and returns false on failure.
// The file is closed on every path.
bool readTga(const char* fileName, TgaImage& image);
