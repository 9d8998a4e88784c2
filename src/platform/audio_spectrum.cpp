// The spectrum transform shared by every audio backend: Hann window, real FFT (kissfft),
// magnitudes.
#include <kiss_fftr.h>

#include <cmath>
#include <numbers>

#include "platform/audio.h"

namespace platform {
namespace {

struct SpectrumPlan {
    kiss_fftr_cfg fft = nullptr;
    float window[kSpectrumSamples] = {};
    float scale = 0;
};

// Made on the first call and kept for the process: the show asks every frame, and the
// plan's allocation would cost more than the transform.
const SpectrumPlan& plan() {
    static SpectrumPlan* made = [] {
        auto* p = new SpectrumPlan;
        p->fft = kiss_fftr_alloc(kSpectrumSamples, 0, nullptr, nullptr);
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
    kiss_fft_cpx bins[kSpectrumSamples / 2 + 1];
    kiss_fftr(p.fft, windowed, bins);
    for (int k = 0; k < kSpectrumSize; ++k) {
        out[k] = std::sqrt(bins[k].r * bins[k].r + bins[k].i * bins[k].i) * p.scale;
    }
}

}  // namespace platform
