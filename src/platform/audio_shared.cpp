// The parts of the audio layer that every backend shares.
#include "platform/audio_shared.h"

#include <kissfft.hh>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <numbers>

namespace platform {
namespace {

thread_local int tError = kAudioOk;

struct Observer {
    AudioCallObserver call = nullptr;
    void* user = nullptr;
};
Observer gObserver;

}  // namespace

int audioErrorCode() {
    return tError;
}

void setAudioError(int error) {
    tError = error;
}

void noteAudioCall(AudioCall call, AudioStream stream, int error) {
    tError = error;
    if (gObserver.call)
        gObserver.call(call, stream, error, gObserver.user);
}

void setAudioCallObserver(AudioCallObserver observer, void* user) {
    gObserver = {observer, user};
}

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

// SDL_mixer 2.6.2 copies an ID3v2 text frame with the size the frame claims, whatever the
// size of its buffer: a hostile tag reads far past it and crashes. The header test is the
// one SDL_mixer applies, so every tag it would parse is skipped.
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

// ---- The ring of output samples --------------------------------------------------------

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
