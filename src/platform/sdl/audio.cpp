// The audio backend on SDL2_mixer: the device, and each stream's MPEG frames decoded by
// SDL_mixer's mpg123 as they play, as its one music; the post-mix callback hands what is
// mixed to the ring of the newest output.
//
// What it does not do: more than one stream heard at a time (SDL_mixer plays one music), or
// follow the device's own rate (SDL converts from the rate asked for).
//
// Two things keep the sound whole on a busy machine, where it broke up before:
// - SDL's audio thread runs at real-time priority where the system allows it. SDL asks
//   for nice -20, but a nice level only weighs against threads of the same scheduling
//   group (with the kernel's autogroups, the same session), and the show's own renderer
//   threads are in that group: the thread waited up to 92 ms for a CPU.
// - The PulseAudio stream asks for 60 ms rather than one device buffer (kPulseLatencyMs).
// The decoding in the callback was never what came late: mpg123 took 0.05 ms for 23 ms of
// sound on average, 2.6 ms at worst, so it stays where SDL_mixer does it.
#include <SDL.h>
#include <SDL_mixer.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/audio.h"
#include "platform/internal/backend.h"
#include "platform/internal/trace.h"

namespace platform {
namespace {

// The device's format as the callback sees it; written before the callback is installed
// and only read afterwards.
struct DeviceFormat {
    SampleFormat format = SampleFormat::s16;
    int channels = 0;
};
DeviceFormat gDevice;

// ---- The audio thread -------------------------------------------------------------------

struct AudioThread {
    bool raised = false;  // audio thread only: its priority has been seen to
    // Set by play once the mixer plays the stream. The next callback traces itself: the
    // first to carry the stream's sound, or the second when one ran in between.
    std::atomic<bool> traceNextMix{false};
};
AudioThread gThread;

// Set directly where the process may (root, CAP_SYS_NICE, or an RTPRIO limit such as an
// audio group's), at the lowest real-time priority: above every ordinary thread, below a
// sound server's own real-time threads. Else through RealtimeKit, which SDL asks over
// D-Bus. Where neither is allowed the thread keeps the nice level SDL gave it.
void raiseToRealTime() {
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_RR);
    if (sched_setscheduler(0, SCHED_RR, &param) == 0)
        return;
    SDL_LinuxSetThreadPriorityAndPolicy(gettid(), SDL_THREAD_PRIORITY_TIME_CRITICAL, SCHED_RR);
}

// Audio thread. Its first call sets the thread's priority, which may ask RealtimeKit over
// D-Bus; after that no allocation, no lock, no call into SDL.
void SDLCALL recordMix(void*, Uint8* stream, int len) {
    if (!gThread.raised) {
        gThread.raised = true;
        raiseToRealTime();
    }
    if (gThread.traceNextMix.exchange(false, std::memory_order_relaxed))
        traceEvent("first-callback");
    const DeviceFormat device = gDevice;
    const int frameBytes = (device.format == SampleFormat::s16 ? 2 : 4) * device.channels;
    if (frameBytes > 0)
        recordOutput(stream, len / frameBytes, device.channels, device.format);
}

// ---- The device and the sounds ----------------------------------------------------------

// The latency asked of a PulseAudio server, which keeps a quarter of it in its sink and
// the rest queued from us. SDL asks for one device buffer, which left 17 ms queued with
// buffers of 23 ms: less than the server's threads and ours were seen to get no CPU at all
// (up to 25 ms, a virtual machine's CPU waiting for its host), and the sound broke up at
// each such stall. With 60 ms, 45 of them queued, a whole show came through stalls of
// 25 ms every two seconds beside two busy processes; with 50 ms two of the 36 stalls broke
// it, with 40 ms over half of them. The spectrum, of the newest samples mixed, runs further
// ahead of what is heard by about as much as the queue grew: some 25 ms.
constexpr const char* kPulseLatencyMs = "60";

// About 6 ms at 44100 Hz. The soundtrack's first samples wait behind what is queued and
// behind the rest of the buffer SDL is writing when it starts. Asking 60 ms, they came 22
// to 32 ms after the first scene frame in five runs (27 ms the median) with these, 20 to
// 42 ms (31 ms) with buffers of 12 ms; asking 50 ms, buffers of 23 ms gave up to 48 ms.
// The audio thread then wakes about 150 times a second and takes 8 ms of CPU a second.
constexpr int kDeviceChunkFrames = 256;

int toMixerVolume(int volume) {
    return (std::clamp(volume, 0, 100) * MIX_MAX_VOLUME + 50) / 100;
}

}  // namespace

