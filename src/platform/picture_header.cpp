#include "platform/internal/picture_header.h"

#include <cstdio>
#include <cstring>

#include "platform/file.h"

namespace platform {
namespace {

// A file read from the front in which every byte past the end reads as zero, which ends
// every walk below.
class ZeroPaddedFile {
  public:
    explicit ZeroPaddedFile(const char* path) : file_(openRegularFile(path)) {}
    ~ZeroPaddedFile() {
        if (file_)
            std::fclose(file_);
    }
    ZeroPaddedFile(const ZeroPaddedFile&) = delete;
    ZeroPaddedFile& operator=(const ZeroPaddedFile&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    void read(uint8_t* bytes, size_t count) {
        size_t got = std::fread(bytes, 1, count, file_);
        std::memset(bytes + got, 0, count - got);
    }
    void skip(long count) { std::fseek(file_, count, SEEK_CUR); }

  private:
    std::FILE* file_;
};

uint32_t bigEndian(const uint8_t* bytes, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

uint32_t littleEndian(const uint8_t* bytes, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

// The frame header (SOFn) of a JPEG, read after its first two bytes: the segments before it
// are skipped by their lengths.
void jpegSize(ZeroPaddedFile& file, PictureHeader& header) {
    uint8_t bytes[7];
    for (int segment = 0; segment < 4096; ++segment) {
        file.read(bytes, 2);
        if (bytes[0] != 0xff)
            return;
        uint8_t marker = bytes[1];
        while (marker == 0xff)
            file.read(&marker, 1);
        if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd8))
            continue;  // markers without a length
        if (marker == 0xd9 || marker == 0xda)
            return;  // the end, or the scan data, before any frame header
        const bool frame =
            marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
        if (frame) {
            file.read(bytes, 7);  // length, precision, height, width
            header.height = bigEndian(bytes + 3, 2);
            header.width = bigEndian(bytes + 5, 2);
            return;
        }
        file.read(bytes, 2);
        const uint32_t length = bigEndian(bytes, 2);
        if (length < 2)
            return;
        file.skip(static_cast<long>(length) - 2);
    }
}

}  // namespace

bool readPictureHeader(const char* path, PictureHeader& header) {
    if (!path)
        return false;
    ZeroPaddedFile file(path);
    if (!file.isOpen())
        return false;
    header = {};
    uint8_t head[26];
    static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    file.read(head, 2);
    if (head[0] == 0xff && head[1] == 0xd8) {
        header.type = PictureType::jpeg;
        jpegSize(file, header);
    } else {
        file.read(head + 2, sizeof head - 2);
        if (std::memcmp(head, kPngSignature, sizeof kPngSignature) == 0) {
            header.type = PictureType::png;
            header.width = bigEndian(head + 16, 4);
            header.height = bigEndian(head + 20, 4);
        } else if (head[0] == 'B' && head[1] == 'M') {
            header.type = PictureType::bmp;
            if (littleEndian(head + 14, 4) == 12) {  // the old OS/2 header: 16-bit sides
                header.width = littleEndian(head + 18, 2);
                header.height = littleEndian(head + 20, 2);
            } else {  // a negative height stores the rows top first
                header.width = static_cast<int32_t>(littleEndian(head + 18, 4));
                const int64_t height = static_cast<int32_t>(littleEndian(head + 22, 4));
                header.height = height < 0 ? -height : height;
            }
        } else {
            return false;
        }
    }
    return header.width <= kMaxPictureSide && header.height <= kMaxPictureSide;
}

}  // namespace platform
