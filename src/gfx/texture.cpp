// Textures: the choice of reader, the decoder path, the upload with GLU mipmaps, release.
#include "gfx/texture.h"

#include <algorithm>
#include <new>
#include <string_view>

#include "base/report_error.h"
#include "gfx/tga.h"
#include "platform/gl.h"
#include "platform/image.h"

uint64_t gPixelBufferLimit = uint64_t{1} << 30;

// OpenGL 1.2's token; Windows' headers stop at 1.1.
#ifndef GL_TEXTURE_MAX_LEVEL
#define GL_TEXTURE_MAX_LEVEL 0x813D
#endif

namespace {

// ASCII only, whatever the locale: file extensions are compared byte by byte.
char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

// The side GLU gives a picture side before it builds mipmaps: the nearer power of two,
// the higher one from 1.5 times the lower on (GLU's own rule, which keeps the top two bits).
int32_t gluSide(int32_t side) {
    int32_t power = 1;
    for (uint32_t value = static_cast<uint32_t>(side); value > 1; value >>= 1) {
        if (value == 3)
            return power * 4;
        power *= 2;
    }
    return power;
}

// Whether the context is desktop OpenGL 1.2 or later, the first to know GL_TEXTURE_MAX_LEVEL
// (which Windows' own renderer, at 1.1, and WebGL 1 would refuse with an error). Desktop
// OpenGL's GL_VERSION starts "major.minor"; OpenGL ES's starts with its name.
bool hasMaxLevel(const char* version) {
    if (version[0] < '0' || version[0] > '9')
        return false;
    const int major = version[0] - '0';
    return major > 1 || (major == 1 && version[1] == '.' && version[2] >= '2');
}

// The last mipmap level of a picture as GLU builds it.
GLint lastMipmapLevel(int32_t width, int32_t height) {
    GLint level = 0;
    for (int32_t side = std::max(gluSide(width), gluSide(height)); side > 1; side /= 2)
        ++level;
    return level;
}

void reportGlError() {
    GLenum code = glGetError();
    if (code != GL_NO_ERROR) {
        reportError("OpenGL Error %i (0x%X): %s", static_cast<int>(code), code,
                    reinterpret_cast<const char*>(gluErrorString(code)));
    }
}

bool loadDecoded(Texture& texture, const char* fileName) {
    return uploadPicture(texture, fileName, decodePicture(fileName));
}

bool loadTga(Texture& texture, const char* fileName) {
    TgaImage image;
    if (!readTga(fileName, image))
        return false;
    return uploadTexture(texture, image.pixels.get(), image.width, image.height, image.components,
                         image.internalFormat, image.pixelFormat);
}

}  // namespace

// The decoder delivers blue-green-red(-alpha) rows stepped by a signed pitch; the buffer
// gets red-green-blue(-alpha) rows, top row first, without gaps.
DecodedPicture decodePicture(const char* fileName) {
    DecodedPicture picture;
    platform::DecodedImage image;
    if (image.load(fileName) != 0)
        return picture;

    const int channels = image.bitsPerPixel() / 8;
    if (channels != 3 && channels != 4) {
        picture.outcome = DecodedPicture::Outcome::wrongDepth;
        return picture;
    }
    const int32_t width = image.width();
    const int32_t height = image.height();
    picture.pixels = allocatePixelBuffer(packedImageBytes(width, height, channels));
    if (!picture.pixels) {
        picture.outcome = DecodedPicture::Outcome::noMemory;
        return picture;
    }

    const uint8_t* sourceRow = image.topRow();
    uint8_t* dest = picture.pixels.get();
    for (int32_t y = 0; y < height; ++y, sourceRow += image.pitch()) {
        const uint8_t* source = sourceRow;
        for (int32_t x = 0; x < width; ++x, source += channels, dest += channels) {
            dest[0] = source[2];
            dest[1] = source[1];
            dest[2] = source[0];
            if (channels == 4)
                dest[3] = source[3];
        }
    }
    picture.outcome = DecodedPicture::Outcome::decoded;
    picture.width = width;
    picture.height = height;
    picture.components = channels;
    return picture;
}

