// JPEG writing without an encoder: each 8x8 block is written flat in the colour of its
// top-left pixel, so that its DC coefficient alone describes it. The pictures the tests
// write are flat over whole blocks, and come back exact but for the colour conversion's
// rounding: no quantisation (a table of ones), no subsampling, fixed Huffman tables.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "support/pictures.h"

void writeJpeg(const std::string& path, const Picture& picture) {
    const auto high = [](int v) { return static_cast<uint8_t>(v >> 8); };
    const auto low = [](int v) { return static_cast<uint8_t>(v); };
    const int w = picture.width, h = picture.height;
    // Start of image; quantisation table 0, all ones; a baseline frame of three components
    // (Y, Cb, Cr) sampled alike; Huffman tables: the DC sizes 0 to 11 as 4-bit codes 0 to 11,
    // and an AC table of the end of block alone, code 0; the scan's header.
    std::vector<uint8_t> out = {0xff, 0xd8, 0xff, 0xdb, 0, 67, 0};
    out.insert(out.end(), 64, 1);
    const uint8_t headers[] = {
        0xff, 0xc0, 0,    17,   8, high(h), low(h), high(w), low(w), 3, 1,  0x11, 0, 2, 0x11, 0, 3,
        0x11, 0,    0xff, 0xc4, 0, 49,      0x00,   0,       0,      0, 12, 0,    0, 0, 0,    0, 0,
        0,    0,    0,    0,    0, 0,       0,      1,       2,      3, 4,  5,    6, 7, 8,    9, 10,
        11,   0x10, 1,    0,    0, 0,       0,      0,       0,      0, 0,  0,    0, 0, 0,    0, 0,
        0,    0,    0xff, 0xda, 0, 12,      3,      1,       0,      2, 0,  3,    0, 0, 63,   0};
    for (uint8_t value : headers)
        out.push_back(value);
    // Bits into bytes, most significant first; a 0xff byte is followed by a stuffed 0.
    unsigned byte = 0;
    int used = 0;
    const auto put = [&](unsigned value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            byte = byte << 1 | (value >> i & 1);
            if (++used == 8) {
                out.push_back(static_cast<uint8_t>(byte));
                if (byte == 0xff)
                    out.push_back(0);
                byte = used = 0;
            }
        }
    };
    int previous[3] = {};
    for (int y = 0; y < h; y += 8) {
        for (int x = 0; x < w; x += 8) {
            const Rgba& c = picture.at(x, y);
            const double ycc[3] = {0.299 * c.r + 0.587 * c.g + 0.114 * c.b - 128,
                                   -0.168736 * c.r - 0.331264 * c.g + 0.5 * c.b,
                                   0.5 * c.r - 0.418688 * c.g - 0.081312 * c.b};
            for (int k = 0; k < 3; ++k) {
                // A flat block's DC coefficient is 8 times its level-shifted value; each
                // component's is coded as the difference from its previous block's.
                const int dc = static_cast<int>(std::lround(8 * ycc[k]));
                const int difference = dc - previous[k];
                previous[k] = dc;
                int size = 0;
                while (std::abs(difference) >> size)
                    ++size;
                put(size, 4);
                put(difference < 0 ? difference + (1 << size) - 1 : difference, size);
                put(0, 1);  // end of block
            }
        }
    }
    put(0xff, (8 - used) % 8);  // the last byte filled with ones
    out.insert(out.end(), {0xff, 0xd9});
    writeFile(path, out);
}
