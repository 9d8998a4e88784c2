/* The formats the Linux release leaves out of its statically linked SDL_image and SDL_mixer.
 *
 * The show reads PNG, JPEG and BMP pictures through IMG_LoadPNG_RW, IMG_LoadJPG_RW and
 * IMG_LoadBMP_RW, and one MP3 soundtrack. Debian's static archives reach every other format
 * from two tables: SDL_image's IMG_Init, which starts TIFF, WebP, AVIF and JPEG XL beside
 * PNG and JPEG, and SDL_mixer's table of music interfaces, which names FLAC, Ogg Vorbis,
 * Opus, MOD (libmodplug), MIDI (FluidSynth, Timidity) and external players beside WAV and
 * MP3. Linked whole they bring libtiff with JBIG-KIT (GPL-2), libwebp, and FluidSynth with
 * readline (GPL-3), GLib, JACK and Berkeley DB.
 *
 * Defined here, in an object of the program itself, these names are resolved before the
 * archives are searched, so the linker never takes the archive members that define them,
 * nor the libraries those members call. What remains behaves as SDL_image and SDL_mixer
 * configured with only these formats: IMG_Init reports PNG and JPEG at most, and SDL_mixer
 * reports every other music format unavailable and refuses such a file.
 */

#include <SDL_image.h>
#include <SDL_mixer.h>

/* SDL_image's own per-format start and stop calls (IMG_png.c, IMG_jpg.c): start fills the
 * decoder's function table and returns 0. */
int IMG_InitPNG(void);
int IMG_InitJPG(void);
void IMG_QuitPNG(void);
void IMG_QuitJPG(void);

/* The formats started so far: SDL_image's IMG_Init reports all of them on every call. */
static int initialized;

int IMG_Init(int flags) {
    int result = 0;
    if (flags & IMG_INIT_JPG) {
        if ((initialized & IMG_INIT_JPG) || IMG_InitJPG() == 0) {
            result |= IMG_INIT_JPG;
        }
    }
    if (flags & IMG_INIT_PNG) {
        if ((initialized & IMG_INIT_PNG) || IMG_InitPNG() == 0) {
            result |= IMG_INIT_PNG;
        }
    }
    initialized |= result;
    return initialized;
}

void IMG_Quit(void) {
    if (initialized & IMG_INIT_JPG) {
        IMG_QuitJPG();
    }
    if (initialized & IMG_INIT_PNG) {
        IMG_QuitPNG();
    }
    initialized = 0;
}

/* SDL_mixer's music interfaces that the show never plays. An all-zero entry has music type
 * MUS_NONE and is never loaded, which SDL_mixer skips wherever it walks its table: it loads
 * and opens only entries of the type it is asked for, and closes only opened ones. 512
 * bytes cover SDL_mixer 2.6's Mix_MusicInterface (a name, four enums and flags, and 23
 * function pointers: 208 bytes). */
_Static_assert(MUS_NONE == 0, "an all-zero interface must have no music type");
_Static_assert(SDL_MIXER_MAJOR_VERSION == 2 && SDL_MIXER_MINOR_VERSION == 6,
               "the absent interfaces are sized for SDL_mixer 2.6");
#define HOPSASA_ABSENT_MUSIC_INTERFACE(name) _Alignas(16) unsigned char name[512];

HOPSASA_ABSENT_MUSIC_INTERFACE(Mix_MusicInterface_CMD)
HOPSASA_ABSENT_MUSIC_INTERFACE(Mix_MusicInterface_FLAC)
HOPSASA_ABSENT_MUSIC_INTERFACE(Mix_MusicInterface_FLUIDSYNTH)
HOPSASA_ABSENT_MUSIC_INTERFACE(Mix_MusicInterface_MODPLUG)
HOPSASA_ABSENT_MUSIC_INTERFACE(Mix_MusicInterface_OGG)
HOPSASA_ABSENT_MUSIC_INTERFACE(Mix_MusicInterface_Opus)
HOPSASA_ABSENT_MUSIC_INTERFACE(Mix_MusicInterface_TIMIDITY)
