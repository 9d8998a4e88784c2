// hopsasa-profile: where the show's start-up time, frame time and memory go on this
// machine, each beside the floor set by the work itself. Prints one JSON object.
//
//   hopsasa-profile DATA_DIR            start-up and its floor, frames per scene, memory
//   hopsasa-profile DATA_DIR --startup  only start-up and its floor (run it several times)
//   hopsasa-profile DATA_DIR --frames N only the frames, at N a second (for callgrind)
//
// Runs offscreen at 800x600 (no vsync), with the manual clock moved one frame per frame so
// every run draws the same frames.
#include <link.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "demo/assets.h"
#include "demo/show.h"
#include "gfx/blob_field.h"
#include "gfx/gl_window.h"
#include "gfx/picture_loader.h"
#include "gfx/render_target.h"
#include "gfx/sprite.h"
#include "gfx/texture.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/gl.h"
#include "platform/message_box.h"

// ---- allocation counting ----
// Every malloc of the main thread while counting is on, and apart those called from the
// show's own code: this executable, which holds the whole show, is the caller.

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void __libc_free(void*);

namespace {

thread_local bool tCounting = false;
long gAllocations = 0;
long gOwnAllocations = 0;
uintptr_t gExeStart = 0;
uintptr_t gExeEnd = 0;

int findExecutable(dl_phdr_info* info, size_t, void*) {
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD || !(ph.p_flags & PF_X))
            continue;
        gExeStart = info->dlpi_addr + ph.p_vaddr;
        gExeEnd = gExeStart + ph.p_memsz;
    }
    return 1;  // the first object is the executable
}

void count(void* caller) {
    if (!tCounting)
        return;
    ++gAllocations;
    auto at = reinterpret_cast<uintptr_t>(caller);
    if (at >= gExeStart && at < gExeEnd)
        ++gOwnAllocations;
}

}  // namespace