bool uploadPicture(Texture& texture, const char* fileName, DecodedPicture picture) {
    switch (picture.outcome) {
        case DecodedPicture::Outcome::decoded:
            break;
        case DecodedPicture::Outcome::unreadable:
            reportError("Texture load: Can't load the texture in file '%s' for some reason.",
                        fileName);
            return false;
        case DecodedPicture::Outcome::wrongDepth:
            reportError("Texture load: Sorry, only 3 or 4 channel images are supported. %s is not!",
                        fileName);
            return false;
        case DecodedPicture::Outcome::noMemory:
            reportError(
                "Texture load: Failed to allocate memory for the image %s. You should buy more "
                "RAM!",
                fileName);
            return false;
    }
    const GLenum format = picture.components == 4 ? GL_RGBA : GL_RGB;
    return uploadTexture(texture, picture.pixels.get(), picture.width, picture.height,
                         picture.components, format, format);
}

Texture::Texture(const char* fileName) {
    loaded = loadTexture(*this, fileName);
}

Texture::~Texture() {
    releaseTexture(*this);
}

TextureReader textureReaderFor(const char* fileName) {
    if (!fileName)
        return TextureReader::none;
    std::string_view name(fileName);
    size_t dot = name.rfind('.');
    std::string_view extension = dot == std::string_view::npos ? name : name.substr(dot + 1);
    for (std::string_view decoded : {"jpg", "jpeg", "bmp", "png"}) {
        if (equalsIgnoringCase(extension, decoded))
            return TextureReader::decoder;
    }
    if (equalsIgnoringCase(extension, "tga"))
        return TextureReader::tga;
    return TextureReader::none;
}

bool loadTexture(Texture& texture, const char* fileName) {
    if (!fileName) {
        reportError("Trying to load texture from filename NULL. No good...");
        return false;
    }
    switch (textureReaderFor(fileName)) {
        case TextureReader::decoder:
            return loadDecoded(texture, fileName);
        case TextureReader::tga:
            return loadTga(texture, fileName);
        case TextureReader::none:
            break;
    }
    reportError("Texture load: Can't load the texture in file '%s'. Unknown or no file extension.",
                fileName);
    return false;
}

bool uploadTexture(Texture& texture, const uint8_t* pixels, int32_t width, int32_t height,
                   int components, GLenum internalFormat, GLenum pixelFormat) {
    if (texture.id != 0) {
        glDeleteTextures(1, &texture.id);
        texture.id = 0;
        texture.loaded = false;
    }
    texture.width = width;
    texture.height = height;
    glGenTextures(1, &texture.id);
    glBindTexture(GL_TEXTURE_2D, texture.id);
    // Rows are tightly packed: a 24-bit row of odd width is not a multiple of 4 bytes.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    if (!pixels) {
        reportError("Texture load: Data pointer is null.");
        return false;
    }
    // Without a current context (the window could not be set up, and said so) there is
    // nothing to upload to, and GLU would crash asking for the GL version.
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (!version)
        return false;

    // The driver sizes a texture's storage when its first level arrives, from what the
    // texture's parameters let it guess; told the last level, it makes room for the whole
    // chain at once, where otherwise it keeps the first level apart until the first draw
    // that uses it (a fourth more memory, and a copy then).
    const bool maxLevel = hasMaxLevel(version);
    if (maxLevel)
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, lastMipmapLevel(width, height));
    // GLU takes the component count as the internal format, as OpenGL 1.0 did.
    GLint built = gluBuild2DMipmaps(GL_TEXTURE_2D, components, width, height, pixelFormat,
                                    GL_UNSIGNED_BYTE, pixels);
    reportGlError();
    GLint minFilter = GL_LINEAR_MIPMAP_NEAREST;
    if (built != 0) {
        reportError(
            "Texture load: Can't make mipmaps of the texture in databuffer for some reason.");
        if (maxLevel)
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internalFormat), width, height, 0,
                     pixelFormat, GL_UNSIGNED_BYTE, pixels);
        minFilter = GL_LINEAR;
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    reportGlError();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

    texture.loaded = true;
    return true;
}

void releaseTexture(Texture& texture) {
    texture.loaded = false;
    if (texture.id != 0)
        glDeleteTextures(1, &texture.id);
    texture.id = 0;
}

uint64_t packedImageBytes(int32_t width, int32_t height, int components) {
    if (width <= 0 || height <= 0 || components <= 0)
        return 0;
    // Width times height stays below 2^62; only the last factor can overflow, and then the
    // size saturates, which no buffer limit admits.
    uint64_t pixels = uint64_t(width) * uint64_t(height);
    if (pixels > UINT64_MAX / uint64_t(components))
        return UINT64_MAX;
    return pixels * uint64_t(components);
}

std::unique_ptr<uint8_t[]> allocatePixelBuffer(uint64_t bytes) {
    if (bytes > gPixelBufferLimit)
        return nullptr;
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[bytes]);
}
