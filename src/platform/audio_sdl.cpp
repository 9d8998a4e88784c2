// Audio output on SDL2_mixer: MP3 streams decoded by its mpg123 backend, the music volume,
// and a ring of the newest mixed samples for the spectrum.
//
// What it does not do: more than one stream heard at a time (SDL_mixer plays one music),
// closing the device (the show keeps it to the end of the process), or
// following the device's own rate (SDL converts from the rate asked for).
//
// The ring is the one thing shared with the audio thread. It is a sequence lock: the
// post-mix callback, the only writer, makes the sequence odd, writes, and makes it even
// again; the main thread copies the ring and keeps the copy only when the sequence was
// even and unchanged around it. The audio thread therefore never waits, and the main
// thread retries only while a write of at most 512 samples is under way.
#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/audio.h"

namespace platform {
namespace {

// ---- The ring of mixed samples --------------------------------------------------------

struct SampleRing {
    std::atomic<uint32_t> sequence{0};
    std::atomic<uint32_t> next{0};  // where the next sample goes: the oldest one
    std::atomic<float> samples[kSpectrumSamples];
};
SampleRing gRing;

// The device's format as the callback sees it; written before the callback is installed
// and only read afterwards.
struct DeviceFormat {
    Uint16 format = 0;
    int channels = 0;
};
DeviceFormat gDevice;

template <typename Sample>
void pushFrames(const Uint8* bytes, int frames, int channels, float toUnit) {
    uint32_t pos = gRing.next.load(std::memory_order_relaxed);
    const size_t frameBytes = sizeof(Sample) * channels;
    for (int f = 0; f < frames; ++f) {
        float sum = 0;
        for (int c = 0; c < channels; ++c) {
            Sample s;
            std::memcpy(&s, bytes + f * frameBytes + c * sizeof(Sample), sizeof s);
            sum += static_cast<float>(s);
        }
        gRing.samples[pos].store(sum * toUnit / channels, std::memory_order_relaxed);
        pos = (pos + 1) % kSpectrumSamples;
    }
    gRing.next.store(pos, std::memory_order_relaxed);
}

// Audio thread: no allocation, no lock, no call into SDL.
void SDLCALL recordMix(void*, Uint8* stream, int len) {
    const DeviceFormat device = gDevice;
    const int sampleBytes = SDL_AUDIO_BITSIZE(device.format) / 8;
    if (device.channels <= 0 || sampleBytes <= 0)
        return;
    const int frameBytes = sampleBytes * device.channels;
    int frames = len / frameBytes;
    // Older frames would be overwritten within this same call.
    const int skipped = std::max(0, frames - kSpectrumSamples);
    const Uint8* newest = stream + skipped * frameBytes;
    frames -= skipped;

    const uint32_t seq = gRing.sequence.load(std::memory_order_relaxed);
    gRing.sequence.store(seq + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    switch (device.format) {
        case AUDIO_S16SYS:
            pushFrames<int16_t>(newest, frames, device.channels, 1.0f / 32768);
            break;
        case AUDIO_S32SYS:
            pushFrames<int32_t>(newest, frames, device.channels, 1.0f / 2147483648.0f);
            break;
        case AUDIO_F32SYS:
            pushFrames<float>(newest, frames, device.channels, 1.0f);
            break;
        default:  // never opened in another format; the ring stays silent
            break;
    }
    gRing.sequence.store(seq + 2, std::memory_order_release);
}

// The newest samples, oldest first. After this many torn reads it keeps the last copy: one
// frame's spectrum from a half-written ring is harmless, a stalled frame is not.
constexpr int kRingReadTries = 64;
void copyRing(float* out) {
    for (int attempt = 0; attempt < kRingReadTries; ++attempt) {
        const uint32_t before = gRing.sequence.load(std::memory_order_acquire);
        const uint32_t start = gRing.next.load(std::memory_order_relaxed);
        for (int i = 0; i < kSpectrumSamples; ++i) {
            out[i] = gRing.samples[(start + i) % kSpectrumSamples].load(std::memory_order_relaxed);
        }
        std::atomic_thread_fence(std::memory_order_acquire);
        if (!(before & 1) && gRing.sequence.load(std::memory_order_relaxed) == before)
            return;
    }
}

// ---- Streams and the device -----------------------------------------------------------

struct StreamRecord {
    Mix_Music* music = nullptr;
    // The decoder reads the file from here for as long as the stream can play, which is
    // to the end of the process; the record is never freed.
    std::vector<uint8_t>* bytes = nullptr;
    int volume = 100;
};

constexpr int kMaxStreams = 16;
constexpr int kDeviceChunkFrames = 1024;  // about 23 ms at 44100 Hz

// Plain pointers and values only: the audio thread may still run while static
// destructors do.
struct AudioState {
    bool ready = false;
    StreamRecord* streams[kMaxStreams] = {};
    int streamCount = 0;
    AudioStream playing = 0;  // the stream started last
    AudioCallObserver observer = nullptr;
    void* observerUser = nullptr;
};
AudioState gAudio;

thread_local int tError = kAudioOk;

// Sets the call's error code, tells the observer, and hands `result` back.
template <typename T>
T finish(AudioCall call, AudioStream stream, int error, T result) {
    tError = error;
    if (gAudio.observer)
        gAudio.observer(call, stream, error, gAudio.observerUser);
    return result;
}

StreamRecord* recordOf(AudioStream stream) {
    if (stream == 0 || stream > static_cast<AudioStream>(gAudio.streamCount))
        return nullptr;
    return gAudio.streams[stream - 1];
}

int toMixerVolume(int volume) {
    return (std::clamp(volume, 0, 100) * MIX_MAX_VOLUME + 50) / 100;
}

// Reads the whole file; false when it cannot be opened or read to its end.
bool readWholeFile(const char* path, std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    uint8_t chunk[64 * 1024];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

// Where the sound starts: after the ID3v2 tags at the start of the file, if any. SDL_mixer
// 2.6.2 copies an ID3v2 text frame with the size the frame claims, whatever the size of its
// buffer: a hostile tag reads far past it and crashes. The show wants no tags, so the
// decoder never sees them. The header test is the one SDL_mixer applies, so every tag it
// would parse is skipped.
size_t soundStart(const std::vector<uint8_t>& bytes) {
    constexpr size_t kHeader = 10;
    size_t pos = 0;
    while (bytes.size() - pos >= kHeader) {
        const uint8_t* tag = bytes.data() + pos;
        if (std::memcmp(tag, "ID3", 3) != 0 || tag[3] == 0xff || tag[4] == 0xff ||
            ((tag[6] | tag[7] | tag[8] | tag[9]) & 0x80) != 0)
            break;
        // A 28-bit size of seven bits a byte, then a footer as long as the header if flagged.
        const size_t size =
            (size_t{tag[6]} << 21) | (size_t{tag[7]} << 14) | (size_t{tag[8]} << 7) | tag[9];
        const size_t length = kHeader + size + ((tag[5] & 0x10) ? kHeader : 0);
        pos += std::min(length, bytes.size() - pos);
    }
    return pos;
}

}  // namespace

bool initAudioOutput(int sampleRate) {
    if (gAudio.ready)
        return finish(AudioCall::init, 0, kAudioAlreadyInitialised, false);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return finish(AudioCall::init, 0, kAudioNoDevice, false);
    }
    // No changes allowed: SDL converts to whatever the hardware takes, so the mix (and the
    // spectrum's bins) always run at the rate asked for, in 16-bit stereo.
    if (Mix_OpenAudioDevice(sampleRate, AUDIO_S16SYS, 2, kDeviceChunkFrames, nullptr, 0) != 0) {
        // Shut SDL's audio down again so that the next try starts from scratch, with
        // whatever driver is configured by then.
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return finish(AudioCall::init, 0, kAudioNoDevice, false);
    }
    // A missing MP3 decoder shows later, as a format error on opening.
    Mix_Init(MIX_INIT_MP3);

    int rate = 0, channels = 0;
    Uint16 format = 0;
    Mix_QuerySpec(&rate, &format, &channels);
    gDevice = {format, channels};
    Mix_SetPostMix(recordMix, nullptr);
    gAudio.ready = true;
    return finish(AudioCall::init, 0, kAudioOk, true);
}

int audioErrorCode() {
    return tError;
}

AudioStream openAudioStream(const char* path) {
    if (!gAudio.ready)
        return finish(AudioCall::open, 0, kAudioNotInitialised, AudioStream{0});
    if (gAudio.streamCount == kMaxStreams) {
        return finish(AudioCall::open, 0, kAudioTooManyStreams, AudioStream{0});
    }
    auto* bytes = new std::vector<uint8_t>;
    auto fail = [bytes](int error) {
        delete bytes;
        return finish(AudioCall::open, 0, error, AudioStream{0});
    };
    if (!path || !readWholeFile(path, *bytes))
        return fail(kAudioFileOpen);
    bytes->erase(bytes->begin(), bytes->begin() + static_cast<ptrdiff_t>(soundStart(*bytes)));
    if (bytes->empty())
        return fail(kAudioFileFormat);

    SDL_RWops* source = SDL_RWFromConstMem(bytes->data(), static_cast<int>(bytes->size()));
    if (!source)
        return fail(kAudioNoMemory);
    // Forced to MP3: SDL_mixer would otherwise guess the format from the content and play
    // a WAV or OGG named .mp3.
    Mix_Music* music = Mix_LoadMUSType_RW(source, MUS_MP3, SDL_TRUE);
    if (!music)
        return fail(kAudioFileFormat);
    // The decoder accepts a file once it finds one frame; a length proves that the stream
    // as a whole decodes.
    if (Mix_MusicDuration(music) <= 0) {
        Mix_FreeMusic(music);
        return fail(kAudioFileFormat);
    }

    gAudio.streams[gAudio.streamCount++] = new StreamRecord{music, bytes, 100};
    return finish(AudioCall::open, static_cast<AudioStream>(gAudio.streamCount), kAudioOk,
                  static_cast<AudioStream>(gAudio.streamCount));
}

bool closeAudioStream(AudioStream stream) {
    StreamRecord* record = gAudio.ready ? recordOf(stream) : nullptr;
    if (!record) {
        tError = gAudio.ready ? kAudioInvalidHandle : kAudioNotInitialised;
        return false;
    }
    // Halts the music first when it plays, so the audio thread is done with the bytes.
    Mix_FreeMusic(record->music);
    delete record->bytes;
    delete record;
    gAudio.streams[stream - 1] = nullptr;
    if (gAudio.playing == stream)
        gAudio.playing = 0;
    while (gAudio.streamCount > 0 && !gAudio.streams[gAudio.streamCount - 1])
        --gAudio.streamCount;
    tError = kAudioOk;
    return true;
}

bool playAudioStream(AudioStream stream) {
    if (!gAudio.ready)
        return finish(AudioCall::play, stream, kAudioNotInitialised, false);
    StreamRecord* record = recordOf(stream);
    if (!record)
        return finish(AudioCall::play, stream, kAudioInvalidHandle, false);
    // The mixer has one music volume; the stream brings its own.
    Mix_VolumeMusic(toMixerVolume(record->volume));
    if (Mix_PlayMusic(record->music, 0) != 0) {
        return finish(AudioCall::play, stream, kAudioStartFailed, false);
    }
    gAudio.playing = stream;
    return finish(AudioCall::play, stream, kAudioOk, true);
}

bool setAudioStreamVolume(AudioStream stream, int volume) {
    if (!gAudio.ready)
        return finish(AudioCall::volume, stream, kAudioNotInitialised, false);
    StreamRecord* record = recordOf(stream);
    if (!record)
        return finish(AudioCall::volume, stream, kAudioInvalidHandle, false);
    record->volume = std::clamp(volume, 0, 100);
    if (stream == gAudio.playing)
        Mix_VolumeMusic(toMixerVolume(record->volume));
    return finish(AudioCall::volume, stream, kAudioOk, true);
}

int audioStreamVolume(AudioStream stream) {
    StreamRecord* record = gAudio.ready ? recordOf(stream) : nullptr;
    tError = record ? kAudioOk : gAudio.ready ? kAudioInvalidHandle : kAudioNotInitialised;
    return record ? record->volume : -1;
}

bool audioPlaying() {
    tError = gAudio.ready ? kAudioOk : kAudioNotInitialised;
    return gAudio.ready && Mix_PlayingMusic() != 0;
}

bool audioStreamSpectrum(AudioStream stream, float* out) {
    if (!gAudio.ready)
        return finish(AudioCall::spectrum, stream, kAudioNotInitialised, false);
    if (!recordOf(stream))
        return finish(AudioCall::spectrum, stream, kAudioInvalidHandle, false);
    float samples[kSpectrumSamples];
    copyRing(samples);
    spectrumOf(samples, out);
    return finish(AudioCall::spectrum, stream, kAudioOk, true);
}

void setAudioCallObserver(AudioCallObserver observer, void* user) {
    gAudio.observer = observer;
    gAudio.observerUser = user;
}

}  // namespace platform
