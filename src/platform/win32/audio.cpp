// The audio backend on the Windows wave-out device: each stream's MPEG frames decoded whole
// to PCM by the system's ACM MP3 codec when it is opened, mixed on a thread of our own into
// a few device buffers, each handed to the ring of the newest output as it goes.
//
// The device runs in 16-bit stereo at the rate asked for, from initialisation to the end
// of the process, playing silence when no stream plays. Every stream is held as 16-bit
// stereo PCM at the device's rate, so the mix is a copy times the volume.
//
// What the playback thread shares with the main thread: which sound plays and where, under
// a critical section that either side holds only for a copy of one buffer; the volume of
// the sound playing, an atomic; and the ring of the newest output, which has its own
// sequence lock.
// The sound of a stream never changes while it is open, and the main thread frees it only
// after it has taken it away from the playback thread under the lock.
#include <windows.h>

#include <mmreg.h>
#include <mmsystem.h>
#include <msacm.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "platform/audio.h"
#include "platform/internal/backend.h"
#include "platform/internal/mp3_frames.h"

namespace platform {

struct SystemSound {
    int16_t* samples = nullptr;  // interleaved stereo at the device's rate; never changes
    size_t frames = 0;
};

namespace {

constexpr int kChannels = 2;  // the device's, and every stream's once decoded
constexpr int kBufferCount = 4;
constexpr int kBufferFrames = 1024;  // about 23 ms at 44100 Hz
constexpr int kMaxDeviceRate = 1 << 20;

// A stream longer than this is refused as more than this layer keeps in memory: a quarter
// of an hour of 16-bit stereo at 48000 Hz is 173 MB already.
constexpr uint64_t kMaxSoundSeconds = 15 * 60;

// ---- Streams and the device -----------------------------------------------------------

// What is being played: guarded by AudioState::lock.
struct Playback {
    const SystemSound* stream = nullptr;  // null when nothing plays
    size_t position = 0;                  // the next frame to mix
};

// Plain values only, no destructors: the playback thread may still run while static
// destructors do.
struct AudioState {
    bool ready = false;  // the device is open and the playback thread runs
    bool lockMade = false;
    bool exitHandled = false;
    int rate = 0;
    HWAVEOUT device = nullptr;
    HANDLE bufferDone = nullptr;  // signalled by the device whenever a buffer comes back
    HANDLE thread = nullptr;
    std::atomic<bool> stopping{false};

    CRITICAL_SECTION lock;
    Playback playback;
    std::atomic<int> volume{100};  // of the sound playing