// SDL_mixer decodes from `bytes` for as long as the sound can play.
struct SystemSound {
    std::vector<uint8_t> bytes;
    Mix_Music* music = nullptr;
};

bool systemOpenAudio(int rate) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    // libpulse reads it when SDL connects the stream; a value the user set is kept.
    setenv("PULSE_LATENCY_MSEC", kPulseLatencyMs, 0);
    // No changes allowed: SDL converts to whatever the hardware takes, so the mix (and the
    // spectrum's bins) always run at the rate asked for, in 16-bit stereo.
    if (Mix_OpenAudioDevice(rate, AUDIO_S16SYS, 2, kDeviceChunkFrames, nullptr, 0) != 0) {
        // Shut SDL's audio down again so that the next try starts from scratch, with
        // whatever driver is configured by then.
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    // A missing MP3 decoder shows later, as a format error on opening.
    Mix_Init(MIX_INIT_MP3);

    int deviceRate = 0, channels = 0;
    Uint16 format = 0;
    Mix_QuerySpec(&deviceRate, &format, &channels);
    // Opened without allowed changes, so S16; SDL converts for the hardware.
    gDevice = {format == AUDIO_S32SYS   ? SampleFormat::s32
               : format == AUDIO_F32SYS ? SampleFormat::f32
                                        : SampleFormat::s16,
               channels};
    gThread.raised = false;  // a new device, a new audio thread
    Mix_SetPostMix(recordMix, nullptr);
    return true;
}

void systemCloseAudio() {
    Mix_SetPostMix(nullptr, nullptr);
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

int systemOpenSound(std::vector<uint8_t>&& bytes, const Mp3Frames& frames, SystemSound*& sound) {
    auto* made = new (std::nothrow) SystemSound{std::move(bytes), nullptr};
    if (!made)
        return kAudioNoMemory;
    // The frames alone: SDL_mixer 2.6 parses the tags it finds itself, and a hostile one has
    // crashed it (an ID3v2 text frame longer than its tag) or made it leak (stacked ID3v2
    // tags with an APE mark inside).
    SDL_RWops* source = SDL_RWFromConstMem(made->bytes.data() + frames.begin,
                                           static_cast<int>(frames.end - frames.begin));
    // Forced to MP3: SDL_mixer would otherwise guess the format from the content.
    made->music = source ? Mix_LoadMUSType_RW(source, MUS_MP3, SDL_TRUE) : nullptr;
    // The decoder accepts a file once it finds one frame; a length proves that the stream
    // as a whole decodes.
    if (!made->music || Mix_MusicDuration(made->music) <= 0) {
        const int error = source ? kAudioFileFormat : kAudioNoMemory;
        if (made->music)
            Mix_FreeMusic(made->music);
        delete made;
        return error;
    }
    sound = made;
    return kAudioOk;
}

void systemCloseSound(SystemSound* sound) {
    // Halts the music first when it plays, so the audio thread is done with the bytes.
    Mix_FreeMusic(sound->music);
    delete sound;
}

bool systemPlaySound(SystemSound* sound, int volume, double seconds) {
    // The mixer has one music volume; the stream brings its own.
    Mix_VolumeMusic(toMixerVolume(volume));
    traceEvent("play");
    if (Mix_PlayMusic(sound->music, 0) != 0)
        return false;
    gThread.traceNextMix.store(true, std::memory_order_relaxed);
    if (seconds > 0 && Mix_SetMusicPosition(seconds) != 0)
        Mix_HaltMusic();
    return true;
}

void systemSetPlayingVolume(int volume) {
    Mix_VolumeMusic(toMixerVolume(volume));
}

bool systemSoundPlaying() {
    return Mix_PlayingMusic() != 0;
}

}  // namespace platform
