// Fuzz target: the TGA reader on arbitrary bytes.
//
// Whatever the header claims, the reader must refuse with a message or hand back a buffer
// of exactly width * height * components bytes; every byte of it is read here so that a
// short buffer shows up under AddressSanitizer.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "gfx/texture.h"
#include "gfx/tga.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    swallowMessageBoxes();
    // Headers of up to 65535 x 65535 are the common case here; the limit itself is tested
    // elsewhere, and a smaller one keeps each run fast (a 1024 x 1024 RGBA picture fits).
    gPixelBufferLimit = 4u << 20;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = writeInputFile("input.tga", data, size);
    TgaImage image;
    if (!readTga(path.c_str(), image))
        return 0;
    if (!image.pixels || image.width <= 0 || image.height <= 0)
        __builtin_trap();
    if (image.components != 1 && image.components != 3 && image.components != 4)
        __builtin_trap();
    uint64_t bytes = packedImageBytes(image.width, image.height, image.components);
    volatile uint8_t sum = 0;
    for (uint64_t i = 0; i < bytes; ++i)
        sum = sum + image.pixels[i];
    return 0;
}
