// SDL2_image backend of the picture decoder: loads the file into an SDL surface and brings
// it to the byte order and depth the loader expects.
//
// SDL2_image keeps a source's own layout (palette, grey ramp, colour key, channel order),
// which differs between its versions; the depth is therefore decided here from what the
// surface holds, not from the file type.
#include <SDL.h>
#include <SDL_image.h>

#include <cstring>

#include "platform/image.h"

namespace platform {

namespace {

// The file as the decoders read it. SDL_image's PNG reader ignores short reads and parses
// whatever its buffer held before: past the end of a cut or lying file it can take stale
// bytes for chunk after chunk and never stop. Here every byte past the end reads as zero,
// which each decoder refuses at once; the count of what was really read is unchanged.
size_t SDLCALL readZeroPadded(SDL_RWops* context, void* ptr, size_t size, size_t count) {
    auto* file = static_cast<SDL_RWops*>(context->hidden.unknown.data1);
    size_t got = SDL_RWread(file, ptr, size, count);
    if (got < count)
        std::memset(static_cast<uint8_t*>(ptr) + got * size, 0, (count - got) * size);
    return got;
}

Sint64 SDLCALL sizeOfFile(SDL_RWops* context) {
    return SDL_RWsize(static_cast<SDL_RWops*>(context->hidden.unknown.data1));
}

Sint64 SDLCALL seekFile(SDL_RWops* context, Sint64 offset, int whence) {
    return SDL_RWseek(static_cast<SDL_RWops*>(context->hidden.unknown.data1), offset, whence);
}

size_t SDLCALL refuseWrite(SDL_RWops*, const void*, size_t, size_t) {
    SDL_SetError("picture files are read only");
    return 0;
}

int SDLCALL closeFile(SDL_RWops* context) {
    int result = SDL_RWclose(static_cast<SDL_RWops*>(context->hidden.unknown.data1));
    SDL_FreeRW(context);
    return result;
}

SDL_RWops* openZeroPadded(const char* path) {
    SDL_RWops* file = SDL_RWFromFile(path, "rb");
    if (!file)
        return nullptr;
    SDL_RWops* padded = SDL_AllocRW();
    if (!padded) {
        SDL_RWclose(file);
        return nullptr;
    }
    padded->size = sizeOfFile;
    padded->seek = seekFile;
    padded->read = readZeroPadded;
    padded->write = refuseWrite;
    padded->close = closeFile;
    padded->type = SDL_RWOPS_UNKNOWN;
    padded->hidden.unknown.data1 = file;
    return padded;
}

// ---- The size a header claims ---------------------------------------------------------
//
// SDL makes (and clears) the whole surface from the header's size before it decodes a
// single row, so a 100-byte PNG claiming 65535 x 65535 pixels would take 17 GB. Larger
// sides than the largest texture common drivers take are refused from the header.
constexpr int64_t kMaxSide = 16384;

enum class PictureType { png, jpeg, bmp };

uint32_t bigEndian(const uint8_t* bytes, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

uint32_t littleEndian(const uint8_t* bytes, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

// The frame header (SOFn) of a JPEG: the segments before it are skipped by their lengths.
// Past the end of the file the bytes read as zero, which ends the walk.
bool jpegSize(SDL_RWops* file, int64_t& width, int64_t& height) {
    uint8_t bytes[7];
    SDL_RWseek(file, 2, RW_SEEK_CUR);
    for (int segment = 0; segment < 4096; ++segment) {
        SDL_RWread(file, bytes, 1, 2);
        if (bytes[0] != 0xff)
            return false;
        uint8_t marker = bytes[1];
        while (marker == 0xff) {
            SDL_RWread(file, &marker, 1, 1);
        }
        if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd8))
            continue;  // markers without a length
        if (marker == 0xd9 || marker == 0xda)
            return false;  // the end, or the scan data, before any frame header
        const bool frame =
            marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
        if (frame) {
            SDL_RWread(file, bytes, 1, 7);  // length, precision, height, width
            height = bigEndian(bytes + 3, 2);
            width = bigEndian(bytes + 5, 2);
            return true;
        }
        SDL_RWread(file, bytes, 1, 2);
        const uint32_t length = bigEndian(bytes, 2);
        if (length < 2)
            return false;
        SDL_RWseek(file, length - 2, RW_SEEK_CUR);
    }
    return false;
}

// False when the header says nothing readable about the size; the decoder refuses such a
// file itself. The file is read from where it stands and left there.
bool claimedSize(SDL_RWops* file, PictureType type, int64_t& width, int64_t& height) {
    const Sint64 start = SDL_RWtell(file);
    uint8_t head[26];
    bool known = true;
    if (type == PictureType::jpeg) {
        known = jpegSize(file, width, height);
    } else {
        SDL_RWread(file, head, 1, sizeof head);
        if (type == PictureType::png) {
            width = bigEndian(head + 16, 4);
            height = bigEndian(head + 20, 4);
        } else if (littleEndian(head + 14, 4) == 12) {  // the old OS/2 header: 16-bit sides
            width = littleEndian(head + 18, 2);
            height = littleEndian(head + 20, 2);
        } else {  // a negative height stores the rows top first
            width = static_cast<int32_t>(littleEndian(head + 18, 4));
            height = static_cast<int32_t>(littleEndian(head + 22, 4));
            height = height < 0 ? -height : height;
        }
    }
    SDL_RWseek(file, start, RW_SEEK_SET);
    return known;
}

// PNG, JPEG and BMP, told apart by content as SDL_image does, whatever the name says. Its
// other decoders (SVG, XCF, TIFF, GIF, TGA and more) are never reached: no picture of the
// show needs them, and a hostile file named .png would otherwise get into all of them.
SDL_Surface* decode(SDL_RWops* file) {
    PictureType type;
    if (IMG_isPNG(file)) {
        type = PictureType::png;
    } else if (IMG_isJPG(file)) {
        type = PictureType::jpeg;
    } else if (IMG_isBMP(file)) {
        type = PictureType::bmp;
    } else {
        SDL_SetError("not a PNG, JPEG or BMP picture");
        return nullptr;
    }
    int64_t width = 0;
    int64_t height = 0;
    if (claimedSize(file, type, width, height) && (width > kMaxSide || height > kMaxSide)) {
        SDL_SetError("the picture claims to be larger than %d pixels a side",
                     static_cast<int>(kMaxSide));
        return nullptr;
    }
    switch (type) {
        case PictureType::png:
            return IMG_LoadPNG_RW(file);
        case PictureType::jpeg:
            return IMG_LoadJPG_RW(file);
        case PictureType::bmp:
            return IMG_LoadBMP_RW(file);
    }
    return nullptr;
}

bool paletteHasAlpha(const SDL_Palette* palette) {
    if (!palette)
        return false;
    for (int i = 0; i < palette->ncolors; ++i) {
        if (palette->colors[i].a != SDL_ALPHA_OPAQUE)
            return true;
    }
    return false;
}

// The format the surface is converted to, or SDL_PIXELFORMAT_UNKNOWN to keep its own.
Uint32 targetFormat(SDL_Surface* surface) {
    const SDL_PixelFormat* format = surface->format;
    // A colour key (a palette or grey picture with one transparent entry, an RGB picture
    // with a transparent colour) becomes alpha, as does a translucent palette.
    if (format->Amask != 0 || SDL_HasColorKey(surface) || paletteHasAlpha(format->palette)) {
        return SDL_PIXELFORMAT_BGRA32;
    }
    if (SDL_ISPIXELFORMAT_INDEXED(format->format))
        return SDL_PIXELFORMAT_UNKNOWN;
    if (format->BytesPerPixel == 3)
        return SDL_PIXELFORMAT_BGR24;
    // Converting a format without alpha to one with alpha fills the fourth byte opaque.
    if (format->BytesPerPixel == 4)
        return SDL_PIXELFORMAT_BGRA32;
    return SDL_PIXELFORMAT_UNKNOWN;
}

}  // namespace

DecodedImage::~DecodedImage() {
    destroy();
}

int DecodedImage::load(const char* path) {
    destroy();
    if (!path)
        return -1;

    SDL_RWops* file = openZeroPadded(path);
    if (!file)
        return -1;
    SDL_Surface* surface = decode(file);
    SDL_RWclose(file);
    if (!surface)
        return -1;

    Uint32 target = targetFormat(surface);
    if (target != SDL_PIXELFORMAT_UNKNOWN && target != surface->format->format) {
        SDL_Surface* converted = SDL_ConvertSurfaceFormat(surface, target, 0);
        SDL_FreeSurface(surface);
        if (!converted)
            return -1;
        surface = converted;
    }

    surface_ = surface;
    width_ = surface->w;
    height_ = surface->h;
    bitsPerPixel_ = surface->format->BitsPerPixel;
    topRow_ = static_cast<const uint8_t*>(surface->pixels);
    pitch_ = surface->pitch;
    return 0;
}

void DecodedImage::destroy() {
    if (surface_)
        SDL_FreeSurface(static_cast<SDL_Surface*>(surface_));
    surface_ = nullptr;
    width_ = 0;
    height_ = 0;
    bitsPerPixel_ = 0;
    topRow_ = nullptr;
    pitch_ = 0;
}

}  // namespace platform
