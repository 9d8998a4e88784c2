// JPEG writing with GDI+'s flat API, the system's own encoder.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "platform/win32/gdiplus.h"
#include "support/pictures.h"

namespace {

namespace gp = Gdiplus::DllExports;

// The class of GDI+'s JPEG encoder.
bool jpegEncoder(CLSID& encoder) {
    UINT count = 0;
    UINT bytes = 0;
    if (gp::GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || count == 0)
        return false;
    // The codecs come first, followed by the strings they point to.
    std::vector<uint8_t> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (gp::GdipGetImageEncoders(count, bytes, codecs) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].FormatID == Gdiplus::ImageFormatJPEG) {
            encoder = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

}  // namespace

void writeJpeg(const std::string& path, const Picture& picture) {
    CLSID encoder;
    if (!platform::startGdiplus() || !jpegEncoder(encoder)) {
        ADD_FAILURE() << "no JPEG encoder in GDI+";
        return;
    }
    // 24 bits a pixel, blue, green, red, each row padded to whole 4-byte words.
    const int stride = (picture.width * 3 + 3) & ~3;
    std::vector<BYTE> pixels(static_cast<size_t>(stride) * picture.height);
    for (int y = 0; y < picture.height; ++y) {
        BYTE* row = pixels.data() + static_cast<size_t>(y) * stride;
        for (int x = 0; x < picture.width; ++x) {
            const Rgba& c = picture.at(x, y);
            row[x * 3 + 0] = static_cast<BYTE>(std::clamp(c.b, 0, 255));
            row[x * 3 + 1] = static_cast<BYTE>(std::clamp(c.g, 0, 255));
            row[x * 3 + 2] = static_cast<BYTE>(std::clamp(c.r, 0, 255));
        }
    }
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (gp::GdipCreateBitmapFromScan0(picture.width, picture.height, stride, PixelFormat24bppRGB,
                                      pixels.data(), &bitmap) != Gdiplus::Ok) {
        ADD_FAILURE() << "no bitmap for " << path;
        return;
    }
    ULONG quality = 100;
    Gdiplus::EncoderParameters parameters = {};
    parameters.Count = 1;
    parameters.Parameter[0].Guid = Gdiplus::EncoderQuality;
    parameters.Parameter[0].NumberOfValues = 1;
    parameters.Parameter[0].Type = Gdiplus::EncoderParameterValueTypeLong;
    parameters.Parameter[0].Value = &quality;
    const std::wstring widePath = std::filesystem::path(path).wstring();
    if (gp::GdipSaveImageToFile(bitmap, widePath.c_str(), &encoder, &parameters) != Gdiplus::Ok)
        ADD_FAILURE() << "JPEG not written: " << path;
    gp::GdipDisposeImage(bitmap);
}
