#include "support/pictures.h"

#include <algorithm>
#include <cstdint>

namespace {

using Bytes = std::vector<uint8_t>;

// `count` bytes of `v`, least significant first unless `bigEndian`.
void put(Bytes& out, uint32_t v, int count, bool bigEndian = false) {
    for (int i = 0; i < count; ++i)
        out.push_back((v >> 8 * (bigEndian ? count - 1 - i : i)) & 0xff);
}

uint8_t byte(int v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

// A PNG chunk; its CRC-32 covers the type and the data.
void putChunk(Bytes& out, const char* type, Bytes data) {
    put(out, static_cast<uint32_t>(data.size()), 4, true);
    data.insert(data.begin(), type, type + 4);
    uint32_t crc = ~0u;
    for (uint8_t v : data) {
        crc ^= v;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    out.insert(out.end(), data.begin(), data.end());
    put(out, ~crc, 4, true);
}

// zlib of stored blocks, so that no compressor is needed.
Bytes zlibStored(const Bytes& data) {
    Bytes out = {0x78, 0x01};
    uint32_t a = 1, b = 0;
    size_t offset = 0;
    do {
        size_t size = std::min<size_t>(data.size() - offset, 65535);
        out.push_back(offset + size == data.size() ? 1 : 0);
        put(out, static_cast<uint32_t>(size | (~size & 0xffff) << 16), 4);
        for (size_t i = offset; i < offset + size; ++i) {
            a = (a + data[i]) % 65521;
            b = (b + a) % 65521;
        }
        out.insert(out.end(), data.begin() + offset, data.begin() + offset + size);
        offset += size;
    } while (offset < data.size());
    put(out, (b << 16) | a, 4, true);
    return out;
}

// Blue, green, red and alpha, as many as `bits` take.
void putTgaPixel(Bytes& out, const Rgba& c, int bits) {
    const uint8_t channels[4] = {byte(c.b), byte(c.g), byte(c.r), byte(c.a)};
    out.insert(out.end(), channels, channels + bits / 8);
}

// Run packets for repeats, raw packets for the pixels between.
Bytes runLengthEncode(const std::vector<Bytes>& pixels) {
    const auto repeats = [&](size_t i) {
        return i + 1 < pixels.size() && pixels[i + 1] == pixels[i];
    };
    Bytes out;
    for (size_t i = 0, n = 1; i < pixels.size(); i += n, n = 1) {
        const bool run = repeats(i);
        while (n < 128 && i + n < pixels.size() &&
               (run ? pixels[i + n] == pixels[i] : !repeats(i + n)))
            ++n;
        out.push_back(static_cast<uint8_t>((run ? 0x80 : 0) | (n - 1)));
        for (size_t k = 0; k < (run ? 1 : n); ++k)
            out.insert(out.end(), pixels[i + k].begin(), pixels[i + k].end());
    }
    return out;
}

}  // namespace

Picture solidPicture(int width, int height, Rgba color) {
    return {width, height, std::vector<Rgba>(static_cast<size_t>(width) * height, color)};
}

Picture splitPicture(int width, int height, int topRows, Rgba top, Rgba bottom) {
    Picture picture = solidPicture(width, height, bottom);
    std::fill_n(picture.pixels.begin(), width * std::min(topRows, height), top);
    return picture;
}

void writePng(const std::string& path, const Picture& picture, PngKind kind) {
    // Colour type and the channels of each pixel, from r, g, b, a.
    const int colorTypes[] = {2, 6};
    const int channels[] = {3, 4};
    Bytes raw;
    for (int y = 0; y < picture.height; ++y) {
        raw.push_back(0);  // filter: none
        for (int x = 0; x < picture.width; ++x) {
            const Rgba& c = picture.at(x, y);
            const uint8_t values[4] = {byte(c.r), byte(c.g), byte(c.b), byte(c.a)};
            raw.insert(raw.end(), values, values + channels[static_cast<int>(kind)]);
        }
    }
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    Bytes header;
    put(header, static_cast<uint32_t>(picture.width), 4, true);
    put(header, static_cast<uint32_t>(picture.height), 4, true);
    header.insert(header.end(),
                  {8, static_cast<uint8_t>(colorTypes[static_cast<int>(kind)]), 0, 0, 0});
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", zlibStored(raw));
    putChunk(png, "IEND", {});
    writeFile(path, png);
}

void writeSolidPng(const std::string& path, int width, int height, Rgba color) {
    writePng(path, solidPicture(width, height, color));
}

void writeSolidJpeg(const std::string& path, int width, int height, Rgba color) {
    writeJpeg(path, solidPicture(width, height, color));
}

void writeBmp(const std::string& path, const Picture& picture, int bitsPerPixel) {
    const uint32_t rowBytes = (static_cast<uint32_t>(picture.width) * bitsPerPixel / 8 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * picture.height;
    Bytes out = {'B', 'M'};
    // File size, reserved, pixel offset; then the 40-byte info header: a positive height
    // (bottom row first), one plane, uncompressed, 2835 pixels a metre.
    for (uint32_t v :
         {14 + 40 + imageBytes, 0u, 14u + 40u, 40u, static_cast<uint32_t>(picture.width),
          static_cast<uint32_t>(picture.height), 1u | static_cast<uint32_t>(bitsPerPixel) << 16, 0u,
          imageBytes, 2835u, 2835u, 0u, 0u})
        put(out, v, 4);
    for (int y = picture.height - 1; y >= 0; --y) {
        const size_t start = out.size();
        for (int x = 0; x < picture.width; ++x)
            putTgaPixel(out, picture.at(x, y), bitsPerPixel);
        out.resize(start + rowBytes, 0);
    }
    writeFile(path, out);
}

void writeTga(const std::string& path, const Picture& picture, const TgaOptions& options) {
    const int bits = options.bitsPerPixel;
    const std::string imageId = options.imageId;
    // The ID's length, no colour map, the image type, and nine zero bytes: no colour map's
    // fields and the origin at 0.
    Bytes out(12, 0);
    out[0] = static_cast<uint8_t>(imageId.size());
    out[2] = options.runLength ? 10 : 2;
    put(out, static_cast<uint32_t>(picture.width) | static_cast<uint32_t>(picture.height) << 16, 4);
    out.push_back(static_cast<uint8_t>(bits));
    out.push_back(static_cast<uint8_t>((bits == 32 ? 8 : 0) | (options.topDown ? 0x20 : 0)));
    out.insert(out.end(), imageId.begin(), imageId.end());

    std::vector<Bytes> pixels;
    for (int row = 0; row < picture.height; ++row) {
        const int y = options.topDown ? row : picture.height - 1 - row;
        for (int x = 0; x < picture.width; ++x) {
            pixels.emplace_back();
            putTgaPixel(pixels.back(), picture.at(x, y), bits);
        }
    }
    if (options.runLength)
        pixels = {runLengthEncode(pixels)};
    for (const Bytes& bytes : pixels)
        out.insert(out.end(), bytes.begin(), bytes.end());
    writeFile(path, out);
}
