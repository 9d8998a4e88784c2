// Audio output on SDL2_mixer: MP3 streams decoded by its mpg123 backend, the music volume,
// and a ring of the newest mixed samples for the spectrum.
//
// What it does not do: more than one stream heard at a time (SDL_mixer plays one music),
// closing the device (the show keeps it to the end of the process), or
// following the device's own rate (SDL converts from the rate asked for).
//
// The ring of the newest output is the one thing shared with the audio thread; the
// post-mix callback writes it.
#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/audio_shared.h"

namespace platform {
namespace {

// The device's format as the callback sees it; written before the callback is installed
// and only read afterwards.
struct DeviceFormat {
    SampleFormat format = SampleFormat::s16;
    int channels = 0;
};
DeviceFormat gDevice;

// Audio thread: no allocation, no lock, no call into SDL.
void SDLCALL recordMix(void*, Uint8* stream, int len) {
    const DeviceFormat device = gDevice;
    const int frameBytes = (device.format == SampleFormat::s16 ? 2 : 4) * device.channels;
    if (frameBytes > 0)
        recordOutput(stream, len / frameBytes, device.channels, device.format);
}

// ---- Streams and the device -----------------------------------------------------------

struct StreamRecord {
    Mix_Music* music = nullptr;
    // The decoder reads the file from here for as long as the stream can play, which is
    // to the end of the process; the record is never freed.
    std::vector<uint8_t>* bytes = nullptr;
    int volume = 100;
};

constexpr int kDeviceChunkFrames = 1024;  // about 23 ms at 44100 Hz

// Plain pointers and values only: the audio thread may still run while static
// destructors do.
struct AudioState {
    bool ready = false;
    StreamSlots<StreamRecord> streams;
    AudioStream playing = 0;  // the stream started last
};
AudioState gAudio;

int toMixerVolume(int volume) {
    return (std::clamp(volume, 0, 100) * MIX_MAX_VOLUME + 50) / 100;
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
    // Opened without allowed changes, so S16; SDL converts for the hardware.
    gDevice = {format == AUDIO_S32SYS   ? SampleFormat::s32
               : format == AUDIO_F32SYS ? SampleFormat::f32
                                        : SampleFormat::s16,
               channels};
    Mix_SetPostMix(recordMix, nullptr);
    gAudio.ready = true;
    return finish(AudioCall::init, 0, kAudioOk, true);
}

AudioStream openAudioStream(const char* path) {
    if (!gAudio.ready)
        return finish(AudioCall::open, 0, kAudioNotInitialised, AudioStream{0});
    if (gAudio.streams.full()) {
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

    const AudioStream stream = gAudio.streams.add(new StreamRecord{music, bytes, 100});
    return finish(AudioCall::open, stream, kAudioOk, stream);
}

bool closeAudioStream(AudioStream stream) {
    StreamRecord* record = gAudio.ready ? gAudio.streams.find(stream) : nullptr;
    if (!record) {
        setAudioError(gAudio.ready ? kAudioInvalidHandle : kAudioNotInitialised);
        return false;
    }
    // Halts the music first when it plays, so the audio thread is done with the bytes.
    Mix_FreeMusic(record->music);
    delete record->bytes;
    delete record;
    gAudio.streams.remove(stream);
    if (gAudio.playing == stream)
        gAudio.playing = 0;
    setAudioError(kAudioOk);
    return true;
}

bool playAudioStream(AudioStream stream, double seconds) {
    if (!gAudio.ready)
        return finish(AudioCall::play, stream, kAudioNotInitialised, false);
    StreamRecord* record = gAudio.streams.find(stream);
    if (!record)
        return finish(AudioCall::play, stream, kAudioInvalidHandle, false);
    // The mixer has one music volume; the stream brings its own.
    Mix_VolumeMusic(toMixerVolume(record->volume));
    if (Mix_PlayMusic(record->music, 0) != 0) {
        return finish(AudioCall::play, stream, kAudioStartFailed, false);
    }
    if (seconds > 0 && Mix_SetMusicPosition(seconds) != 0)
        Mix_HaltMusic();
    gAudio.playing = stream;
    return finish(AudioCall::play, stream, kAudioOk, true);
}

bool setAudioStreamVolume(AudioStream stream, int volume) {
    if (!gAudio.ready)
        return finish(AudioCall::volume, stream, kAudioNotInitialised, false);
    StreamRecord* record = gAudio.streams.find(stream);
    if (!record)
        return finish(AudioCall::volume, stream, kAudioInvalidHandle, false);
    record->volume = std::clamp(volume, 0, 100);
    if (stream == gAudio.playing)
        Mix_VolumeMusic(toMixerVolume(record->volume));
    return finish(AudioCall::volume, stream, kAudioOk, true);
}

int audioStreamVolume(AudioStream stream) {
    StreamRecord* record = gAudio.ready ? gAudio.streams.find(stream) : nullptr;
    setAudioError(record ? kAudioOk : gAudio.ready ? kAudioInvalidHandle : kAudioNotInitialised);
    return record ? record->volume : -1;
}

bool audioPlaying() {
    setAudioError(gAudio.ready ? kAudioOk : kAudioNotInitialised);
    return gAudio.ready && Mix_PlayingMusic() != 0;
}

int streamError(AudioStream stream) {
    return !gAudio.ready                  ? kAudioNotInitialised
           : !gAudio.streams.find(stream) ? kAudioInvalidHandle
                                          : kAudioOk;
}

}  // namespace platform
