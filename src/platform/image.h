// Picture decoding (PNG, JPEG, BMP) into a bitmap that the loader copies out.
//
// The decoded bitmap presents its pixels as blue, green, red (24 bits per pixel) or blue,
// green, red, alpha (32 bits, straight alpha), starting at the top row and stepping by a
// signed pitch whose rows take a whole number of 4-byte words. Sources with alpha come out
// at 32 bits; colour sources without alpha at 24 (a 32-bit BMP stays at 32); palette and
// grey sources of 8 bits or fewer and 16-bit sources keep their own depth, which the
// loader refuses.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Readies the decoders for use from several threads at once. Call it on the main thread
// before decoding on any other; it may be called again.
void prepareDecoding();

// Objects of this class may load on different threads at once, each on one thread at a time.
class DecodedImage {
  public:
    DecodedImage() = default;
    ~DecodedImage();
    DecodedImage(const DecodedImage&) = delete;
    DecodedImage& operator=(const DecodedImage&) = delete;

    // Decodes the file; 0 on success, non-zero on failure. A null path fails. PNG, JPEG and
    // BMP are told apart by content, whatever the name says; any other content fails, and
    // so does a header that claims more than 16384 pixels a side.
    int load(const char* path);

    // Frees the decoded bitmap; the object can load again afterwards.
    void destroy();

    int width() const { return width_; }
    int height() const { return height_; }
    int bitsPerPixel() const { return bitsPerPixel_; }
    const uint8_t* topRow() const { return topRow_; }
    ptrdiff_t pitch() const { return pitch_; }

  private:
    void* bitmap_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int bitsPerPixel_ = 0;
    const uint8_t* topRow_ = nullptr;
    ptrdiff_t pitch_ = 0;
};

}  // namespace platform
