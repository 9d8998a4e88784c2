// hopsasa-capture: the show rendered offscreen, frame-exact, to PNG frames or to a video.
//
// The same start-up, sequencer and scenes as the show, on an offscreen 800x600 context that
// never touches the display mode, with the manual clock moved exactly one frame per frame:
// frame k is drawn at k / fps seconds after frame 0, however long drawing takes. Message
// boxes are kept away; the show's messages go to standard output as it prints them, and the
// progress goes to standard error.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/command_line.h"
#include "demo/assets.h"
#include "demo/show.h"
#include "ffmpeg_pipe.h"
#include "frame_pipeline.h"
#include "gfx/gl_window.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/gl.h"
#include "platform/message_box.h"
#include "platform/picture_file.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

const char* const kUsage =
    "usage: hopsasa-capture --frames DIR [--fps N] [--size WxH]\n"
    "                       [--from SECONDS] [--to SECONDS]\n"
    "       hopsasa-capture --video FILE [--fps N] [--size WxH] [--crf N] [--preset NAME]\n"
    "                       [--from SECONDS] [--to SECONDS]\n"
    "       hopsasa-capture --list [--fps N]\n"
    "\n"
    "Renders the show from the pictures and music.mp3 in the working directory.\n"
    "  --frames DIR     write DIR/frame_000000.png, ... (DIR must exist); frame k is the\n"
    "                   show at k / N seconds, whatever --from says\n"
    "  --video FILE     encode H.264 video with the soundtrack through ffmpeg\n"
    "  --fps N          frames per second, 1 to 240 (default 60)\n"
    "  --size WxH       frame size (default 800x600; for example 1280x720 or 1920x1080):\n"
    "                   the 4:3 picture pillarboxed as the show's --desktop places it;\n"
    "                   frames are drawn at that size, a video's are scaled from 800x600\n"
    "  --crf N          the video's quality, 0 (lossless) to 51 (default 18)\n"
    "  --preset NAME    x264's speed preset, ultrafast to placebo (default medium)\n"
    "  --from SECONDS   start at the first frame at or after that moment; the frames\n"
    "                   before it are drawn unseen (default 0)\n"
    "  --to SECONDS     stop before the first frame at or after that moment (default:\n"
    "                   the end of the show)\n"
    "  --list           print the scenes and the files the show reads, then stop:\n"
    "                   scene<TAB>index<TAB>name<TAB>first frame<TAB>frames<TAB>start s<TAB>length "
    "s\n"
    "                   picture<TAB>name<TAB>file, music<TAB>name<TAB>file\n"
    "Given twice, an option's last value counts. Numbers are digits with at most one\n"
    "point. Exit status: 0 done, 1 failed, 2 bad arguments, 3 written but the show\n"
    "reported problems (a missing or broken file), 128 + N stopped by signal N.\n";

struct Options {
    std::string framesDir;
    std::string videoFile;
    bool list = false;
    int fps = 60;
    int width = kWidth;  // of the frames written
    int height = kHeight;
    int crf = 18;
    std::string preset = "medium";
    std::optional<std::string> from;
    std::optional<std::string> to;
    int64_t firstFrame = 0;
    int64_t endFrame = 0;  // the frame that is not captured any more
};

const char* const kValueOptions[] = {"--frames", "--video",  "--fps",  "--size",
                                     "--crf",    "--preset", "--from", "--to"};

