// GDI+ backend of the picture decoder, through its flat API: the file becomes a GDI+
// bitmap, whose pixels are locked in the byte order and depth the loader expects.
//
// GDI+ reports the source's own pixel format: RGB PNG and JPEG files as 24bppRGB, PNG files
// with alpha as 32bppARGB, palette pictures as 1, 4 or 8bppIndexed. Colour sources are
// locked at 24 bits (blue, green, red) or, with alpha or four bytes a pixel, at 32
// (blue, green, red, straight alpha, opaque where the source has none). Palette and 16-bit
// sources keep their depth and are not locked: the loader refuses them by depth alone.
#include <windows.h>
// GDI+'s headers expect what windows.h leaves out when it is kept lean (COM's property
// types) and the min and max that NOMINMAX takes away.
#include <objidl.h>

#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <new>
#include <string>

#include "platform/image.h"
#include "platform/picture_header.h"
#include "platform/win32_local.h"

namespace platform {
namespace {

namespace gp = Gdiplus::DllExports;

// GDI+ is started on the first load and kept for the process.
bool startGdiplus() {
    static const bool started = [] {
        ULONG_PTR token = 0;
        Gdiplus::GdiplusStartupInput input;
        return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    }();
    return started;
}

struct LockedBitmap {
    Gdiplus::GpBitmap* bitmap = nullptr;
    Gdiplus::BitmapData data = {};
    bool locked = false;
};

void release(LockedBitmap* decoded) {
    if (decoded->locked)
        gp::GdipBitmapUnlockBits(decoded->bitmap, &decoded->data);
    gp::GdipDisposeImage(decoded->bitmap);
    delete decoded;
}

// The depth the loader is given for a source format, and the format GDI+ locks it in; 0
// for a depth that is not locked.
struct Presentation {
    int bitsPerPixel;
    Gdiplus::PixelFormat lockFormat;
};

Presentation presentationOf(Gdiplus::PixelFormat source) {
    if (Gdiplus::IsAlphaPixelFormat(source))
        return {32, PixelFormat32bppARGB};
    if (Gdiplus::IsIndexedPixelFormat(source))
        return {static_cast<int>(Gdiplus::GetPixelFormatSize(source)), 0};
    switch (Gdiplus::GetPixelFormatSize(source)) {
        case 16:
            return {16, 0};
        case 24:
        case 48:
            return {24, PixelFormat24bppRGB};
        default:  // four bytes a pixel without alpha; the fourth byte comes out opaque
            return {32, PixelFormat32bppARGB};
    }
}

}  // namespace

DecodedImage::~DecodedImage() {
    destroy();
}

int DecodedImage::load(const char* path) {
    destroy();
    PictureHeader header;
    std::wstring widePath;
    if (!readPictureHeader(path, header) || !widen(path, widePath) || !startGdiplus())
        return -1;

    auto* decoded = new (std::nothrow) LockedBitmap;
    if (!decoded)
        return -1;
    if (gp::GdipCreateBitmapFromFile(widePath.c_str(), &decoded->bitmap) != Gdiplus::Ok) {
        delete decoded;
        return -1;
    }
    UINT width = 0;
    UINT height = 0;
    Gdiplus::PixelFormat source = 0;
    if (gp::GdipGetImageWidth(decoded->bitmap, &width) != Gdiplus::Ok ||
        gp::GdipGetImageHeight(decoded->bitmap, &height) != Gdiplus::Ok ||
        gp::GdipGetImagePixelFormat(decoded->bitmap, &source) != Gdiplus::Ok) {
        release(decoded);
        return -1;
    }
    const Presentation presentation = presentationOf(source);
    if (presentation.lockFormat != 0) {
        Gdiplus::GpRect all(0, 0, static_cast<INT>(width), static_cast<INT>(height));
        if (gp::GdipBitmapLockBits(decoded->bitmap, &all, Gdiplus::ImageLockModeRead,
                                   presentation.lockFormat, &decoded->data) != Gdiplus::Ok) {
            release(decoded);
            return -1;
        }
        decoded->locked = true;
        topRow_ = static_cast<const uint8_t*>(decoded->data.Scan0);
        pitch_ = decoded->data.Stride;
    }
    bitmap_ = decoded;
    width_ = static_cast<int>(width);
    height_ = static_cast<int>(height);
    bitsPerPixel_ = presentation.bitsPerPixel;
    return 0;
}

void DecodedImage::destroy() {
    if (bitmap_)
        release(static_cast<LockedBitmap*>(bitmap_));
    bitmap_ = nullptr;
    width_ = 0;
    height_ = 0;
    bitsPerPixel_ = 0;
    topRow_ = nullptr;
    pitch_ = 0;
}

}  // namespace platform
