// Test support: writes pictures of known size and colour in every format the loader reads.
//
// Solid colours make it easy to tell which sprite covers which pixel; a Picture with
// pixels of its own serves where orientation matters. Every writer is deterministic.
#pragma once

#include <string>
#include <vector>

#include "support/show_test.h"

// Row 0 is the top row of the picture.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;

    Rgba& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
    const Rgba& at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Fixed picture files, made once by these writers when they had a palette.
inline const std::string kPictures = HOPSASA_SOURCE_DIR "/tests/data/pictures/";

Picture solidPicture(int width, int height, Rgba color);
// The top `topRows` rows in `top`, the rest in `bottom`.
Picture splitPicture(int width, int height, int topRows, Rgba top, Rgba bottom);

// True colour, with or without alpha. (PNGs with a palette are fixed files in
// tests/data/pictures.)
enum class PngKind { rgb, rgba };

void writePng(const std::string& path, const Picture& picture, PngKind kind = PngKind::rgb);
void writeSolidPng(const std::string& path, int width, int height, Rgba color);

// Baseline JPEG, each 8x8 block in the colour of its top-left pixel (support/jpeg.cpp):
// pictures flat over whole blocks come back within a unit or two.
void writeJpeg(const std::string& path, const Picture& picture);
void writeSolidJpeg(const std::string& path, int width, int height, Rgba color);

// Uncompressed BMP, bottom row first: 24 bits, or 32 with alpha in the fourth byte.
void writeBmp(const std::string& path, const Picture& picture, int bitsPerPixel = 24);

struct TgaOptions {
    int bitsPerPixel = 32;     // 24 or 32
    bool topDown = false;      // rows top first, with the descriptor's origin bit set
    const char* imageId = "";  // the image-ID field
    bool runLength = false;    // run-length packets, crossing row ends where runs do
};

void writeTga(const std::string& path, const Picture& picture, const TgaOptions& options = {});
