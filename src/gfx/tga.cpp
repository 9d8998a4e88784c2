// TGA reader: grey and true-colour pictures, uncompressed or run-length encoded.
//
// Pixel bytes are passed on as the file stores them; OpenGL swaps blue and red through the
// BGR formats. The origin bit of the descriptor is not looked at: files made for the show
// rely on their rows arriving in file order.
#include "gfx/tga.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "base/report_error.h"
#include "gfx/texture.h"
#include "platform/file.h"

namespace {

using FileHandle = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

uint16_t littleEndian16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

// Run-length packets: a count byte (low seven bits + 1 pixels), then one pixel repeated
// (high bit set) or that many literal pixels. Packets may run across row ends, as many
// writers emit them; a packet running past the picture's end is cut there.
bool readRunLength(std::FILE* file, uint8_t* out, uint64_t pixelCount, int components) {
    uint64_t done = 0;
    while (done < pixelCount) {
        int packet = std::fgetc(file);
        if (packet == EOF)
            return false;
        uint64_t count = (static_cast<unsigned>(packet) & 0x7f) + 1;
        if (count > pixelCount - done)
            count = pixelCount - done;
        uint8_t* dest = out + done * components;
        if (packet & 0x80) {
            uint8_t pixel[4];
            if (std::fread(pixel, 1, components, file) != static_cast<size_t>(components)) {
                return false;
            }
            for (uint64_t i = 0; i < count; ++i)
                std::memcpy(dest + i * components, pixel, components);
        } else {
            size_t bytes = count * components;
            if (std::fread(dest, 1, bytes, file) != bytes)
                return false;
        }
        done += count;
    }
    return true;
}

}  // namespace

TgaHeader TgaHeader::parse(const uint8_t (&bytes)[kSize]) {
    TgaHeader header;
    header.idLength = bytes[0];
    header.colorMapType = bytes[1];
    header.imageType = bytes[2];
    header.colorMapLength = littleEndian16(bytes + 5);
    header.colorMapEntryBits = bytes[7];
    header.width = littleEndian16(bytes + 12);
    header.height = littleEndian16(bytes + 14);
    header.depth = bytes[16];
    return header;
}

long TgaHeader::pixelOffset() const {
    long mapBytes = colorMapType == 1 ? long{colorMapLength} * ((colorMapEntryBits + 7) / 8) : 0;
    return kSize + idLength + mapBytes;
}

bool readTga(const char* fileName, TgaImage& image) {
    FileHandle file(platform::openRegularFile(fileName), std::fclose);
    if (!file) {
        reportError("Texture load: Failed to open the file %s!", fileName);
        return false;
    }

    uint8_t raw[TgaHeader::kSize];
    if (std::fread(raw, 1, sizeof raw, file.get()) != sizeof raw) {
        reportError("Texture load: Failed to read the header in file %s!", fileName);
        return false;
    }
    TgaHeader header = TgaHeader::parse(raw);

    if (header.colorMapped()) {
        reportError(
            "Texture load: Can't load the texture in %s, colour-mapped images are not "
            "supported.",
            fileName);
        return false;
    }

    int components = header.depth / 8;
    switch (header.depth) {
        case 8:
            image.internalFormat = GL_LUMINANCE;
            image.pixelFormat = GL_LUMINANCE;
            break;
        case 24:
            image.internalFormat = GL_RGB;
            image.pixelFormat = GL_BGR_EXT;
            break;
        case 32:
            image.internalFormat = GL_RGBA;
            image.pixelFormat = GL_BGRA_EXT;
            break;
        default:
            reportError(
                "Texture load: Can't load the texture in %s, only 8/24/32-bit images "
                "supported.",
                fileName);
            return false;
    }

    uint64_t bytes = packedImageBytes(header.width, header.height, components);
    std::unique_ptr<uint8_t[]> pixels = allocatePixelBuffer(bytes);
    if (!pixels) {
        reportError(
            "Texture load: Failed to allocate memory for the image %s. You should buy more RAM!",
            fileName);
        return false;
    }

    // A picture without pixels counts as unreadable data, as a raw read of zero bytes would.
    bool complete = bytes != 0 && std::fseek(file.get(), header.pixelOffset(), SEEK_SET) == 0;
    if (complete) {
        complete = header.runLength()
                       ? readRunLength(file.get(), pixels.get(),
                                       uint64_t{header.width} * header.height, components)
                       : std::fread(pixels.get(), 1, bytes, file.get()) == bytes;
    }
    if (!complete) {
        reportError(
            "Texture load: Failed to read image data from %s for some reason. Maybe the file is "
            "in some format not supported.",
            fileName);
        return false;
    }

    image.pixels = std::move(pixels);
    image.width = header.width;
    image.height = header.height;
    image.components = components;
    return true;
}