    WAVEHDR headers[kBufferCount] = {};
    bool queued[kBufferCount] = {};  // playback thread only: handed to the device
    int16_t buffers[kBufferCount][kBufferFrames * kChannels] = {};
};
AudioState gAudio;

// ---- The playback thread ----------------------------------------------------------------

// Fills `out` with the next frames of the stream being played, times its volume, and
// silence after its end or when nothing plays. The stream ends, as far as audioPlaying
// sees, once its last frame is mixed.
void mix(int16_t* out, int frames) {
    size_t filled = 0;
    EnterCriticalSection(&gAudio.lock);
    Playback& playback = gAudio.playback;
    if (const SystemSound* stream = playback.stream) {
        filled = std::min(static_cast<size_t>(frames), stream->frames - playback.position);
        const int volume = gAudio.volume.load(std::memory_order_relaxed);
        const int16_t* in = stream->samples + playback.position * kChannels;
        for (size_t i = 0; i < filled * kChannels; ++i)
            out[i] = static_cast<int16_t>(in[i] * volume / 100);
        playback.position += filled;
        if (playback.position >= stream->frames)
            playback.stream = nullptr;
    }
    LeaveCriticalSection(&gAudio.lock);
    std::fill(out + filled * kChannels, out + frames * kChannels, int16_t{0});
}

// Mixes into buffer `index`, records it for the spectrum and hands it to the device.
void queueBuffer(int index) {
    int16_t* frames = gAudio.buffers[index];
    mix(frames, kBufferFrames);
    recordOutput(frames, kBufferFrames, kChannels, SampleFormat::s16);
    gAudio.queued[index] =
        waveOutWrite(gAudio.device, &gAudio.headers[index], sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
}

bool bufferFree(int index) {
    // The device sets the flag from a thread of its own.
    const volatile DWORD& flags = gAudio.headers[index].dwFlags;
    return !gAudio.queued[index] || (flags & WHDR_DONE) != 0;
}

// Keeps every buffer with the device, refilling them in the order they were queued, which
// is the order they come back in. No allocation: everything it touches exists already.
DWORD WINAPI playbackThread(void*) {
    // Wakes now and then without a signal too, so that a buffer the device refused is
    // offered again rather than lost.
    const DWORD wait = static_cast<DWORD>(2 * 1000 * kBufferFrames / gAudio.rate + 1);
    int next = 0;
    while (!gAudio.stopping.load(std::memory_order_acquire)) {
        for (int tries = 0; tries < kBufferCount && bufferFree(next); ++tries) {
            queueBuffer(next);
            if (!gAudio.queued[next])
                break;
            next = (next + 1) % kBufferCount;
        }
        WaitForSingleObject(gAudio.bufferDone, wait);
    }
    return 0;
}

void releaseDevice() {
    if (gAudio.device) {
        waveOutReset(gAudio.device);  // hands every queued buffer back
        for (WAVEHDR& header : gAudio.headers) {
            if (header.dwFlags & WHDR_PREPARED)
                waveOutUnprepareHeader(gAudio.device, &header, sizeof header);
        }
        waveOutClose(gAudio.device);
        gAudio.device = nullptr;
    }
    if (gAudio.bufferDone) {
        CloseHandle(gAudio.bufferDone);
        gAudio.bufferDone = nullptr;
    }
}

// Stops the playback thread and closes the device, so that no thread is cut off inside the
// wave-out functions. A thread that does not stop in time keeps everything it uses.
void stopDevice() {
    if (!gAudio.ready)
        return;
    gAudio.stopping.store(true, std::memory_order_release);
    SetEvent(gAudio.bufferDone);
    if (WaitForSingleObject(gAudio.thread, 1000) != WAIT_OBJECT_0)
        return;
    CloseHandle(gAudio.thread);
    gAudio.thread = nullptr;
    gAudio.ready = false;
    releaseDevice();
}

// At exit, while every thread still runs.
void shutDownAtExit() {
    stopDevice();
}

// ---- Decoding ----------------------------------------------------------------------------

struct DecodedSound {
    std::vector<int16_t> samples;  // interleaved, `channels` a frame, at `rate`
    int channels = 0;
    int rate = 0;
};

// Decodes `size` bytes of layer III frames that start with a frame like `first` to PCM
// with the system's ACM codec, into `sound`. At most `maxFrames` frames are taken. Returns
// an error code; kAudioOk with no frames when nothing decoded.
int decodeFrames(const uint8_t* data, size_t size, const Mp3FrameHeader& first, uint64_t maxFrames,
                 DecodedSound& sound) {
    MPEGLAYER3WAVEFORMAT mp3 = {};
    mp3.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    mp3.wfx.nChannels = static_cast<WORD>(first.channels);
    mp3.wfx.nSamplesPerSec = static_cast<DWORD>(first.rate);
    mp3.wfx.nAvgBytesPerSec = static_cast<DWORD>(first.bitrate / 8);
    mp3.wfx.nBlockAlign = 1;
    mp3.wfx.wBitsPerSample = 0;
    mp3.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    mp3.wID = MPEGLAYER3_ID_MPEG;
    mp3.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
    mp3.nBlockSize = static_cast<WORD>(first.plainLength);
    mp3.nFramesPerBlock = 1;
    mp3.nCodecDelay = 0;

    const int frameBytes = 2 * first.channels;
    WAVEFORMATEX pcm = {};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = static_cast<WORD>(first.channels);
    pcm.nSamplesPerSec = static_cast<DWORD>(first.rate);
    pcm.nAvgBytesPerSec = static_cast<DWORD>(first.rate * frameBytes);
    pcm.nBlockAlign = static_cast<WORD>(frameBytes);
    pcm.wBitsPerSample = 16;
    pcm.cbSize = 0;

    HACMSTREAM stream = nullptr;
    const MMRESULT opened = acmStreamOpen(&stream, nullptr, &mp3.wfx, &pcm, nullptr, 0, 0, 0);
    if (opened != MMSYSERR_NOERROR)
        return opened == MMSYSERR_NOMEM ? kAudioNoMemory : kAudioFileFormat;

    // The output room for one chunk of input: what the codec asks for, and never less
    // than the most that many of the shortest frames of any version could make.
    constexpr DWORD kChunkBytes = 8 * 1024;
    constexpr DWORD kShortestFrame = 24;  // MPEG-2 layer III, 8 kbit/s at 24000 Hz
    DWORD room = (kChunkBytes / kShortestFrame + 4) * 1152 * static_cast<DWORD>(frameBytes);
    DWORD asked = 0;
    if (acmStreamSize(stream, kChunkBytes, &asked, ACM_STREAMSIZEF_SOURCE) == MMSYSERR_NOERROR)
        room = std::max(room, std::min<DWORD>(asked, 64u << 20));

    int error = kAudioOk;
    const uint64_t maxBytes = maxFrames * static_cast<uint64_t>(frameBytes);
    std::vector<uint8_t> source, output;
    try {
        source.resize(kChunkBytes);
        output.resize(room);
        // Room for as many frames as the first one's would make, so that a constant
        // bitrate stream never grows its buffer.
        const uint64_t expected = (size / static_cast<size_t>(first.plainLength) + 1) *
                                  static_cast<uint64_t>(first.samples);
        sound.samples.reserve(static_cast<size_t>(std::min(expected, maxFrames)) *
                              static_cast<size_t>(first.channels));
    } catch (const std::bad_alloc&) {
        acmStreamClose(stream, 0);
        return kAudioNoMemory;
    }

    ACMSTREAMHEADER header = {};
    header.cbStruct = sizeof header;
    header.pbSrc = source.data();
    header.cbSrcLength = kChunkBytes;
    header.pbDst = output.data();
    header.cbDstLength = room;
    if (acmStreamPrepareHeader(stream, &header, 0) != MMSYSERR_NOERROR) {
        acmStreamClose(stream, 0);
        return kAudioFileFormat;
    }

    // Block-aligned chunks while the codec takes them; then, with the rest of the input if
    // it held any back, calls that end the stream until no more comes out. The codec may
    // keep decoded sound back from one call to the next, so output without input is
    // normal at the end. Each call consumes input or adds output, and the output is
    // bounded, so the loop ends.
    size_t pos = 0;
    bool ending = false;
    uint64_t decodedBytes = 0;
    std::vector<int16_t>& samples = sound.samples;
    for (;;) {
        const DWORD length = static_cast<DWORD>(std::min<size_t>(size - pos, kChunkBytes));
        std::memcpy(source.data(), data + pos, length);
        header.cbSrcLength = length;
        header.cbDstLength = room;
        header.cbSrcLengthUsed = 0;
        header.cbDstLengthUsed = 0;
        const DWORD flags = ending ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN;
        if (acmStreamConvert(stream, &header, flags) != MMSYSERR_NOERROR)
            break;
        const DWORD used = std::min(header.cbSrcLengthUsed, length);
        DWORD produced = std::min(header.cbDstLengthUsed, room);
        produced -= produced % static_cast<DWORD>(frameBytes);
        pos += used;
        if (produced > 0) {
            decodedBytes += produced;
            if (decodedBytes > maxBytes) {
                error = kAudioNoMemory;
                break;
            }
            try {
                const auto* from = reinterpret_cast<const int16_t*>(output.data());
                samples.insert(samples.end(), from, from + produced / 2);
            } catch (const std::bad_alloc&) {
                error = kAudioNoMemory;
                break;
            }
        }
        if (used == 0 && produced == 0) {
            if (ending)
                break;
            ending = true;
        } else if (pos == size) {
            ending = true;
        }
    }

    header.cbSrcLength = kChunkBytes;
    header.cbDstLength = room;
    acmStreamUnprepareHeader(stream, &header, 0);
    acmStreamClose(stream, 0);
    sound.channels = first.channels;
    sound.rate = first.rate;
    return error;
}

// Drops `front` frames from the start and `back` from the end, as far as there are.
void trim(DecodedSound& sound, uint64_t front, uint64_t back) {
    const size_t frames = sound.samples.size() / static_cast<size_t>(sound.channels);
    const size_t dropFront = static_cast<size_t>(std::min<uint64_t>(front, frames));
    const size_t dropBack = static_cast<size_t>(std::min<uint64_t>(back, frames - dropFront));
    const size_t channels = static_cast<size_t>(sound.channels);
    sound.samples.resize((frames - dropBack) * channels);
    sound.samples.erase(sound.samples.begin(),
                        sound.samples.begin() + static_cast<ptrdiff_t>(dropFront * channels));
}

// The sound as interleaved stereo at `rate`, by linear interpolation when the rates differ;
// a mono sound goes to both channels. Null when out of memory.
int16_t* toDeviceFormat(const DecodedSound& sound, int rate, size_t& outFrames) {
    const size_t channels = static_cast<size_t>(sound.channels);
    const size_t frames = sound.samples.size() / channels;
    const uint64_t from = static_cast<uint64_t>(sound.rate);
    const uint64_t to = static_cast<uint64_t>(rate);
    outFrames = std::max<size_t>(1, static_cast<size_t>(frames * to / from));
    auto* out = new (std::nothrow) int16_t[outFrames * kChannels];
    if (!out)
        return nullptr;
    const int16_t* in = sound.samples.data();
    for (size_t j = 0; j < outFrames; ++j) {
        const uint64_t where = j * from;  // in units of 1 / `to` input frames
        const size_t i = std::min(static_cast<size_t>(where / to), frames - 1);
        const size_t after = std::min(i + 1, frames - 1);
        const int64_t fraction = static_cast<int64_t>(where % to);
        for (int c = 0; c < kChannels; ++c) {
            const size_t channel = std::min<size_t>(static_cast<size_t>(c), channels - 1);
            const int64_t a = in[i * channels + channel];
            const int64_t b = in[after * channels + channel];
            out[j * kChannels + c] =
                static_cast<int16_t>(a + (b - a) * fraction / static_cast<int64_t>(to));
        }
    }
    return out;
}

// Decodes the frames of the MP3 file `bytes` for a device at `rate`. Returns an error code,
// and on success the new sound in `record`.
int decodeFile(const std::vector<uint8_t>& bytes, const Mp3Frames& frames, int rate,
               SystemSound*& record) {
    size_t start = frames.begin;
    Mp3FrameHeader first = frames.first;

    // The info frame is not fed to the codec: it holds no sound, and whether a decoder
    // plays it as a frame of silence differs from one decoder to the next.
    const Mp3InfoFrame info = readMp3InfoFrame(&bytes[start], first, frames.end - start);
    if (info.present) {
        start += static_cast<size_t>(first.length);
        if (start + 4 > frames.end || !readMp3FrameHeader(&bytes[start], first))
            return kAudioFileFormat;
    }

    // No decoder makes more than 1152 frames from 24 bytes; and no stream is longer than
    // the most this layer keeps.
    const uint64_t size = frames.end - start;
    const uint64_t maxFrames =
        std::min((size / 24 + 2) * 1152, kMaxSoundSeconds * static_cast<uint64_t>(first.rate));
    DecodedSound sound;
    const int error = decodeFrames(&bytes[start], size, first, maxFrames, sound);
    if (error != kAudioOk)
        return error;

    // The codec plays every frame it is given from the first sample its filter bank puts
    // out, so the encoder's delay and the filter bank's come before the sound, and what is
    // left of the encoder's padding after it. Where the info frame tells how long the
    // stream is, the sound ends where it says: a file cut short loses no sound at its end.
    if (info.gapless) {
        const int64_t decoded = static_cast<int64_t>(sound.samples.size()) / sound.channels;
        int64_t end = decoded - std::max(0, info.padding - kMp3DecoderDelay);
        if (info.frames > 0) {
            end =
                static_cast<int64_t>(info.frames) * first.samples + kMp3DecoderDelay - info.padding;
        }
        trim(sound, static_cast<uint64_t>(info.encoderDelay) + kMp3DecoderDelay,
             static_cast<uint64_t>(std::clamp<int64_t>(decoded - end, 0, decoded)));
    }
    if (sound.samples.size() < static_cast<size_t>(sound.channels))
        return kAudioFileFormat;

    if (static_cast<uint64_t>(sound.samples.size() / sound.channels) * rate / sound.rate >
        kMaxSoundSeconds * static_cast<uint64_t>(rate))
        return kAudioNoMemory;
    record = new (std::nothrow) SystemSound;
    if (!record)
        return kAudioNoMemory;
    record->samples = toDeviceFormat(sound, rate, record->frames);
    if (!record->samples) {
        delete record;
        record = nullptr;
        return kAudioNoMemory;
    }
    return kAudioOk;
}

}  // namespace

bool systemOpenAudio(int sampleRate) {
    if (sampleRate <= 0 || sampleRate > kMaxDeviceRate)
        return false;
    if (!gAudio.lockMade) {
        InitializeCriticalSection(&gAudio.lock);
        gAudio.lockMade = true;
    }

    gAudio.bufferDone = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!gAudio.bufferDone)
        return false;
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = kChannels;
    format.nSamplesPerSec = static_cast<DWORD>(sampleRate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = kChannels * 2;
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    // Any failure leaves nothing open, so that the next call starts from scratch.
    if (waveOutOpen(&gAudio.device, WAVE_MAPPER, &format,
                    reinterpret_cast<DWORD_PTR>(gAudio.bufferDone), 0,
                    CALLBACK_EVENT) != MMSYSERR_NOERROR) {
        gAudio.device = nullptr;
        releaseDevice();
        return false;
    }
    for (int i = 0; i < kBufferCount; ++i) {
        gAudio.headers[i] = {};
        gAudio.queued[i] = false;
    }
    for (int i = 0; i < kBufferCount; ++i) {
        WAVEHDR& header = gAudio.headers[i];
        header.lpData = reinterpret_cast<LPSTR>(gAudio.buffers[i]);
        header.dwBufferLength = sizeof gAudio.buffers[i];
        if (waveOutPrepareHeader(gAudio.device, &header, sizeof header) != MMSYSERR_NOERROR) {
            releaseDevice();
            return false;
        }
    }

    gAudio.rate = sampleRate;
    gAudio.playback = {};
    gAudio.stopping.store(false);
    gAudio.thread = CreateThread(nullptr, 0, playbackThread, nullptr, 0, nullptr);
    if (!gAudio.thread) {
        releaseDevice();
        return false;
    }
    SetThreadPriority(gAudio.thread, THREAD_PRIORITY_TIME_CRITICAL);
    gAudio.ready = true;
    if (!gAudio.exitHandled) {
        std::atexit(shutDownAtExit);
        gAudio.exitHandled = true;
    }
    return true;
}

void systemCloseAudio() {
    stopDevice();
}

int systemOpenSound(std::vector<uint8_t>&& bytes, const Mp3Frames& frames, SystemSound*& sound) {
    try {
        return decodeFile(bytes, frames, gAudio.rate, sound);
    } catch (const std::bad_alloc&) {
        return kAudioNoMemory;
    }
}

void systemCloseSound(SystemSound* sound) {
    // Taken from the playback thread first, so that it is done with the sound.
    EnterCriticalSection(&gAudio.lock);
    if (gAudio.playback.stream == sound)
        gAudio.playback = {};
    LeaveCriticalSection(&gAudio.lock);
    delete[] sound->samples;
    delete sound;
}

bool systemPlaySound(SystemSound* sound, int volume, double seconds) {
    const double frame = seconds * gAudio.rate;
    const size_t start =
        frame < static_cast<double>(sound->frames) ? static_cast<size_t>(frame) : sound->frames;
    gAudio.volume.store(volume, std::memory_order_relaxed);
    EnterCriticalSection(&gAudio.lock);
    gAudio.playback = start < sound->frames ? Playback{sound, start} : Playback{};
    LeaveCriticalSection(&gAudio.lock);
    return true;
}

void systemSetPlayingVolume(int volume) {
    // The playback thread reads it for every buffer it mixes.
    gAudio.volume.store(volume, std::memory_order_relaxed);
}

bool systemSoundPlaying() {
    EnterCriticalSection(&gAudio.lock);
    const bool playing = gAudio.playback.stream != nullptr;
    LeaveCriticalSection(&gAudio.lock);
    return playing;
}

}  // namespace platform
