// Fuzz target: a picture file through the loader, as start-up loads the show's pictures.
//
// The first byte picks the file's extension (png, jpg, bmp or tga), the rest is the file.
// The decoder goes by content, not by name, so every name reaches every format it knows.
// The loader copies the decoded rows and uploads them with GLU mipmaps into the offscreen
// OpenGL context that the tests use.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "fuzz_support.h"
#include "gfx/gl_window.h"
#include "gfx/texture.h"
#include "platform/display.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    swallowMessageBoxes();
    platform::useOffscreenDisplay({800, 600, 32});
    // The one window of the run; the pictures are made into textures in its context.
    static GLWindow window;
    if (!window.hRC) {
        std::fprintf(stderr, "decoded_picture_fuzz: no offscreen OpenGL context\n");
        std::abort();
    }
    // GLU scales and filters on the CPU; pictures up to 1024 x 1024 RGBA keep a run short.
    gPixelBufferLimit = 4u << 20;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const char* const names[] = {"input.png", "input.jpg", "input.bmp", "input.tga"};
    std::string path = writeInputFile(names[data[0] % 4], data + 1, size - 1);
    Texture texture;
    if (loadTexture(texture, path.c_str()) && (!texture.loaded || texture.id == 0))
        __builtin_trap();
    return 0;
}
