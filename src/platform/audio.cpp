// The audio API: error codes, the open streams and their volumes, and the spectrum of
// what is being played, on whichever backend brings the device and the sound.
#include "platform/audio.h"

#include <kissfft.hh>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <new>
#include <numbers>
#include <vector>

#include "platform/internal/backend.h"
#include "platform/internal/mp3_frames.h"

namespace platform {
namespace {

// ---- Error codes and the observer -------------------------------------------------------

thread_local int tError = kAudioOk;

struct Observer {
    AudioCallObserver call = nullptr;
    void* user = nullptr;
};
Observer gObserver;

// Sets the error code of an observed call, tells the observer and hands `result` back:
// `return finish(AudioCall::play, s, kAudioOk, true);`
template <typename T>
T finish(AudioCall call, AudioStream stream, int error, T result) {
    tError = error;
    if (gObserver.call)
        gObserver.call(call, stream, error, gObserver.user);
    return result;
}

// ---- The streams --------------------------------------------------------------------------

struct StreamRecord {
    SystemSound* sound = nullptr;
    int volume = 100;
};

// The open streams, at most 16, each named by its slot: 1 to 16. Closing the newest streams
// frees their slots for the next ones opened.
class StreamSlots {
  public:
    static constexpr int kMaxStreams = 16;

    bool full() const { return count_ == kMaxStreams; }
    int count() const { return count_; }

    // Takes the next slot; the new stream's handle.
    AudioStream add(StreamRecord* record) {
        records_[count_++] = record;
        return static_cast<AudioStream>(count_);
    }

    // The stream's record, or null when the handle names no open stream.
    StreamRecord* find(AudioStream stream) const {
        if (stream == 0 || stream > static_cast<AudioStream>(count_))
            return nullptr;
        return records_[stream - 1];
    }

    // Forgets the stream, and frees the empty slots at the top.
    void remove(AudioStream stream) {
        records_[stream - 1] = nullptr;
        while (count_ > 0 && !records_[count_ - 1])
            --count_;
    }

