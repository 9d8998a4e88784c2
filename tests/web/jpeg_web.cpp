// JPEG writing for the tests under emscripten, with stb_image_write (Debian's libstb-dev):
// baseline, quality 100, as the other systems' writers make them for the same tests.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "support/pictures.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

void writeJpeg(const std::string& path, const Picture& picture) {
    std::vector<uint8_t> rgb(static_cast<size_t>(picture.width) * picture.height * 3);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const Rgba& c = picture.at(x, y);
            uint8_t* p = &rgb[(static_cast<size_t>(y) * picture.width + x) * 3];
            p[0] = static_cast<uint8_t>(std::clamp(c.r, 0, 255));
            p[1] = static_cast<uint8_t>(std::clamp(c.g, 0, 255));
            p[2] = static_cast<uint8_t>(std::clamp(c.b, 0, 255));
        }
    }
    if (!stbi_write_jpg(path.c_str(), picture.width, picture.height, 3, rgb.data(), 100))
        ADD_FAILURE() << "JPEG not written: " << path;
}