extern "C" void* malloc(size_t size) {
    count(__builtin_return_address(0));
    return __libc_malloc(size);
}
extern "C" void* calloc(size_t n, size_t size) {
    count(__builtin_return_address(0));
    return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, size_t size) {
    count(__builtin_return_address(0));
    return __libc_realloc(p, size);
}
void* operator new(size_t size) {
    count(__builtin_return_address(0));
    if (void* p = __libc_malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    __libc_free(p);
}
void operator delete(void* p, size_t) noexcept {
    __libc_free(p);
}

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point kProcessStart = Clock::now();

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int swallowBox(const platform::MessageBoxRequest& request, void*) {
    std::fprintf(stderr, "message: %s: %s\n", request.title, request.text);
    return platform::kMessageBoxOk;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t index = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[index];
}

// Bytes the driver holds for a texture: every mipmap level, four bytes a texel.
long textureBytes(GLuint id) {
    if (id == 0)
        return 0;
    glBindTexture(GL_TEXTURE_2D, id);
    long bytes = 0;
    for (GLint level = 0;; ++level) {
        GLint w = 0, h = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
        if (w == 0 || h == 0)
            break;
        bytes += 4L * w * h;
    }
    return bytes;
}

void drawFrame(Show& show, GLWindow& window) {
    show.renderFrame();
    platform::swapBuffers(window.hDC);
    glFinish();
}

struct SceneFrames {
    std::vector<double> ms;
    long allocationsAfterFirst = 0;     // anywhere in the process, the driver's included
    long ownAllocationsAfterFirst = 0;  // made by the show's own code
};

// The whole timeline, one tick a frame; per scene the frame times and the allocations after
// its first frame.
std::vector<SceneFrames> profileFrames(Show& show, GLWindow& window) {
    std::vector<SceneFrames> scenes(kSceneCount);
    int64_t tick = platform::counterValue();
    int previous = -1;
    while (!show.finished()) {
        const int scene = show.sceneIndex;
        platform::setManualCounter(++tick);
        const long before = gAllocations;
        const long ownBefore = gOwnAllocations;
        tCounting = scene == previous;
        auto start = Clock::now();
        drawFrame(show, window);
        double ms = msSince(start);
        tCounting = false;
        scenes[scene].ms.push_back(ms);
        if (scene == previous) {
            scenes[scene].allocationsAfterFirst += gAllocations - before;
            scenes[scene].ownAllocationsAfterFirst += gOwnAllocations - ownBefore;
        }
        previous = scene;
    }
    return scenes;
}

// How long `seek` takes to bring the show to the first and to the last frame of each scene
// at 60 frames a second: entering a scene is free, its frames before the moment are
// replayed unseen.
struct SeekTimes {
    double toStartMs = 0;
    double toEndMs = 0;
};
std::vector<SeekTimes> profileSeeks(Show& show) {
    const int fps = 60;
    const FrameTimes times{0, fps, fps};
    platform::useManualCounter(fps, 0);
    std::vector<SeekTimes> seeks(kSceneCount);
    int64_t first = 0;
    for (int scene = 0; scene < kSceneCount; ++scene) {
        const int64_t frames = sceneFrames(*kScenes[scene], fps);
        for (bool toEnd : {false, true}) {
            auto start = Clock::now();
            show.seek(first + (toEnd ? frames - 1 : 0), times);
            glFinish();
            (toEnd ? seeks[scene].toEndMs : seeks[scene].toStartMs) = msSince(start);
        }
        first += frames;
    }
    return seeks;
}

double bareFrameMs(GLWindow& window) {
    std::vector<double> ms;
    for (int i = 0; i < 300; ++i) {
        auto start = Clock::now();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        platform::swapBuffers(window.hDC);
        glFinish();
        ms.push_back(msSince(start));
    }
    return percentile(ms, 0.5);
}

// The process's resident memory now, as the kernel counts it (kB lines of /proc/self/status):
// anonymous pages (the heap, mapped blocks, stacks, the driver's compiled code) and pages
// of mapped files (the libraries' code, the driver's among them).
struct Resident {
    long anonBytes = 0;
    long fileBytes = 0;
};
Resident residentNow() {
    Resident r;
    std::ifstream status("/proc/self/status");
    std::string key;
    long kb = 0;
    while (status >> key) {
        if (key == "RssAnon:" && status >> kb)
            r.anonBytes = kb * 1024;
        else if (key == "RssFile:" && status >> kb)
            r.fileBytes = kb * 1024;
    }
    return r;
}

// The files start-up reads, in its order.
std::vector<std::string> pictureFiles() {
    std::vector<std::string> files = {kLoadingPicture};
    for (const SpriteAsset& asset : kSpriteAssets)
        files.push_back(asset.file);
    files.push_back(kBlobPicture);
    return files;
}

// The floor: each picture read, decoded and mipmapped on its own, one after another, and
// the soundtrack opened, in a process that is already warm. Decoding and making the
// texture (GLU's mipmaps and the upload) are timed apart.
struct PictureCost {
    std::string file;
    double decodeMs = 0;
    double uploadMs = 0;
};
struct Floor {
    std::vector<PictureCost> pictures;
    double decodeMs = 0;
    double uploadMs = 0;
    double musicMs = 0;
    double totalMs() const { return decodeMs + uploadMs + musicMs; }
};
Floor measureFloor() {
    Floor floor;
    for (const std::string& file : pictureFiles()) {
        Texture texture;
        PictureCost cost{file};
        auto start = Clock::now();
        DecodedPicture picture = decodePicture(file.c_str());
        cost.decodeMs = msSince(start);
        start = Clock::now();
        uploadPicture(texture, file.c_str(), std::move(picture));
        glFinish();
        cost.uploadMs = msSince(start);
        floor.decodeMs += cost.decodeMs;
        floor.uploadMs += cost.uploadMs;
        floor.pictures.push_back(cost);
    }
    auto start = Clock::now();
    platform::openAudioStream(kMusicFile);
    floor.musicMs = msSince(start);
    return floor;
}

// The sprites' pictures as start-up loads them, decoded ahead on `threads` threads while
// this thread makes the textures, in a warm process: what the pipeline makes of the floor's
// pictures without the window, the loading frame and the first scene frame around it.
double pipelinedSpritesMs(int threads) {
    std::vector<const char*> files;
    for (const SpriteAsset& asset : kSpriteAssets)
        files.push_back(asset.file);
    std::vector<Texture> textures(files.size());
    auto start = Clock::now();
    {
        PictureLoader loader(files, threads);
        for (size_t i = 0; i < files.size(); ++i)
            loader.load(textures[i], files[i]);
        glFinish();
    }
    return msSince(start);
}

double spritesFloorMs(const Floor& floor) {
    double ms = 0;
    for (const PictureCost& cost : floor.pictures) {
        for (const SpriteAsset& asset : kSpriteAssets) {
            if (cost.file == asset.file)
                ms += cost.decodeMs + cost.uploadMs;
        }
    }
    return ms;
}

void printFloor(const Floor& floor) {
    std::printf(
        "  \"floor_ms\": %.1f,\n  \"floor_decode_ms\": %.1f,\n  \"floor_upload_ms\": %.1f,\n"
        "  \"music_open_ms\": %.1f,\n  \"pictures\": [",
        floor.totalMs(), floor.decodeMs, floor.uploadMs, floor.musicMs);
    for (size_t i = 0; i < floor.pictures.size(); ++i) {
        const PictureCost& c = floor.pictures[i];
        std::printf(
            "%s\n    {\"file\": \"%s\", \"ms\": %.2f, \"decode_ms\": %.2f, "
            "\"upload_ms\": %.2f}",
            i ? "," : "", c.file.c_str(), c.decodeMs + c.uploadMs, c.decodeMs, c.uploadMs);
    }
    std::printf("\n  ],\n");
}

// GLU's mipmap build of one picture size, on a grey test picture.
double mipmapMs(int width, int height) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3, 128);
    GLuint id;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    auto start = Clock::now();
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    glFinish();
    double ms = msSince(start);
    glDeleteTextures(1, &id);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || chdir(argv[1]) != 0) {
        std::fprintf(stderr, "usage: hopsasa-profile DATA_DIR [--startup | --frames FPS]\n");
        return 2;
    }
    const bool framesOnly = argc >= 4 && std::string(argv[2]) == "--frames";
    const bool startupOnly = argc >= 3 && std::string(argv[2]) == "--startup";
    const int fps = framesOnly ? std::max(1, std::atoi(argv[3])) : 60;

    setenv("SDL_AUDIODRIVER", "dummy", 1);
    platform::setMessageBoxSink(swallowBox, nullptr);
    platform::useOffscreenDisplay({800, 600, 32});
    platform::useManualCounter(fps, 0);

    dl_iterate_phdr(findExecutable, nullptr);
    struct rusage usage;

    // Start-up as the show runs it, up to its first scene frame on the screen.
    GLWindow window;
    if (!window.hRC)
        return 1;
    const double windowMs = msSince(kProcessStart);
    getrusage(RUSAGE_SELF, &usage);
    const long baselineBytes = usage.ru_maxrss * 1024L;
    const Resident afterWindow = residentNow();
    tCounting = true;
    Show show(window);
    show.startMusic();
    tCounting = false;
    const long startupOwnAllocations = gOwnAllocations;
    drawFrame(show, window);
    const double startupMs = msSince(kProcessStart);

    if (framesOnly) {
        profileFrames(show, window);
        return 0;
    }
    if (startupOnly) {
        const Floor floor = measureFloor();
        std::printf("{\n  \"startup_ms\": %.1f,\n  \"window_ms\": %.1f,\n", startupMs, windowMs);
        printFloor(floor);
        std::printf("  \"threads\": %d\n}\n", PictureLoader::threadsForThisMachine());
        return 0;
    }

    // Frames of every scene, then the show's peak memory, before the measurements below
    // load pictures of their own or seek: a seek replays frames that llvmpipe bins without
    // drawing until its scene is full, tens of megabytes that a show played from its start
    // never holds.
    std::vector<SceneFrames> scenes = profileFrames(show, window);
    getrusage(RUSAGE_SELF, &usage);
    const long peakBytes = usage.ru_maxrss * 1024L;
    const Resident atEnd = residentNow();
    const double bareMs = bareFrameMs(window);
    const std::vector<SeekTimes> seeks = profileSeeks(show);
    getrusage(RUSAGE_SELF, &usage);
    const long peakWithSeeksBytes = usage.ru_maxrss * 1024L;

    long texturesBytes = 0;
    for (const SpriteAsset& asset : kSpriteAssets)
        texturesBytes += textureBytes((show.*asset.sprite)->id);
    texturesBytes += textureBytes(show.blobField->texture->id);
    texturesBytes += 4L * show.screenTarget->textureWidth * show.screenTarget->textureHeight;
    texturesBytes += 4L * show.smallTarget->textureWidth * show.smallTarget->textureHeight;

    const Floor floor = measureFloor();
    const int threads = PictureLoader::threadsForThisMachine();
    const double pipelinedMs = pipelinedSpritesMs(threads);
    const double rescaleMs = mipmapMs(800, 600);
    const double powerOfTwoMs = mipmapMs(1024, 512);

    std::printf(
        "{\n  \"startup_ms\": %.1f,\n  \"window_ms\": %.1f,\n"
        "  \"own_allocations_at_startup\": %ld,\n",
        startupMs, windowMs, startupOwnAllocations);
    printFloor(floor);
    std::printf(
        "  \"threads\": %d,\n  \"sprites_floor_ms\": %.1f,\n  \"sprites_pipelined_ms\": %.1f,\n",
        threads, spritesFloorMs(floor), pipelinedMs);
    std::printf("  \"mipmaps_800x600_ms\": %.2f,\n  \"mipmaps_1024x512_ms\": %.2f,\n", rescaleMs,
                powerOfTwoMs);
    std::printf("  \"bare_frame_ms\": %.3f,\n  \"scenes\": [", bareMs);
    for (int s = 0; s < kSceneCount; ++s) {
        std::printf(
            "%s\n    {\"scene\": %d, \"name\": \"%s\", \"frames\": %zu, \"median_ms\": %.3f, "
            "\"p99_ms\": %.3f, \"allocations_after_first_frame\": %ld, "
            "\"own_allocations_after_first_frame\": %ld, \"seek_to_start_ms\": %.2f, "
            "\"seek_to_end_ms\": %.2f}",
            s ? "," : "", s, kScenes[s]->name, scenes[s].ms.size(), percentile(scenes[s].ms, 0.5),
            percentile(scenes[s].ms, 0.99), scenes[s].allocationsAfterFirst,
            scenes[s].ownAllocationsAfterFirst, seeks[s].toStartMs, seeks[s].toEndMs);
    }
    std::printf(
        "\n  ],\n  \"textures_bytes\": %ld,\n  \"baseline_rss_bytes\": %ld,\n"
        "  \"peak_rss_bytes\": %ld,\n  \"peak_rss_with_seeks_bytes\": %ld,\n"
        "  \"file_rss_after_window_bytes\": %ld,\n"
        "  \"file_rss_end_bytes\": %ld,\n  \"anon_rss_after_window_bytes\": %ld,\n"
        "  \"anon_rss_end_bytes\": %ld\n}\n",
        texturesBytes, baselineBytes, peakBytes, peakWithSeeksBytes, afterWindow.fileBytes,
        atEnd.fileBytes, afterWindow.anonBytes, atEnd.anonBytes);
    return 0;
}
