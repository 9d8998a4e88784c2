// PNG files written with libdeflate: the whole filtered picture compressed in one call.
#include <libdeflate.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "platform/picture_file.h"

namespace platform {

namespace {

// libdeflate's fastest level; its higher ones gain a few percent of size for twice the time.
constexpr int kCompressionLevel = 1;
constexpr uint8_t kFilterUp = 2;

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
// Signature, IHDR chunk (8 + 13 + 4), IDAT's length and type; IDAT's CRC and IEND after.
constexpr size_t kHeadBytes = 8 + 25 + 8;
constexpr size_t kTailBytes = 4 + 12;

uint8_t* putBigEndian(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value >> 24);
    at[1] = static_cast<uint8_t>(value >> 16);
    at[2] = static_cast<uint8_t>(value >> 8);
    at[3] = static_cast<uint8_t>(value);
    return at + 4;
}

// A chunk's CRC covers its type and data, which start 4 bytes after its length.
uint8_t* putChunkCrc(uint8_t* chunk, size_t dataBytes) {
    const uint32_t crc = libdeflate_crc32(0, chunk + 4, 4 + dataBytes);
    return putBigEndian(chunk + 8 + dataBytes, crc);
}

void toRgb(const uint8_t* source, PixelOrder order, int width, uint8_t* rgb) {
    if (order == PixelOrder::rgb) {
        std::memcpy(rgb, source, static_cast<size_t>(width) * 3);
        return;
    }
    for (int x = 0; x < width; ++x, source += 4, rgb += 3) {
        rgb[0] = source[2];
        rgb[1] = source[1];
        rgb[2] = source[0];
    }
}

}  // namespace

struct PngWriter::State {
    libdeflate_compressor* compressor = nullptr;
    std::vector<uint8_t> rows[2];   // the row being filtered and the one above it, as RGB
    std::vector<uint8_t> filtered;  // each row: its filter byte, then its differences
    std::vector<uint8_t> file;      // the whole file, written in one call

    ~State() {
        if (compressor)
            libdeflate_free_compressor(compressor);
    }
};

PngWriter::PngWriter() : state_(new State) {}

PngWriter::~PngWriter() = default;

bool PngWriter::write(const char* path, const PixelRows& picture) {
    State& s = *state_;
    if (!s.compressor)
        s.compressor = libdeflate_alloc_compressor(kCompressionLevel);
    if (!s.compressor || picture.width <= 0 || picture.height <= 0)
        return false;

    const size_t rowBytes = static_cast<size_t>(picture.width) * 3;
    const size_t filteredBytes = (rowBytes + 1) * static_cast<size_t>(picture.height);
    try {
        s.rows[0].assign(rowBytes, 0);  // the row above the top one is zero for "up"
        s.rows[1].resize(rowBytes);
        s.filtered.resize(filteredBytes);
        s.file.resize(kHeadBytes + libdeflate_zlib_compress_bound(s.compressor, filteredBytes) +
                      kTailBytes);
    } catch (const std::bad_alloc&) {
        return false;
    }

    const uint8_t* source = picture.topRow;
    uint8_t* out = s.filtered.data();
    for (int y = 0; y < picture.height; ++y, source += picture.pitch, out += rowBytes + 1) {
        const uint8_t* above = s.rows[y % 2].data();
        uint8_t* row = s.rows[(y + 1) % 2].data();
        toRgb(source, picture.order, picture.width, row);
        out[0] = kFilterUp;
        for (size_t i = 0; i < rowBytes; ++i)
            out[1 + i] = static_cast<uint8_t>(row[i] - above[i]);
    }

    uint8_t* file = s.file.data();
    std::memcpy(file, kSignature, sizeof kSignature);
    uint8_t* header = file + 8;
    uint8_t* at = putBigEndian(header, 13);
    std::memcpy(at, "IHDR", 4);
    at = putBigEndian(at + 4, static_cast<uint32_t>(picture.width));
    at = putBigEndian(at, static_cast<uint32_t>(picture.height));
    const uint8_t depthAndKind[5] = {8, 2, 0, 0, 0};  // 8 bits, RGB, deflate, filters, no interlace
    std::memcpy(at, depthAndKind, sizeof depthAndKind);
    putChunkCrc(header, 13);

    uint8_t* data = file + 33;
    const size_t compressed =
        libdeflate_zlib_compress(s.compressor, s.filtered.data(), filteredBytes, data + 8,
                                 s.file.size() - kHeadBytes - kTailBytes);
    if (compressed == 0)
        return false;
    putBigEndian(data, static_cast<uint32_t>(compressed));
    std::memcpy(data + 4, "IDAT", 4);
    uint8_t* end = putChunkCrc(data, compressed);
    putBigEndian(end, 0);
    std::memcpy(end + 4, "IEND", 4);
    end = putChunkCrc(end, 0);

    std::FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    const size_t bytes = static_cast<size_t>(end - file);
    const bool written = std::fwrite(file, 1, bytes, f) == bytes;
    return std::fclose(f) == 0 && written;
}

bool writePngRgb(const char* path, int width, int height, const uint8_t* pixels) {
    PngWriter writer;
    return writer.write(
        path, {pixels, static_cast<ptrdiff_t>(width) * 3, width, height, PixelOrder::rgb});
}

}  // namespace platform