// Returns an empty string when the arguments are good, else what is wrong with them.
std::string parseArguments(int argc, char** argv, Options& options) {
    bool sizeGiven = false;
    bool encoderGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h")
            return "help";
        if (arg == "--list") {
            options.list = true;
            continue;
        }
        if (std::find(std::begin(kValueOptions), std::end(kValueOptions), arg) ==
            std::end(kValueOptions))
            return (arg.starts_with("-") ? "unknown option '" : "stray argument '") + arg + "'";
        if (i + 1 >= argc)
            return "'" + arg + "' needs a value";
        std::string value = argv[++i];
        if (arg == "--frames") {
            if (value.empty())
                return "--frames takes a folder, not ''";
            options.framesDir = value;
        } else if (arg == "--video") {
            if (value.empty())
                return "--video takes a file name, not ''";
            options.videoFile = value;
        } else if (arg == "--from") {
            options.from = value;
        } else if (arg == "--to") {
            options.to = value;
        } else if (arg == "--fps") {
            if (!parseWholeNumber(value, 1, 240, options.fps))
                return "--fps takes a whole number from 1 to 240, not '" + value + "'";
        } else if (arg == "--size") {
            size_t x = value.find('x');
            if (x == std::string::npos ||
                !parseWholeNumber(value.substr(0, x), 16, 7680, options.width) ||
                !parseWholeNumber(value.substr(x + 1), 16, 4320, options.height) ||
                options.width % 2 != 0 || options.height % 2 != 0)
                return "--size takes WIDTHxHEIGHT, even numbers from 16x16 to 7680x4320, for "
                       "example 1920x1080, not '" +
                       value + "'";
            sizeGiven = true;
        } else if (arg == "--crf") {
            if (!parseWholeNumber(value, 0, 51, options.crf))
                return "--crf takes a whole number from 0 to 51, not '" + value + "'";
            encoderGiven = true;
        } else if (arg == "--preset") {
            const char* const presets[] = {"ultrafast", "superfast", "veryfast", "faster",
                                           "fast",      "medium",    "slow",     "slower",
                                           "veryslow",  "placebo"};
            if (std::find(std::begin(presets), std::end(presets), value) == std::end(presets))
                return "--preset takes one of ultrafast, superfast, veryfast, faster, fast, "
                       "medium, slow, slower, veryslow, placebo, not '" +
                       value + "'";
            options.preset = value;
            encoderGiven = true;
        }
    }
    if (options.list)
        return options.framesDir.empty() && options.videoFile.empty() && !sizeGiven &&
                       !encoderGiven && !options.from && !options.to
                   ? ""
                   : "--list takes no other option than --fps";
    if (options.framesDir.empty() == options.videoFile.empty())
        return "give either --frames DIR or --video FILE";
    if (encoderGiven && options.videoFile.empty())
        return "--crf and --preset are for --video only";

    options.endFrame = showFrames(options.fps);
    double seconds = 0;
    if (options.from) {
        std::string problem = parseMoment(*options.from, options.fps, seconds);
        if (!problem.empty())
            return "--from " + problem;
        options.firstFrame = frameAtOrAfter(seconds, options.fps);
    }
    if (options.to) {
        // Any plain number will do: a moment past the end just means the end.
        if (!isPlainNumber(*options.to))
            return "--to takes seconds from 0 on (a moment past the show's last frame means "
                   "the end), not '" +
                   *options.to + "'";
        if (parseMoment(*options.to, options.fps, seconds).empty())
            options.endFrame = frameAtOrAfter(seconds, options.fps);
        if (options.endFrame <= options.firstFrame)
            return "--to " + *options.to + " leaves no frame after --from " +
                   options.from.value_or("0");
    }
    return "";
}

// The scene table and the files the show reads, one line each, tab-separated.
void printList(int fps) {
    int64_t first = 0;
    double start = 0;
    for (int i = 0; i < kSceneCount; ++i) {
        const Scene& scene = *kScenes[i];
        const int64_t frames = sceneFrames(scene, fps);
        std::printf("scene\t%d\t%s\t%lld\t%lld\t%g\t%g\n", i, scene.name,
                    static_cast<long long>(first), static_cast<long long>(frames), start,
                    static_cast<double>(scene.length));
        first += frames;
        start += scene.length;
    }
    std::printf("picture\tloading\t%s\n", kLoadingPicture);
    for (const SpriteAsset& asset : kSpriteAssets)
        std::printf("picture\t%s\t%s\n", asset.name, asset.file);
    std::printf("picture\tblob\t%s\n", kBlobPicture);
    std::printf("music\tmusic\t%s\n", kMusicFile);
}

std::string checkOutput(const Options& options) {
    if (!options.framesDir.empty()) {
        struct stat st;
        if (stat(options.framesDir.c_str(), &st) != 0)
            return "the output folder '" + options.framesDir + "' does not exist";
        if (!S_ISDIR(st.st_mode))
            return "'" + options.framesDir + "' is not a folder";
        if (access(options.framesDir.c_str(), W_OK) != 0)
            return "the output folder '" + options.framesDir + "' is not writable";
        return "";
    }
    std::filesystem::path parent = std::filesystem::path(options.videoFile).parent_path();
    if (parent.empty())
        parent = ".";
    if (access(parent.c_str(), W_OK) != 0)
        return "cannot write '" + options.videoFile + "': the folder '" + parent.string() +
               "' does not exist or is not writable";
    return "";
}

// Boxes are recorded, never shown. Messages that go through reportError are on standard
// output already; the window set-up's own boxes are printed if the context fails.
int recordBox(const platform::MessageBoxRequest& request, void* boxes) {
    static_cast<std::vector<std::string>*>(boxes)->push_back(std::string(request.title) + ": " +
                                                             request.text);
    return platform::kMessageBoxOk;
}

