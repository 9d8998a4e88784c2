// The decoded picture's life, the same on every backend; decoding is the backend's.
#include "platform/image.h"

#include "platform/internal/backend.h"

namespace platform {

DecodedImage::~DecodedImage() {
    destroy();
}

void DecodedImage::destroy() {
    if (bitmap_)
        freeDecodedBitmap(bitmap_);
    bitmap_ = nullptr;
    width_ = 0;
    height_ = 0;
    bitsPerPixel_ = 0;
    topRow_ = nullptr;
    pitch_ = 0;
}

}  // namespace platform
