// Textures: picture files (TGA, PNG, JPEG, BMP) made into mipmapped OpenGL textures.
//
// Every function here needs the OpenGL context to be current. Failures are reported
// through reportError and the call returns false; nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/gl.h"

// One OpenGL texture and the size of the picture it was made from. The record owns the
// texture name and gives it back when destroyed.
struct Texture {
    bool loaded = false;  // the texture behind `id` is complete; draws bind it only then
    uint32_t id = 0;      // OpenGL texture name; 0 while the record holds none
    int32_t width = 0;    // the picture's own size, not the power-of-two size GLU stores
    int32_t height = 0;

    Texture() = default;
    // Loads the file at once; `loaded` says whether that worked.
    explicit Texture(const char* fileName);
    ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;
};

enum class TextureReader { decoder, tga, none };

// The reader for a file name, chosen by the text after its last dot (the whole name when it
// has none), ignoring ASCII case: jpg, jpeg, bmp and png go to the decoder, tga to the TGA
// reader; anything else, and a null name, to none.
TextureReader textureReaderFor(const char* fileName);

// Reads the picture file and makes `texture` from it. On failure the message names the
// file as given, the result is false and `texture` is left exactly as it was.
//
// TGA files are read by our own reader: uncompressed or run-length encoded, grey (8 bits)
// or true colour (24 or 32 bits); colour-mapped files are refused. Rows are uploaded in
// file order, so a file stored bottom row first shows its bottom row at texture row 0,
// whereas a decoded PNG, JPEG or BMP has its top row there.
bool loadTexture(Texture& texture, const char* fileName);

// ---- Loading in two halves ---------------------------------------------------------------
// loadTexture's decoder path (PNG, JPEG, BMP) split where a thread of its own can take the
// first half: decodePicture reads and decodes, touching neither OpenGL nor the messages;
// uploadPicture, on the thread with the context, reports what went wrong exactly as
// loadTexture does, or makes the texture. The two in a row are loadTexture for such a file.

// A decoded picture, or why there is none.
struct DecodedPicture {
    enum class Outcome {
        decoded,
        unreadable,  // missing, unreadable or not a picture the decoder takes
        wrongDepth,  // not 3 or 4 channels of 8 bits
        noMemory,    // the pixel buffer could not be had
    };
    Outcome outcome = Outcome::unreadable;
    // Red-green-blue(-alpha) rows, top row first, without gaps; only when decoded.
    std::unique_ptr<uint8_t[]> pixels;
    int32_t width = 0;
    int32_t height = 0;
    int components = 0;  // 3 or 4
};

// Reads and decodes the file on the calling thread, whatever its name says. Safe on several
// threads at once once platform::prepareDecoding has run.
DecodedPicture decodePicture(const char* fileName);

// Reports the failure the picture carries, naming `fileName`, with loadTexture's message,
// and leaves `texture` as it was; or makes the texture and frees the pixels. True when the
// texture was made.
bool uploadPicture(Texture& texture, const char* fileName, DecodedPicture picture);

// Makes the texture from a tightly packed buffer (width * components bytes per row, row 0
// first), replacing any texture the record held, with GLU-built mipmaps (the texture's
// GL_TEXTURE_MAX_LEVEL names the last of them) or, when GLU cannot build them, a single
// linearly filtered level. `components` is 1, 3 or 4.
// Leaves behind: the new texture bound to GL_TEXTURE_2D, GL_UNPACK_ALIGNMENT 1 and the
// texture environment mode GL_MODULATE. A null buffer is reported and leaves a fresh name
// in `id` with `loaded` false.
bool uploadTexture(Texture& texture, const uint8_t* pixels, int32_t width, int32_t height,
                   int components, GLenum internalFormat, GLenum pixelFormat);

// Deletes the texture and clears `loaded` and `id`, so the record can be loaded again and
// a second release deletes nothing.
void releaseTexture(Texture& texture);

// Bytes of a tightly packed buffer; never overflows for any int32_t sizes (a negative size
// counts as 0).
uint64_t packedImageBytes(int32_t width, int32_t height, int components);

// The largest pixel buffer a loader asks for (1 GiB: a 16384 x 16384 RGBA picture, the
// largest texture common drivers take). A larger picture is refused as if the memory could
// not be had. Tests lower it to take that path.
extern uint64_t gPixelBufferLimit;

// A pixel buffer of `bytes` bytes, or null when it is above gPixelBufferLimit or the memory
// cannot be had.
std::unique_ptr<uint8_t[]> allocatePixelBuffer(uint64_t bytes);