std::vector<std::string> ffmpegArguments(const Options& options) {
    const int w = options.width;
    const int h = options.height;
    std::vector<std::string> args = {"ffmpeg",
                                     "-hide_banner",
                                     "-loglevel",
                                     "error",
                                     "-y",
                                     "-f",
                                     "rawvideo",
                                     "-pix_fmt",
                                     "bgr0",
                                     "-s",
                                     "800x600",
                                     "-r",
                                     std::to_string(options.fps),
                                     "-i",
                                     "-"};
    bool music = access(kMusicFile, R_OK) == 0;
    // The soundtrack from the moment of the first frame, as the show starts it there.
    char start[32];
    std::snprintf(start, sizeof start, "%.6f",
                  static_cast<double>(options.firstFrame) / options.fps);
    if (music)
        args.insert(args.end(), {"-ss", start, "-i", kMusicFile});
    // vflip turns the bottom-up frames upright by stepping their rows backwards, copying
    // nothing; the scaler converts to yuv420p as it scales. The picture goes where the show
    // puts it on a desktop of the video's size; pad counts from the top.
    const PictureArea area = fitPicture(w, h);
    const std::string top = std::to_string(h - area.height - area.y);
    args.insert(args.end(),
                {"-vf",
                 "vflip,scale=" + std::to_string(area.width) + ":" + std::to_string(area.height) +
                     ":flags=lanczos,pad=" + std::to_string(w) + ":" + std::to_string(h) + ":" +
                     std::to_string(area.x) + ":" + top,
                 "-c:v", "libx264", "-preset", options.preset, "-crf", std::to_string(options.crf),
                 "-pix_fmt", "yuv420p", "-movflags", "+faststart"});
    // The soundtrack is padded with silence and cut where the frames end, so the video is
    // exactly as long as the show whatever the length of the music.
    if (music)
        args.insert(args.end(), {"-map", "0:v", "-map", "1:a", "-af", "apad", "-shortest", "-c:a",
                                 "aac", "-b:a", "192k"});
    args.push_back(options.videoFile);
    return args;
}

// The progress line on standard error, ended before anything else is printed.
bool gProgressOpen = false;

void endProgress() {
    if (gProgressOpen)
        std::fputc('\n', stderr);
    gProgressOpen = false;
}

const char* plural(int64_t count) {
    return count == 1 ? "" : "s";
}

int fail(const std::string& message) {
    endProgress();
    std::fprintf(stderr, "hopsasa-capture: %s\n", message.c_str());
    return 1;
}

// SIGINT, SIGTERM and SIGHUP stop the capture after the frame being drawn: what is written
// is kept whole.
volatile std::sig_atomic_t gStopSignal = 0;

void stopOnSignal(int signal) {
    gStopSignal = signal;
}