  private:
    StreamRecord* records_[kMaxStreams] = {};
    int count_ = 0;
};

// Main thread only. Plain values: the backend's audio thread may still run while static
// destructors do, and nothing here is freed at exit.
struct AudioState {
    bool ready = false;
    StreamSlots streams;
    AudioStream playing = 0;  // the stream started last
};
AudioState gAudio;

int streamError(AudioStream stream) {
    return !gAudio.ready                  ? kAudioNotInitialised
           : !gAudio.streams.find(stream) ? kAudioInvalidHandle
                                          : kAudioOk;
}

}  // namespace

int audioErrorCode() {
    return tError;
}

void setAudioCallObserver(AudioCallObserver observer, void* user) {
    gObserver = {observer, user};
}

bool initAudioOutput(int sampleRate) {
    if (gAudio.ready)
        return finish(AudioCall::init, 0, kAudioAlreadyInitialised, false);
    if (!systemOpenAudio(sampleRate))
        return finish(AudioCall::init, 0, kAudioNoDevice, false);
    gAudio.ready = true;
    return finish(AudioCall::init, 0, kAudioOk, true);
}

bool audioOutputReady() {
    return gAudio.ready;
}

void closeAudioOutput() {
    if (!gAudio.ready)
        return;
    for (AudioStream stream = static_cast<AudioStream>(gAudio.streams.count()); stream > 0;
         --stream) {
        if (gAudio.streams.find(stream))
            closeAudioStream(stream);
    }
    systemCloseAudio();
    gAudio = AudioState{};
    tError = kAudioOk;
}

AudioStream openAudioStream(const char* path) {
    if (!gAudio.ready)
        return finish(AudioCall::open, 0, kAudioNotInitialised, AudioStream{0});
    if (gAudio.streams.full())
        return finish(AudioCall::open, 0, kAudioTooManyStreams, AudioStream{0});

    auto* record = new (std::nothrow) StreamRecord;
    int error = record ? kAudioOk : kAudioNoMemory;
    try {
        std::vector<uint8_t> bytes;
        Mp3Frames frames;
        if (error != kAudioOk) {
        } else if (!path || !readWholeFile(path, bytes, kMaxSoundFileBytes)) {
            error = kAudioFileOpen;
        } else if (!findMp3Frames(bytes, frames)) {
            // Whatever lies around the frames, no decoder sees it: tags have crashed them.
            error = kAudioFileFormat;
        } else {
            error = systemOpenSound(std::move(bytes), frames, record->sound);
        }
    } catch (const std::bad_alloc&) {
        error = kAudioNoMemory;
    }
    if (error != kAudioOk) {
        delete record;
        return finish(AudioCall::open, 0, error, AudioStream{0});
    }
    const AudioStream stream = gAudio.streams.add(record);
    return finish(AudioCall::open, stream, kAudioOk, stream);
}

bool closeAudioStream(AudioStream stream) {
    StreamRecord* record = gAudio.ready ? gAudio.streams.find(stream) : nullptr;
    if (!record) {
        tError = gAudio.ready ? kAudioInvalidHandle : kAudioNotInitialised;
        return false;
    }
    systemCloseSound(record->sound);
    delete record;
    gAudio.streams.remove(stream);
    if (gAudio.playing == stream)
        gAudio.playing = 0;
    tError = kAudioOk;
    return true;
}

bool playAudioStream(AudioStream stream, double seconds) {
    if (!gAudio.ready)
        return finish(AudioCall::play, stream, kAudioNotInitialised, false);
    StreamRecord* record = gAudio.streams.find(stream);
    if (!record)
        return finish(AudioCall::play, stream, kAudioInvalidHandle, false);
    if (!systemPlaySound(record->sound, record->volume, std::max(0.0, seconds)))
        return finish(AudioCall::play, stream, kAudioStartFailed, false);
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
        systemSetPlayingVolume(record->volume);
    return finish(AudioCall::volume, stream, kAudioOk, true);
}

int audioStreamVolume(AudioStream stream) {
    StreamRecord* record = gAudio.ready ? gAudio.streams.find(stream) : nullptr;
    tError = streamError(stream);
    return record ? record->volume : -1;
}

bool audioPlaying() {
    tError = gAudio.ready ? kAudioOk : kAudioNotInitialised;
    return gAudio.ready && systemSoundPlaying();
}

// ---- The ring of output samples --------------------------------------------------------
//
// A ring of the newest 512 samples handed to the device, mixed to mono. It is a sequence
// lock: the audio thread, the only writer, makes the sequence odd, writes, and makes it
// even again; the main thread copies the ring and keeps the copy only when the sequence
// was even and unchanged around it. The audio thread therefore never waits, and the main
// thread retries only while a write of at most 512 samples is under way.

namespace {

struct SampleRing {
    std::atomic<uint32_t> sequence{0};
    std::atomic<uint32_t> next{0};  // where the next sample goes: the oldest one
    std::atomic<float> samples[kSpectrumSamples];
};
SampleRing gRing;

template <typename Sample>
void pushFrames(const uint8_t* bytes, int frames, int channels, float toUnit) {
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

size_t sampleBytes(SampleFormat format) {
    return format == SampleFormat::s16 ? 2 : 4;
}

// After this many torn reads the last copy is kept: one frame's spectrum from a
// half-written ring is harmless, a stalled frame is not.
constexpr int kRingReadTries = 64;

// Main thread: the newest 512 samples, oldest first.
void copyOutput(float* out) {
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

}  // namespace

void recordOutput(const void* frames, int count, int channels, SampleFormat format) {
    if (channels <= 0 || count <= 0)
        return;
    // Older frames would be overwritten within this same call.
    const int skipped = std::max(0, count - kSpectrumSamples);
    const auto* newest =
        static_cast<const uint8_t*>(frames) + skipped * sampleBytes(format) * channels;
    count -= skipped;

    const uint32_t seq = gRing.sequence.load(std::memory_order_relaxed);
    gRing.sequence.store(seq + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    switch (format) {
        case SampleFormat::s16:
            pushFrames<int16_t>(newest, count, channels, 1.0f / 32768);
            break;
        case SampleFormat::s32:
            pushFrames<int32_t>(newest, count, channels, 1.0f / 2147483648.0f);
            break;
        case SampleFormat::f32:
            pushFrames<float>(newest, count, channels, 1.0f);
            break;
    }
    gRing.sequence.store(seq + 2, std::memory_order_release);
}

bool audioStreamSpectrum(AudioStream stream, float* out) {
    const int error = streamError(stream);
    if (error != kAudioOk)
        return finish(AudioCall::spectrum, stream, error, false);
    float samples[kSpectrumSamples];
    copyOutput(samples);
    spectrumOf(samples, out);
    return finish(AudioCall::spectrum, stream, kAudioOk, true);
}

// ---- The spectrum transform -------------------------------------------------------------
//
// Hann window, then kissfft's real transform: 512 real samples as 256 complex ones.

namespace {

struct SpectrumPlan {
    kissfft<float> fft{kSpectrumSamples / 2, false};
    float window[kSpectrumSamples] = {};
    float scale = 0;
};

// Made on the first call and kept for the process: the show asks every frame, and the
// plan's allocation would cost more than the transform.
const SpectrumPlan& plan() {
    static SpectrumPlan* made = [] {
        auto* p = new SpectrumPlan;
        double sum = 0;
        for (int n = 0; n < kSpectrumSamples; ++n) {
            // Periodic Hann: its sum is exactly N / 2, and its sidelobes fall fast enough
            // that a tone shows as one clear peak.
            double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * n / kSpectrumSamples);
            p->window[n] = static_cast<float>(w);
            sum += w;
        }
        // A sine of amplitude A centred on bin k gives |X[k]| = A * sum(w) / 2.
        p->scale = static_cast<float>(2.0 / sum);
        return p;
    }();
    return *made;
}

}  // namespace

void spectrumOf(const float* samples, float* out) {
    const SpectrumPlan& p = plan();
    float windowed[kSpectrumSamples];
    for (int n = 0; n < kSpectrumSamples; ++n)
        windowed[n] = samples[n] * p.window[n];
    std::complex<float> bins[kSpectrumSamples / 2];
    p.fft.transform_real(windowed, bins);
    // Bin 0 carries the zero frequency in its real part and the highest one, which is not
    // reported, in its imaginary part.
    out[0] = std::abs(bins[0].real()) * p.scale;
    for (int k = 1; k < kSpectrumSize; ++k)
        out[k] = std::abs(bins[k]) * p.scale;
}

}  // namespace platform
