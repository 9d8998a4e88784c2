// SDL2_image backend of the picture decoder: loads the file into an SDL surface and brings
// it to the byte order and depth the loader expects.
//
// SDL2_image keeps a source's own layout (palette, grey ramp, colour key, channel order),
// which differs between its versions; the depth is therefore decided here from what the
// surface holds, not from the file type.
#include <SDL.h>
#include <SDL_image.h>

#include "platform/image.h"

namespace platform {

namespace {

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

    SDL_Surface* surface = IMG_Load(path);
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
