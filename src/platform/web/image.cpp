// stb_image backend of the picture decoder (Debian's libstb-dev, compiled in here): the
// file is read whole, decoded by the decoder its header names, and brought to the byte
// order and depth the loader expects.
//
// stb_image expands every source to the channel count asked for, so the depth the other
// backends report (from the source's own layout) is decided here from the file's header:
// a PNG's colour type, bit depth and transparency chunk, a BMP's bits per pixel, a JPEG's
// component count. Palette and grey sources without transparency, and 16-bit BMPs, are
// still decoded (a broken file fails as on the other systems) but handed over at their
// own depth, which the loader refuses.
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "platform/image.h"
#include "platform/internal/backend.h"
#include "platform/internal/picture_header.h"

#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

namespace platform {
namespace {

struct Bitmap {
    std::vector<uint8_t> pixels;
};

uint32_t bigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Whether a transparency chunk comes before the first image data chunk. The walk is bounded
// by the file and by a count of chunks; a file cut short simply has none.
bool pngHasTransparency(const std::vector<uint8_t>& bytes) {
    size_t at = 8;
    for (int chunk = 0; chunk < 4096 && at + 8 <= bytes.size(); ++chunk) {
        const uint32_t length = bigEndian32(&bytes[at]);
        const uint8_t* type = &bytes[at + 4];
        if (std::memcmp(type, "tRNS", 4) == 0)
            return true;
        if (std::memcmp(type, "IDAT", 4) == 0)
            return false;
        at += 12 + size_t{length};
    }
    return false;
}

// The depth the other backends report for this source.
int sourceDepth(const std::vector<uint8_t>& bytes, PictureType type) {
    switch (type) {
        case PictureType::png: {
            if (bytes.size() < 26)
                return 0;
            const int colorType = bytes[25];
            const bool keyed = pngHasTransparency(bytes);
            switch (colorType) {
                case 0:  // grey
                case 3:  // palette
                    return keyed ? 32 : 8;
                case 2:  // RGB
                    return keyed ? 32 : 24;
                default:  // grey with alpha, RGBA
                    return 32;
            }
        }
        case PictureType::jpeg: {
            int width = 0, height = 0, components = 0;
            if (!stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width,
                                       &height, &components))
                return 0;
            return components == 1 ? 8 : 24;
        }
        case PictureType::bmp: {
            if (bytes.size() < 30)
                return 0;
            const uint32_t headerSize = bytes[14] | (bytes[15] << 8) | (bytes[16] << 16);
            const size_t at = headerSize == 12 ? 24 : 28;  // the old OS/2 header is shorter
            return bytes[at] | (bytes[at + 1] << 8);
        }
    }
    return 0;
}

}  // namespace

// stb_image keeps no state between pictures, and a page has no second thread anyway.
void prepareDecoding() {}

int DecodedImage::load(const char* path) {
    destroy();
    PictureHeader header;
    if (!readPictureHeader(path, header))
        return -1;

    auto* bitmap = new (std::nothrow) Bitmap;
    if (!bitmap)
        return -1;
    std::vector<uint8_t> bytes;
    const int depth = readWholeFile(path, bytes, SIZE_MAX) ? sourceDepth(bytes, header.type) : 0;
    // Channels asked of the decoder: the loader's own for the depths it takes, one otherwise.
    const int channels = depth == 24 ? 3 : depth == 32 ? 4 : 1;
    int width = 0, height = 0, found = 0;
    stbi_uc* decoded = depth > 0
                           ? stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()),
                                                   &width, &height, &found, channels)
                           : nullptr;
    if (!decoded) {
        delete bitmap;
        return -1;
    }

    // Rows of whole 4-byte words, as the desktop decoders lay them out.
    const size_t rowBytes = static_cast<size_t>(width) * channels;
    const size_t pitch = (rowBytes + 3) & ~size_t{3};
    bitmap->pixels.resize(pitch * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const uint8_t* source = decoded + rowBytes * y;
        uint8_t* row = bitmap->pixels.data() + pitch * y;
        if (channels < 3) {
            std::memcpy(row, source, rowBytes);
            continue;
        }
        for (int x = 0; x < width; ++x, source += channels, row += channels) {
            row[0] = source[2];
            row[1] = source[1];
            row[2] = source[0];
            if (channels == 4)
                row[3] = source[3];
        }
    }
    stbi_image_free(decoded);

    bitmap_ = bitmap;
    width_ = width;
    height_ = height;
    bitsPerPixel_ = depth;
    topRow_ = bitmap->pixels.data();
    pitch_ = static_cast<ptrdiff_t>(pitch);
    return 0;
}

void freeDecodedBitmap(void* bitmap) {
    delete static_cast<Bitmap*>(bitmap);
}

}  // namespace platform