void catchStopSignals() {
    struct sigaction action = {};
    action.sa_handler = stopOnSignal;
    sigemptyset(&action.sa_mask);
    // Installed before SDL starts, which then leaves them alone.
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

// Writes one PNG frame under a name of its own first, so that a frame file is whole
// whenever it is there under its own name.
std::string writeFrameFile(platform::PngWriter& png, const std::string& path, const uint8_t* pixels,
                           int width, int height) {
    const std::string part = path + ".part";
    const ptrdiff_t rowBytes = ptrdiff_t{width} * 4;
    const platform::PixelRows rows{pixels + (height - 1) * rowBytes, -rowBytes, width, height,
                                   platform::PixelOrder::bgrx};
    if (!png.write(part.c_str(), rows) || std::rename(part.c_str(), path.c_str()) != 0) {
        std::remove(part.c_str());
        return "cannot write " + path;
    }
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    catchStopSignals();
    Options options;
    std::string problem = parseArguments(argc, argv, options);
    if (problem == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "hopsasa-capture: %s\n\n%s", problem.c_str(), kUsage);
        return 2;
    }
    if (options.list) {
        printList(options.fps);
        return 0;
    }
    problem = checkOutput(options);
    if (!problem.empty())
        return fail(problem);

    // The show's soundtrack is muxed from the file; the capture itself plays nothing.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::vector<std::string> boxes;
    platform::setMessageBoxSink(recordBox, &boxes);
    // Frames of another size are drawn at that size, the picture placed as on a desktop of
    // that size; a video's frames are drawn at 800x600, and ffmpeg scales them.
    const bool toVideo = !options.videoFile.empty();
    const int width = toVideo ? kWidth : options.width;
    const int height = toVideo ? kHeight : options.height;
    platform::useOffscreenDisplay({width, height, 32});
    // Frame k is drawn at tick k: exactly k / fps seconds after frame 0.
    const FrameTimes times{0, options.fps, options.fps};
    platform::useManualCounter(options.fps, times.first);

    GLWindow window(width == kWidth && height == kHeight ? ScreenMode::switched
                                                         : ScreenMode::desktop);
    if (!window.hRC) {
        for (const std::string& box : boxes)
            std::printf("%s\n", box.c_str());
        return fail("no offscreen OpenGL context");
    }
    Show show(window);
    if (options.firstFrame > 0 && !gStopSignal)
        show.seek(options.firstFrame, times);
    show.startMusic(static_cast<double>(options.firstFrame) / options.fps);

    FfmpegPipe ffmpeg;
    // Stopped during start-up, no video is begun.
    const bool videoBegun = toVideo && !gStopSignal;
    if (videoBegun) {
        std::string error;
        if (!ffmpeg.start(ffmpegArguments(options), error))
            return fail("cannot run ffmpeg: " + error);
    }

    // PNG compression takes longer than drawing a frame, so frames are compressed on as
    // many threads as there are cores, beside the drawing; ffmpeg takes them in order from
    // one thread, which leaves the drawing to run while it waits on the pipe.
    const int writers =
        toVideo ? 1 : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::vector<platform::PngWriter> png(toVideo ? 0 : writers);
    const size_t frameBytes = static_cast<size_t>(width) * height * 4;
    FramePipeline frames(
        writers, writers + 2, frameBytes,
        [&](int writer, int64_t index, const uint8_t* pixels) -> std::string {
            if (toVideo)
                return ffmpeg.write(pixels, frameBytes) ? "" : "ffmpeg stopped taking frames";
            char name[32];
            std::snprintf(name, sizeof name, "/frame_%06lld.png", static_cast<long long>(index));
            return writeFrameFile(png[writer], options.framesDir + name, pixels, width, height);
        });

    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    int64_t k = options.firstFrame;
    for (; !gStopSignal && !show.finished() && k < options.endFrame; ++k) {
        platform::setManualCounter(times.tick(k));
        show.renderFrame();
        uint8_t* pixels = frames.buffer();
        if (!pixels)
            break;
        // Read back as OpenGL holds them: blue, green, red and a fourth byte a pixel, bottom
        // row first. Neither the PNG writer nor ffmpeg needs them turned around first.
        glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
        frames.submit(k);
        if (k % 30 == 0) {
            std::fflush(stdout);
            std::fprintf(stderr, "\rcapturing: frame %lld, %.1f s of show, scene %d of %d ",
                         static_cast<long long>(k), static_cast<double>(k) / options.fps,
                         show.sceneIndex + 1, kSceneCount);
            gProgressOpen = true;
        }
    }
    const std::string error = frames.finish();
    // The video ends where the frames end, a playable file whether they all came or not;
    // a video that ffmpeg could not finish is removed.
    if (videoBegun && (ffmpeg.finish() != 0 || !error.empty())) {
        std::remove(options.videoFile.c_str());
        const std::string said = ffmpeg.messages();
        if (!gStopSignal)
            return fail(
                (error.empty() ? "ffmpeg failed to write '" + options.videoFile + "'" : error) +
                (said.empty() ? "" : ": " + said));
    }
    if (!error.empty() && !gStopSignal)
        return fail(error);
    if (gStopSignal) {
        endProgress();
        std::fprintf(stderr, "hopsasa-capture: stopped at frame %lld by SIG%s\n",
                     static_cast<long long>(k), sigabbrev_np(gStopSignal));
        return 128 + gStopSignal;
    }
    const int64_t captured = k - options.firstFrame;
    std::fprintf(stderr, "%scaptured %lld frame%s, %.2f s of show at %d frame%s a second\n",
                 gProgressOpen ? "\r" : "", static_cast<long long>(captured), plural(captured),
                 static_cast<double>(captured) / options.fps, options.fps, plural(options.fps));
    if (!boxes.empty()) {
        std::fprintf(stderr,
                     "hopsasa-capture: the show reported %zu problem%s while capturing (see "
                     "above); what it names is missing from the %s\n",
                     boxes.size(), plural(static_cast<int64_t>(boxes.size())),
                     toVideo ? "video" : "frames");
        return 3;
    }
    return 0;
}
