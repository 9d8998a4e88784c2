// Textures: the choice of reader, the decoder path, the upload with GLU mipmaps, release.
#include "gfx/texture.h"

#include <new>
#include <string_view>

#include "app/report_error.h"
#include "gfx/tga.h"
#include "platform/gl.h"
#include "platform/image.h"

uint64_t gPixelBufferLimit = uint64_t{1} << 30;

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

void reportGlError() {
    GLenum code = glGetError();
    if (code != GL_NO_ERROR) {
        reportError("OpenGL Error %i (0x%X): %s", static_cast<int>(code), code,
                    reinterpret_cast<const char*>(gluErrorString(code)));
    }
}

// The decoder delivers blue-green-red(-alpha) rows stepped by a signed pitch; the buffer
// gets red-green-blue(-alpha) rows, top row first, without gaps.
bool loadDecoded(Texture& texture, const char* fileName) {
    platform::DecodedImage image;
    if (image.load(fileName) != 0) {
        reportError("Texture load: Can't load the texture in file '%s' for some reason.", fileName);
        return false;
    }

    int channels = image.bitsPerPixel() / 8;
    GLenum format = 0;
    if (channels == 3) {
        format = GL_RGB;
    } else if (channels == 4) {
        format = GL_RGBA;
    } else {
        reportError("Texture load: Sorry, only 3 or 4 channel images are supported. %s is not!",
                    fileName);
        return false;
    }

    int32_t width = image.width();
    int32_t height = image.height();
    std::unique_ptr<uint8_t[]> pixels =
        allocatePixelBuffer(packedImageBytes(width, height, channels));
    if (!pixels) {
        reportError(
            "Texture load: Failed to allocate memory for the image %s. You should buy more RAM!",
            fileName);
        return false;
    }

    const uint8_t* sourceRow = image.topRow();
    uint8_t* dest = pixels.get();
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

    bool uploaded = uploadTexture(texture, pixels.get(), width, height, channels, format, format);
    image.destroy();
    return uploaded;
}

bool loadTga(Texture& texture, const char* fileName) {
    TgaImage image;
    if (!readTga(fileName, image))
        return false;
    return uploadTexture(texture, image.pixels.get(), image.width, image.height, image.components,
                         image.internalFormat, image.pixelFormat);
}

}  // namespace

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
    if (!glGetString(GL_VERSION))
        return false;

    // GLU takes the component count as the internal format, as OpenGL 1.0 did.
    GLint built = gluBuild2DMipmaps(GL_TEXTURE_2D, components, width, height, pixelFormat,
                                    GL_UNSIGNED_BYTE, pixels);
    reportGlError();
    GLint minFilter = GL_LINEAR_MIPMAP_NEAREST;
    if (built != 0) {
        reportError(
            "Texture load: Can't make mipmaps of the texture in databuffer for some reason.");
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
