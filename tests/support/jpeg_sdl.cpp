// JPEG writing with SDL_image (libjpeg).
#include "support/pictures.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cstdint>

void writeJpeg(const std::string& path, const Picture& picture) {
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormat(0, picture.width, picture.height, 24, SDL_PIXELFORMAT_RGB24);
    for (int y = 0; y < picture.height; ++y) {
        uint8_t* row = static_cast<uint8_t*>(surface->pixels) + y * surface->pitch;
        for (int x = 0; x < picture.width; ++x) {
            const Rgba& c = picture.at(x, y);
            row[x * 3 + 0] = static_cast<uint8_t>(std::clamp(c.r, 0, 255));
            row[x * 3 + 1] = static_cast<uint8_t>(std::clamp(c.g, 0, 255));
            row[x * 3 + 2] = static_cast<uint8_t>(std::clamp(c.b, 0, 255));
        }
    }
    if (IMG_SaveJPG(surface, path.c_str(), 100) != 0)
        ADD_FAILURE() << "JPEG not written: " << path;
    SDL_FreeSurface(surface);
}
