// GDI+ backend of the picture decoder, through its flat API: the file becomes a GDI+
// bitmap, whose pixels are locked in the byte order and depth the loader expects.
//
// GDI+ reports the source's own pixel format: RGB PNG and JPEG files as 24bppRGB, PNG files
// with alpha as 32bppARGB, palette pictures as 1, 4 or 8bppIndexed; grey PNG files alone
// come as 32bppARGB, with the grey colour space in the image's flags. Colour sources are
// locked at 24 bits (blue, green, red) or, with alpha or four bytes a pixel, at 32
// (blue, green, red, straight alpha, opaque where the source has none). Palette and 16-bit
// sources are locked at their own depth, grey ones at 8 bits made from the 32: the loader
// refuses them by depth alone.
#include <new>
#include <string>

#include "platform/image.h"
#include "platform/internal/backend.h"
#include "platform/internal/picture_header.h"
#include "platform/win32/gdiplus.h"
#include "platform/win32/local.h"

namespace platform {
namespace {

namespace gp = Gdiplus::DllExports;

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

// The depth the loader is given for a source format, and the format GDI+ locks it in.
struct Presentation {
    int bitsPerPixel;
    Gdiplus::PixelFormat lockFormat;
    bool grey = false;  // locked at 32 bits, given at 8
};

Presentation presentationOf(Gdiplus::PixelFormat source, UINT flags) {
    if (Gdiplus::IsIndexedPixelFormat(source))
        return {static_cast<int>(Gdiplus::GetPixelFormatSize(source)), source};
    if (flags & Gdiplus::ImageFlagsColorSpaceGRAY)
        return {8, PixelFormat32bppARGB, true};
    if (Gdiplus::IsAlphaPixelFormat(source))
        return {32, PixelFormat32bppARGB};
    switch (Gdiplus::GetPixelFormatSize(source)) {
        case 16:
            return {16, source};
        case 24:
        case 48:
            return {24, PixelFormat24bppRGB};
        default:  // four bytes a pixel without alpha; the fourth byte comes out opaque
            return {32, PixelFormat32bppARGB};
    }
}

// Makes the locked 32-bit rows of a grey source rows of one byte a pixel, in place: each
// pixel's first byte (blue, as grey as the other two) moves to the pixel's own index.
void keepGrey(const Gdiplus::BitmapData& data) {
    for (UINT y = 0; y < data.Height; ++y) {
        uint8_t* row = static_cast<uint8_t*>(data.Scan0) + ptrdiff_t{data.Stride} * y;
        for (UINT x = 0; x < data.Width; ++x)
            row[x] = row[x * 4];
    }
}

}  // namespace

bool startGdiplus() {
    static const bool started = [] {
        ULONG_PTR token = 0;
        Gdiplus::GdiplusStartupInput input;
        return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    }();
    return started;
}

void prepareDecoding() {
    startGdiplus();
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
    UINT flags = 0;
    if (gp::GdipGetImageWidth(decoded->bitmap, &width) != Gdiplus::Ok ||
        gp::GdipGetImageHeight(decoded->bitmap, &height) != Gdiplus::Ok ||
        gp::GdipGetImagePixelFormat(decoded->bitmap, &source) != Gdiplus::Ok ||
        gp::GdipGetImageFlags(decoded->bitmap, &flags) != Gdiplus::Ok) {
        release(decoded);
        return -1;
    }
    const Presentation presentation = presentationOf(source, flags);
    // A grey source is rewritten in the locked memory, which GDI+ then takes back.
    const UINT mode = presentation.grey ? Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite
                                        : Gdiplus::ImageLockModeRead;
    Gdiplus::GpRect all(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    if (gp::GdipBitmapLockBits(decoded->bitmap, &all, mode, presentation.lockFormat,
                               &decoded->data) != Gdiplus::Ok) {
        release(decoded);
        return -1;
    }
    decoded->locked = true;
    if (presentation.grey)
        keepGrey(decoded->data);
    bitmap_ = decoded;
    topRow_ = static_cast<const uint8_t*>(decoded->data.Scan0);
    pitch_ = decoded->data.Stride;
    width_ = static_cast<int>(width);
    height_ = static_cast<int>(height);
    bitsPerPixel_ = presentation.bitsPerPixel;
    return 0;
}

void freeDecodedBitmap(void* bitmap) {
    release(static_cast<LockedBitmap*>(bitmap));
}

}  // namespace platform
