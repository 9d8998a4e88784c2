#include <SDL.h>
#include <SDL_image.h>

#include "platform/picture_file.h"

namespace platform {

bool writePngRgb(const char* path, int width, int height, const uint8_t* pixels) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint8_t*>(pixels), width, height, 24, width * 3, SDL_PIXELFORMAT_RGB24);
    if (!surface)
        return false;
    bool ok = IMG_SavePNG(surface, path) == 0;
    SDL_FreeSurface(surface);
    return ok;
}

}  // namespace platform
