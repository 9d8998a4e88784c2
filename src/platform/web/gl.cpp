// What platform/gl.h promises and emscripten's legacy GL emulation (OpenGL 1.1 on WebGL 1)
// lacks or gets wrong, supplied here for the code above the platform layer. Each entry is
// defined under its GL name; the emulation's own function stays reachable under the name
// emscripten gives it beside the GL one (emscripten_gl...), which the entries call on.
//
// - glHint: WebGL knows only the mipmap hint and raises GL_INVALID_ENUM for the others of
//   OpenGL 1.1 (perspective correction, point, line and polygon smoothing, fog). Those are
//   taken and ignored, as OpenGL allows any hint to be.
// - glTexImage2D: OpenGL 1.0's component counts (1 to 4) as internal formats, blue-green-
//   red pixels, and an internal format other than the pixels' own are all errors in
//   WebGL; the pixels are converted to the internal format's layout on the CPU first.
// - gluBuild2DMipmaps: missing. Built on the CPU as GLU builds them: each side rounded to
//   the nearer power of two (up only from 1.5 times the lower one), the picture scaled to
//   that by averaging the area each texel covers, then halved level by level to 1x1, each
//   texel the rounded mean of the two or four below it.
// - glLightf, and glLightfv's spot and attenuation parameters: missing, and glLightfv
//   stops the program on GL_SPOT_DIRECTION. The emulation's lights are point lights
//   without attenuation; these parameters are checked as OpenGL checks them and dropped.
//   A spot light whose cone holds everything drawn therefore lights as in OpenGL.
// - glColorMaterial: missing, and the emulation lights with the material alone. With
//   GL_COLOR_MATERIAL enabled, each colour given by glColor3f or glColor4f is also made the
//   front material's ambient, diffuse or specular colour, as chosen. The material is one
//   value for a whole glBegin/glEnd batch: a colour given before glBegin lights as in
//   OpenGL, colours that change between the vertices of a batch do not.
// - glShadeModel: missing (the emulation warns on the console). Smooth shading is what
//   the emulation does; flat shading is taken and not emulated.
// - gluErrorString: missing. The texts of Mesa's GLU, so messages read as on Linux.
// - The quadric: gluNewQuadric, gluDeleteQuadric and the calls that set its style. The show
//   makes one and draws nothing with it; the shapes (gluSphere and the others) are not here.
//
// Errors found here are raised through the emulation's own error state, so glGetError
// returns them in order with WebGL's.
#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "platform/gl.h"

extern "C" {
void emscripten_glHint(GLenum target, GLenum mode);
void emscripten_glLightfv(GLenum light, GLenum pname, const GLfloat* params);
void emscripten_glEnable(GLenum cap);
void emscripten_glDisable(GLenum cap);
GLboolean emscripten_glIsEnabled(GLenum cap);
void emscripten_glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha);
void emscripten_glMaterialfv(GLenum face, GLenum pname, const GLfloat* params);
void emscripten_glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width,
                             GLsizei height, GLint border, GLenum format, GLenum type,
                             const void* pixels);
void emscripten_glGetIntegerv(GLenum pname, GLint* params);
void emscripten_glPixelStorei(GLenum pname, GLint param);
}

