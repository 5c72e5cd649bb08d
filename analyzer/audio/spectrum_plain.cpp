#include "analyzer/audio/spectrum_plain.h"

#include "analyzer/audio/log_band_constants.h"
#include "analyzer/audio/spectrum_analyzer.h"
#include "analyzer/dsp/fft_plain.h"

#include <cmath>

namespace vex::plain {

namespace {

constexpr std::int32_t kBins = kSpectrumFrameLength / 2;

void linearLevels(const float* power, float* levels) {
    for (std::int32_t k = 0; k < kBins; ++k) {
        double p = power[k];
        if (p < 1e-11) {
            p = 1e-11;
        }
        levels[k] = static_cast<float>(10.0 * std::log10(p * static_cast<double>(8.6f / 1024.0f)));
    }
}

void logLevels(const float* power, float sampleRate, float* levels) {
    float energy[kLogBands];
    const bool usableRate = sampleRate > 0.0f;
    const float r = usableRate ? 1.0f / sampleRate : 0.0f;
    for (std::int32_t b = 0; b < kLogBands; ++b) {
        float lo =
            static_cast<float>(kBandEdgeLowPower[b] * 10.0 * static_cast<double>(r) * 1024.0 + 0.5);
        float hi = static_cast<float>(
            kBandEdgeHighPower[b] * 10.0 * static_cast<double>(r) * 1024.0 + 0.5);
        if (hi > 512.0f) {
            hi = 512.0f;
        }
        float e = 0.0f;
        if (usableRate && !(lo > 512.0f)) {
            const std::int32_t il = static_cast<std::int32_t>(lo);
            const std::int32_t ih = static_cast<std::int32_t>(hi);
            if (il == ih) {
                const float m = (lo + hi) / 2.0f;
                const float f = m - std::floor(m);
                e = (power[il] * (1.0f - f) + power[il + 1] * f) * (hi - lo);
            } else {
                const float fl = lo - std::floor(lo);
                e = (1.0f - fl) * (power[il] * (1.0f - fl) + power[il + 1] * fl);
                for (std::int32_t k = il + 1; k < ih; ++k) {
                    e += (power[k] + power[k + 1]) * 0.5f;
                }
                const float fh = hi - std::floor(hi);
                e += fh * (power[ih] * (1.0f - fh) + power[ih + 1] * fh);
            }
        }
        energy[b] = e;
    }
    for (std::int32_t b = 0; b < kLogBands; ++b) {
        float p = energy[b];
        if (p < 1e-11f) {
            p = 1e-11f;
        }
        levels[b] =
            static_cast<float>(10.0 * std::log10(static_cast<double>(p) * (105.0 / 1024.0)));
    }
}

} // namespace

void spectrumLevels(const float* samples, float sampleRate, bool linear, float* levels) {
    const float* window = sharedHannTable();
    float buf[kSpectrumFrameLength];
    for (std::int32_t i = 0; i < kSpectrumFrameLength; ++i) {
        buf[i] = static_cast<float>(static_cast<double>(samples[i]) * static_cast<double>(0.15f) *
                                    static_cast<double>(window[i]));
    }
    computePowerSpectrum(kSpectrumFrameLength, buf, buf);
    buf[0] = std::fabs(buf[0]) * 0.5f;
    buf[kBins] = std::fabs(buf[1]);
    if (linear) {
        linearLevels(buf, levels);
    } else {
        logLevels(buf, sampleRate, levels);
    }
}

} // namespace vex::plain
