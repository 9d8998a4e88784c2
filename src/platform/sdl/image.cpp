// SDL2_image backend of the picture decoder: loads the file into an SDL surface and brings
// it to the byte order and depth the loader expects.
//
// SDL2_image keeps a source's own layout (palette, grey ramp, colour key, channel order),
// which differs between its versions; the depth is therefore decided here from what the
// surface holds, not from the file type.
#include <SDL.h>
#include <SDL_image.h>

#include <cstring>

#include "platform/file.h"
#include "platform/image.h"
#include "platform/internal/backend.h"
#include "platform/internal/picture_header.h"

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
    std::FILE* opened = openRegularFile(path);
    SDL_RWops* file = opened ? SDL_RWFromFP(opened, SDL_TRUE) : nullptr;
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

// The decoder the header names; SDL_image's others are never reached.
SDL_Surface* decode(SDL_RWops* file, PictureType type) {
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

// SDL_image sets up each of its decoders on first use, without a lock. So does SDL its
// record of the processor's features, which the surface conversions read: two threads
// that read it first at once can see it half filled in, and SDL's audio converters are
// then chosen from a processor without SSE2, which has none on this build; the
// soundtrack's decoder then fails to open.
void prepareDecoding() {
    IMG_Init(IMG_INIT_PNG | IMG_INIT_JPG);
    SDL_HasSSE2();
}

int DecodedImage::load(const char* path) {
    destroy();
    PictureHeader header;
    if (!readPictureHeader(path, header))
        return -1;

    SDL_RWops* file = openZeroPadded(path);
    if (!file)
        return -1;
    SDL_Surface* surface = decode(file, header.type);
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

    bitmap_ = surface;
    width_ = surface->w;
    height_ = surface->h;
    bitsPerPixel_ = surface->format->BitsPerPixel;
    topRow_ = static_cast<const uint8_t*>(surface->pixels);
    pitch_ = surface->pitch;
    return 0;
}

void freeDecodedBitmap(void* bitmap) {
    SDL_FreeSurface(static_cast<SDL_Surface*>(bitmap));
}

}  // namespace platform
