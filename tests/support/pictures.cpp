#include "support/pictures.h"

#include <algorithm>
#include <cstdint>

namespace {

using Bytes = std::vector<uint8_t>;

void put16le(Bytes& out, unsigned v) {
    out.push_back(v & 0xff);
    out.push_back((v >> 8) & 0xff);
}

void put32le(Bytes& out, uint32_t v) {
    put16le(out, v & 0xffff);
    put16le(out, v >> 16);
}

void put32be(Bytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back((v >> shift) & 0xff);
}

uint8_t byte(int v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

bool sameColor(const Rgba& a, const Rgba& b) {
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

// The distinct colours in order of appearance and each pixel's index among them.
std::vector<Rgba> paletteOf(const Picture& picture, Bytes& indices) {
    std::vector<Rgba> palette;
    for (const Rgba& pixel : picture.pixels) {
        auto found = std::find_if(palette.begin(), palette.end(),
                                  [&](const Rgba& c) { return sameColor(c, pixel); });
        if (found == palette.end()) {
            palette.push_back(pixel);
            found = palette.end() - 1;
        }
        indices.push_back(static_cast<uint8_t>(found - palette.begin()));
    }
    if (palette.size() > 256)
        ADD_FAILURE() << "more than 256 colours in a palette picture";
    return palette;
}

// ---- PNG: zlib stored blocks, so no compressor is needed ----

uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

uint32_t adler32(const Bytes& data) {
    uint32_t a = 1, b = 0;
    for (uint8_t v : data) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

Bytes zlibStored(const Bytes& data) {
    Bytes out = {0x78, 0x01};
    size_t offset = 0;
    do {
        size_t size = std::min<size_t>(data.size() - offset, 65535);
        bool last = offset + size == data.size();
        out.push_back(last ? 1 : 0);
        put16le(out, static_cast<unsigned>(size));
        put16le(out, static_cast<unsigned>(~size & 0xffff));
        out.insert(out.end(), data.begin() + offset, data.begin() + offset + size);
        offset += size;
    } while (offset < data.size());
    put32be(out, adler32(data));
    return out;
}

void putChunk(Bytes& out, const char* type, const Bytes& data) {
    put32be(out, static_cast<uint32_t>(data.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    put32be(out, crc32(typed.data(), typed.size()));
}

// ---- TGA ----

void putTgaPixel(Bytes& out, const Rgba& c, int bitsPerPixel) {
    if (bitsPerPixel == 8) {
        out.push_back(byte(c.r));
        return;
    }
    out.push_back(byte(c.b));
    out.push_back(byte(c.g));
    out.push_back(byte(c.r));
    if (bitsPerPixel == 32)
        out.push_back(byte(c.a));
}

// Pixels as byte strings, one per pixel, encoded as run packets for repeats and raw
// packets for the rest.
Bytes runLengthEncode(const std::vector<Bytes>& pixels) {
    Bytes out;
    size_t i = 0;
    while (i < pixels.size()) {
        size_t run = 1;
        while (i + run < pixels.size() && run < 128 && pixels[i + run] == pixels[i])
            ++run;
        if (run > 1) {
            out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
            out.insert(out.end(), pixels[i].begin(), pixels[i].end());
            i += run;
            continue;
        }
        size_t raw = 1;
        while (i + raw < pixels.size() && raw < 128 &&
               !(i + raw + 1 < pixels.size() && pixels[i + raw + 1] == pixels[i + raw])) {
            ++raw;
        }
        out.push_back(static_cast<uint8_t>(raw - 1));
        for (size_t k = 0; k < raw; ++k)
            out.insert(out.end(), pixels[i + k].begin(), pixels[i + k].end());
        i += raw;
    }
    return out;
}

}  // namespace

Picture solidPicture(int width, int height, Rgba color) {
    return {width, height, std::vector<Rgba>(static_cast<size_t>(width) * height, color)};
}

Picture splitPicture(int width, int height, int topRows, Rgba top, Rgba bottom) {
    Picture picture = solidPicture(width, height, bottom);
    for (int y = 0; y < std::min(topRows, height); ++y) {
        for (int x = 0; x < width; ++x)
            picture.at(x, y) = top;
    }
    return picture;
}

Picture quadrants(int width, int height, const Rgba (&colors)[4]) {
    Picture picture = solidPicture(width, height, {});
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            picture.at(x, y) = colors[(y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1)];
    }
    return picture;
}

void writePng(const std::string& path, const Picture& picture, PngKind kind) {
    uint8_t colorType = 2;
    Bytes indices;
    std::vector<Rgba> palette;
    switch (kind) {
        case PngKind::rgb:
            colorType = 2;
            break;
        case PngKind::rgba:
            colorType = 6;
            break;
        case PngKind::grey:
            colorType = 0;
            break;
        case PngKind::greyAlpha:
            colorType = 4;
            break;
        case PngKind::palette:
        case PngKind::paletteAlpha:
            colorType = 3;
            palette = paletteOf(picture, indices);
            break;
    }

    Bytes raw;
    for (int y = 0; y < picture.height; ++y) {
        raw.push_back(0);  // filter: none
        for (int x = 0; x < picture.width; ++x) {
            const Rgba& c = picture.at(x, y);
            switch (kind) {
                case PngKind::rgb:
                    raw.insert(raw.end(), {byte(c.r), byte(c.g), byte(c.b)});
                    break;
                case PngKind::rgba:
                    raw.insert(raw.end(), {byte(c.r), byte(c.g), byte(c.b), byte(c.a)});
                    break;
                case PngKind::grey:
                    raw.push_back(byte(c.r));
                    break;
                case PngKind::greyAlpha:
                    raw.insert(raw.end(), {byte(c.r), byte(c.a)});
                    break;
                case PngKind::palette:
                case PngKind::paletteAlpha:
                    raw.push_back(indices[static_cast<size_t>(y) * picture.width + x]);
                    break;
            }
        }
    }

    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    Bytes header;
    put32be(header, static_cast<uint32_t>(picture.width));
    put32be(header, static_cast<uint32_t>(picture.height));
    header.insert(header.end(), {8, colorType, 0, 0, 0});
    putChunk(png, "IHDR", header);
    if (!palette.empty()) {
        Bytes plte, trns;
        for (const Rgba& c : palette) {
            plte.insert(plte.end(), {byte(c.r), byte(c.g), byte(c.b)});
            trns.push_back(byte(c.a));
        }
        putChunk(png, "PLTE", plte);
        if (kind == PngKind::paletteAlpha)
            putChunk(png, "tRNS", trns);
    }
    putChunk(png, "IDAT", zlibStored(raw));
    putChunk(png, "IEND", {});
    writeFile(path, png);
}

void writeSolidPng(const std::string& path, int width, int height, Rgba color, PngKind kind) {
    writePng(path, solidPicture(width, height, color), kind);
}

void writeSolidJpeg(const std::string& path, int width, int height, Rgba color) {
    writeJpeg(path, solidPicture(width, height, color));
}

void writeBmp(const std::string& path, const Picture& picture, int bitsPerPixel) {
    int bytesPerPixel = bitsPerPixel / 8;
    uint32_t rowBytes = (static_cast<uint32_t>(picture.width) * bytesPerPixel + 3) & ~3u;
    uint32_t imageBytes = rowBytes * picture.height;
    Bytes out = {'B', 'M'};
    put32le(out, 14 + 40 + imageBytes);
    put32le(out, 0);
    put32le(out, 14 + 40);
    put32le(out, 40);
    put32le(out, static_cast<uint32_t>(picture.width));
    put32le(out, static_cast<uint32_t>(picture.height));  // positive: bottom row first
    put16le(out, 1);
    put16le(out, static_cast<unsigned>(bitsPerPixel));
    put32le(out, 0);  // BI_RGB
    put32le(out, imageBytes);
    put32le(out, 2835);
    put32le(out, 2835);
    put32le(out, 0);
    put32le(out, 0);
    for (int y = picture.height - 1; y >= 0; --y) {
        size_t start = out.size();
        for (int x = 0; x < picture.width; ++x) {
            const Rgba& c = picture.at(x, y);
            out.insert(out.end(), {byte(c.b), byte(c.g), byte(c.r)});
            if (bytesPerPixel == 4)
                out.push_back(byte(c.a));
        }
        out.resize(start + rowBytes, 0);
    }
    writeFile(path, out);
}

void writeTga(const std::string& path, const Picture& picture, const TgaOptions& options) {
    int bits = options.colorMapped ? 8 : options.bitsPerPixel;
    Bytes indices;
    std::vector<Rgba> palette;
    if (options.colorMapped)
        palette = paletteOf(picture, indices);
    int mapEntries =
        options.colorMapped ? static_cast<int>(palette.size()) : options.colorMapEntries;

    uint8_t imageType = options.colorMapped ? 1 : options.bitsPerPixel == 8 ? 3 : 2;
    if (options.runLength)
        imageType += 8;

    Bytes out;
    std::string imageId = options.imageId;
    out.push_back(static_cast<uint8_t>(imageId.size()));
    out.push_back(mapEntries > 0 ? 1 : 0);
    out.push_back(imageType);
    put16le(out, 0);
    put16le(out, static_cast<unsigned>(mapEntries));
    out.push_back(mapEntries > 0 ? 24 : 0);
    put16le(out, 0);
    put16le(out, 0);
    put16le(out, static_cast<unsigned>(picture.width));
    put16le(out, static_cast<unsigned>(picture.height));
    out.push_back(static_cast<uint8_t>(bits));
    uint8_t alphaBits = bits == 32 ? 8 : 0;
    out.push_back(static_cast<uint8_t>(alphaBits | (options.topDown ? 0x20 : 0)));
    out.insert(out.end(), imageId.begin(), imageId.end());
    // Colour-map entries nobody uses are filled with a colour that shows if read as pixels.
    for (int i = 0; i < mapEntries; ++i) {
        Rgba c = options.colorMapped ? palette[i] : Rgba{0, 255, 0, 255};
        putTgaPixel(out, c, 24);
    }

    std::vector<Bytes> pixels;
    for (int row = 0; row < picture.height; ++row) {
        int y = options.topDown ? row : picture.height - 1 - row;
        for (int x = 0; x < picture.width; ++x) {
            Bytes pixel;
            if (options.colorMapped) {
                pixel.push_back(indices[static_cast<size_t>(y) * picture.width + x]);
            } else {
                putTgaPixel(pixel, picture.at(x, y), bits);
            }
            pixels.push_back(pixel);
        }
    }
    if (options.runLength) {
        Bytes encoded = runLengthEncode(pixels);
        out.insert(out.end(), encoded.begin(), encoded.end());
    } else {
        for (const Bytes& pixel : pixels)
            out.insert(out.end(), pixel.begin(), pixel.end());
    }
    writeFile(path, out);
}