namespace {

// JavaScript, which clang-format would break (=== becomes == =).
// clang-format off
EM_JS(void, raiseGlError, (int code), { GL.recordError(code); });
// clang-format on

// ---- Pixels ---------------------------------------------------------------------------

// The base format an OpenGL 1.1 internal format stands for, or 0 for one WebGL 1 cannot
// take at all.
GLenum baseFormatOf(GLint internalFormat) {
    switch (internalFormat) {
        case 1:
        case GL_LUMINANCE:
        case GL_LUMINANCE8:
            return GL_LUMINANCE;
        case 2:
        case GL_LUMINANCE_ALPHA:
        case GL_LUMINANCE8_ALPHA8:
            return GL_LUMINANCE_ALPHA;
        case 3:
        case GL_RGB:
        case GL_RGB8:
            return GL_RGB;
        case 4:
        case GL_RGBA:
        case GL_RGBA8:
            return GL_RGBA;
        case GL_ALPHA:
        case GL_ALPHA8:
            return GL_ALPHA;
        default:
            return 0;
    }
}

int componentsOf(GLenum format) {
    switch (format) {
        case GL_LUMINANCE:
        case GL_ALPHA:
            return 1;
        case GL_LUMINANCE_ALPHA:
            return 2;
        case GL_RGB:
        case GL_BGR_EXT:
            return 3;
        case GL_RGBA:
        case GL_BGRA_EXT:
            return 4;
        default:
            return 0;
    }
}

GLint unpackAlignment() {
    GLint alignment = 4;
    emscripten_glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    return alignment > 0 ? alignment : 4;
}

// `width` x `height` unsigned-byte pixels of `format`, rows `alignment`-aligned, as RGBA.
// Luminance fills red, green and blue; a missing alpha is opaque.
std::vector<uint8_t> toRgba(const void* pixels, GLsizei width, GLsizei height, GLenum format,
                            GLint alignment) {
    const int components = componentsOf(format);
    const size_t rowBytes = static_cast<size_t>(width) * components;
    const size_t pitch = (rowBytes + alignment - 1) / alignment * alignment;
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    uint8_t* out = rgba.data();
    for (GLsizei y = 0; y < height; ++y) {
        const uint8_t* p = static_cast<const uint8_t*>(pixels) + pitch * y;
        for (GLsizei x = 0; x < width; ++x, p += components, out += 4) {
            switch (format) {
                case GL_LUMINANCE:
                    out[0] = out[1] = out[2] = p[0];
                    out[3] = 255;
                    break;
                case GL_ALPHA:
                    out[0] = out[1] = out[2] = 0;
                    out[3] = p[0];
                    break;
                case GL_LUMINANCE_ALPHA:
                    out[0] = out[1] = out[2] = p[0];
                    out[3] = p[1];
                    break;
                case GL_RGB:
                case GL_RGBA:
                    out[0] = p[0];
                    out[1] = p[1];
                    out[2] = p[2];
                    out[3] = components == 4 ? p[3] : 255;
                    break;
                default:  // blue, green, red(, alpha)
                    out[0] = p[2];
                    out[1] = p[1];
                    out[2] = p[0];
                    out[3] = components == 4 ? p[3] : 255;
                    break;
            }
        }
    }
    return rgba;
}

// RGBA pixels packed tightly in `base` (what OpenGL keeps of RGBA in that internal format:
// luminance is red).
std::vector<uint8_t> fromRgba(const std::vector<uint8_t>& rgba, GLenum base) {
    const int components = componentsOf(base);
    std::vector<uint8_t> packed(rgba.size() / 4 * components);
    uint8_t* out = packed.data();
    for (size_t i = 0; i < rgba.size(); i += 4, out += components) {
        switch (base) {
            case GL_LUMINANCE:
                out[0] = rgba[i];
                break;
            case GL_ALPHA:
                out[0] = rgba[i + 3];
                break;
            case GL_LUMINANCE_ALPHA:
                out[0] = rgba[i];
                out[1] = rgba[i + 3];
                break;
            default:
                std::copy_n(&rgba[i], components, out);
                break;
        }
    }
    return packed;
}

// Uploads tightly packed pixels of `base`, leaving the unpack alignment as it was.
void uploadPacked(GLenum target, GLint level, GLenum base, GLsizei width, GLsizei height,
                  const uint8_t* pixels) {
    const GLint alignment = unpackAlignment();
    emscripten_glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    emscripten_glTexImage2D(target, level, static_cast<GLint>(base), width, height, 0, base,
                            GL_UNSIGNED_BYTE, pixels);
    emscripten_glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

// ---- Mipmaps --------------------------------------------------------------------------

// GLU's rounding of a side to a power of two: up when its two highest bits are both set,
// that is from 1.5 times the power below it, else down.
GLsizei nearestPower(GLsizei side) {
    GLsizei power = 1;
    for (; side > 3; side >>= 1)
        power *= 2;
    return side == 3 ? power * 4 : side == 2 ? power * 2 : power;
}

// RGBA pixels scaled to `toWidth` x `toHeight`, each texel the mean of the source area it
// covers, every source pixel weighted by the part of it inside that area.
std::vector<uint8_t> scaleRgba(const std::vector<uint8_t>& source, int width, int height,
                               int toWidth, int toHeight) {
    std::vector<uint8_t> scaled(static_cast<size_t>(toWidth) * toHeight * 4);
    const double sx = static_cast<double>(width) / toWidth;
    const double sy = static_cast<double>(height) / toHeight;
    for (int y = 0; y < toHeight; ++y) {
        const double y0 = y * sy;
        const double y1 = y0 + sy;
        for (int x = 0; x < toWidth; ++x) {
            const double x0 = x * sx;
            const double x1 = x0 + sx;
            double sum[4] = {0, 0, 0, 0};
            double area = 0;
            for (int j = static_cast<int>(y0); j < height && j < y1; ++j) {
                const double h = std::min<double>(j + 1, y1) - std::max<double>(j, y0);
                for (int i = static_cast<int>(x0); i < width && i < x1; ++i) {
                    const double w = (std::min<double>(i + 1, x1) - std::max<double>(i, x0)) * h;
                    const uint8_t* p = &source[(static_cast<size_t>(j) * width + i) * 4];
                    for (int c = 0; c < 4; ++c)
                        sum[c] += p[c] * w;
                    area += w;
                }
            }
            uint8_t* out = &scaled[(static_cast<size_t>(y) * toWidth + x) * 4];
            for (int c = 0; c < 4; ++c)
                out[c] = static_cast<uint8_t>(sum[c] / area + 0.5);
        }
    }
    return scaled;
}

// The next level down: each side halved (a side of 1 stays 1), each texel the mean of the
// two or four texels below it, rounded to the nearest.
std::vector<uint8_t> halveRgba(const std::vector<uint8_t>& source, int width, int height) {
    const int toWidth = std::max(1, width / 2);
    const int toHeight = std::max(1, height / 2);
    const int stepX = width > 1 ? 1 : 0;
    const int stepY = height > 1 ? 1 : 0;
    const int count = (stepX + 1) * (stepY + 1);
    std::vector<uint8_t> halved(static_cast<size_t>(toWidth) * toHeight * 4);
    for (int y = 0; y < toHeight; ++y) {
        for (int x = 0; x < toWidth; ++x) {
            const int sx = x * 2;
            const int sy = y * 2;
            for (int c = 0; c < 4; ++c) {
                auto at = [&](int i, int j) {
                    return source[(static_cast<size_t>(sy + j) * width + sx + i) * 4 + c];
                };
                int sum = at(0, 0) + (stepX ? at(1, 0) : 0) + (stepY ? at(0, 1) : 0) +
                          (stepX && stepY ? at(1, 1) : 0);
                halved[(static_cast<size_t>(y) * toWidth + x) * 4 + c] =
                    static_cast<uint8_t>((sum + count / 2) / count);
            }
        }
    }
    return halved;
}

// ---- Lights and colour material -------------------------------------------------------

bool isLight(GLenum light) {
    return light >= GL_LIGHT0 && light < GL_LIGHT0 + 8;
}

// Checks a spot or attenuation parameter as OpenGL does; true when it is one of them.
bool takeUnemulatedLightParameter(GLenum pname, const GLfloat* params) {
    const GLfloat value = params[0];
    switch (pname) {
        case GL_SPOT_DIRECTION:
            return true;
        case GL_SPOT_EXPONENT:
            if (value < 0 || value > 128)
                raiseGlError(GL_INVALID_VALUE);
            return true;
        case GL_SPOT_CUTOFF:
            if ((value < 0 || value > 90) && value != 180)
                raiseGlError(GL_INVALID_VALUE);
            return true;
        case GL_CONSTANT_ATTENUATION:
        case GL_LINEAR_ATTENUATION:
        case GL_QUADRATIC_ATTENUATION:
            if (value < 0)
                raiseGlError(GL_INVALID_VALUE);
            return true;
        default:
            return false;
    }
}

struct ColorMaterial {
    bool enabled = false;
    GLenum face = GL_FRONT_AND_BACK;
    GLenum mode = GL_AMBIENT_AND_DIFFUSE;
    GLfloat color[4] = {1, 1, 1, 1};  // the current colour, as OpenGL starts it
};
ColorMaterial gColorMaterial;

// The current colour becomes the material's colours that the mode names. The emulation
// keeps one material, for front faces.
void applyColorMaterial() {
    const ColorMaterial& m = gColorMaterial;
    if (!m.enabled || m.face == GL_BACK)
        return;
    if (m.mode == GL_AMBIENT || m.mode == GL_AMBIENT_AND_DIFFUSE)
        emscripten_glMaterialfv(GL_FRONT, GL_AMBIENT, m.color);
    if (m.mode == GL_DIFFUSE || m.mode == GL_AMBIENT_AND_DIFFUSE)
        emscripten_glMaterialfv(GL_FRONT, GL_DIFFUSE, m.color);
    if (m.mode == GL_SPECULAR)
        emscripten_glMaterialfv(GL_FRONT, GL_SPECULAR, m.color);
}

}  // namespace

struct GLUquadric {
    GLenum drawStyle = GLU_FILL;
    GLenum orientation = GLU_OUTSIDE;
    GLenum normals = GLU_SMOOTH;
    GLboolean texture = GL_FALSE;
};

extern "C" {

void glHint(GLenum target, GLenum mode) {
    switch (target) {
        case GL_PERSPECTIVE_CORRECTION_HINT:
        case GL_POINT_SMOOTH_HINT:
        case GL_LINE_SMOOTH_HINT:
        case GL_POLYGON_SMOOTH_HINT:
        case GL_FOG_HINT:
            if (mode != GL_FASTEST && mode != GL_NICEST && mode != GL_DONT_CARE)
                raiseGlError(GL_INVALID_ENUM);
            return;
        default:
            emscripten_glHint(target, mode);
    }
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const void* pixels) {
    const GLenum base = baseFormatOf(internalFormat);
    if (base == 0 || componentsOf(format) == 0 || type != GL_UNSIGNED_BYTE || border != 0 ||
        width < 0 || height < 0) {
        // WebGL raises the error OpenGL would.
        emscripten_glTexImage2D(target, level, internalFormat, width, height, border, format, type,
                                pixels);
        return;
    }
    if (!pixels || (format == base && static_cast<GLenum>(internalFormat) == base)) {
        emscripten_glTexImage2D(target, level, static_cast<GLint>(base), width, height, 0, base,
                                GL_UNSIGNED_BYTE, pixels);
        return;
    }
    const std::vector<uint8_t> packed =
        fromRgba(toRgba(pixels, width, height, format, unpackAlignment()), base);
    uploadPacked(target, level, base, width, height, packed.data());
}

GLint gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height,
                        GLenum format, GLenum type, const void* data) {
    if (width < 1 || height < 1)
        return GLU_INVALID_VALUE;
    const GLenum base = baseFormatOf(internalFormat);
    if (base == 0 || componentsOf(format) == 0 || type != GL_UNSIGNED_BYTE || !data)
        return GLU_INVALID_ENUM;

    GLint largest = 0;
    emscripten_glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    int w = nearestPower(width);
    int h = nearestPower(height);
    // Both sides halved together until the driver takes the largest level, as GLU does.
    while (largest > 0 && (w > largest || h > largest)) {
        w = std::max(1, w / 2);
        h = std::max(1, h / 2);
    }
    std::vector<uint8_t> level = toRgba(data, width, height, format, unpackAlignment());
    if (w != width || h != height)
        level = scaleRgba(level, width, height, w, h);
    for (GLint n = 0;; ++n) {
        const std::vector<uint8_t> packed = fromRgba(level, base);
        uploadPacked(target, n, base, w, h, packed.data());
        if (w == 1 && h == 1)
            break;
        level = halveRgba(level, w, h);
        w = std::max(1, w / 2);
        h = std::max(1, h / 2);
    }
    return 0;
}

void glLightf(GLenum light, GLenum pname, GLfloat param) {
    if (!isLight(light) || pname == GL_SPOT_DIRECTION || pname < GL_SPOT_EXPONENT ||
        pname > GL_QUADRATIC_ATTENUATION) {
        raiseGlError(GL_INVALID_ENUM);
        return;
    }
    takeUnemulatedLightParameter(pname, &param);
}

void glLightfv(GLenum light, GLenum pname, const GLfloat* params) {
    if (!isLight(light)) {
        raiseGlError(GL_INVALID_ENUM);
        return;
    }
    if (!takeUnemulatedLightParameter(pname, params))
        emscripten_glLightfv(light, pname, params);
}

void glColorMaterial(GLenum face, GLenum mode) {
    const bool faceOk = face == GL_FRONT || face == GL_BACK || face == GL_FRONT_AND_BACK;
    const bool modeOk = mode == GL_EMISSION || mode == GL_AMBIENT || mode == GL_DIFFUSE ||
                        mode == GL_SPECULAR || mode == GL_AMBIENT_AND_DIFFUSE;
    if (!faceOk || !modeOk) {
        raiseGlError(GL_INVALID_ENUM);
        return;
    }
    gColorMaterial.face = face;
    gColorMaterial.mode = mode;
    applyColorMaterial();
}

void glEnable(GLenum cap) {
    if (cap == GL_COLOR_MATERIAL) {
        gColorMaterial.enabled = true;
        applyColorMaterial();
        return;
    }
    emscripten_glEnable(cap);
}

void glDisable(GLenum cap) {
    if (cap == GL_COLOR_MATERIAL) {
        gColorMaterial.enabled = false;
        return;
    }
    emscripten_glDisable(cap);
}

GLboolean glIsEnabled(GLenum cap) {
    if (cap == GL_COLOR_MATERIAL)
        return gColorMaterial.enabled ? GL_TRUE : GL_FALSE;
    return emscripten_glIsEnabled(cap);
}

void glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha) {
    emscripten_glColor4f(red, green, blue, alpha);
    GLfloat(&c)[4] = gColorMaterial.color;
    c[0] = red;
    c[1] = green;
    c[2] = blue;
    c[3] = alpha;
    applyColorMaterial();
}

void glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
    glColor4f(red, green, blue, 1.0f);
}

void glShadeModel(GLenum mode) {
    if (mode != GL_SMOOTH && mode != GL_FLAT)
        raiseGlError(GL_INVALID_ENUM);
}

const GLubyte* gluErrorString(GLenum error) {
    const char* text = nullptr;
    switch (error) {
        case GL_NO_ERROR:
            text = "no error";
            break;
        case GL_INVALID_ENUM:
        case GLU_INVALID_ENUM:
            text = "invalid enumerant";
            break;
        case GL_INVALID_VALUE:
        case GLU_INVALID_VALUE:
            text = "invalid value";
            break;
        case GL_INVALID_OPERATION:
        case GLU_INVALID_OPERATION:
            text = "invalid operation";
            break;
        case GL_STACK_OVERFLOW:
            text = "stack overflow";
            break;
        case GL_STACK_UNDERFLOW:
            text = "stack underflow";
            break;
        case GL_OUT_OF_MEMORY:
        case GLU_OUT_OF_MEMORY:
            text = "out of memory";
            break;
        case 0x0506:  // GL_INVALID_FRAMEBUFFER_OPERATION, which WebGL can raise
            text = "invalid framebuffer operation";
            break;
        default:
            break;
    }
    return reinterpret_cast<const GLubyte*>(text);
}

GLUquadric* gluNewQuadric() {
    return new (std::nothrow) GLUquadric;
}

void gluDeleteQuadric(GLUquadric* quadric) {
    delete quadric;
}

void gluQuadricDrawStyle(GLUquadric* quadric, GLenum drawStyle) {
    if (quadric && (drawStyle == GLU_FILL || drawStyle == GLU_LINE || drawStyle == GLU_POINT ||
                    drawStyle == GLU_SILHOUETTE))
        quadric->drawStyle = drawStyle;
}

void gluQuadricOrientation(GLUquadric* quadric, GLenum orientation) {
    if (quadric && (orientation == GLU_OUTSIDE || orientation == GLU_INSIDE))
        quadric->orientation = orientation;
}

void gluQuadricNormals(GLUquadric* quadric, GLenum normals) {
    if (quadric && (normals == GLU_NONE || normals == GLU_FLAT || normals == GLU_SMOOTH))
        quadric->normals = normals;
}

void gluQuadricTexture(GLUquadric* quadric, GLboolean texture) {
    if (quadric)
        quadric->texture = texture ? GL_TRUE : GL_FALSE;
}

}  // extern "C"
