#include "analyzer/audio/spectrum_analyzer.h"

#include "analyzer/audio/log_band_constants.h"
#include "analyzer/dsp/decibel_levels.h"
#include "analyzer/dsp/fft_engine.h"
#include "analyzer/dsp/window_table.h"

#include <array>
#include <cmath>

#ifndef __SSE2__
#error "the spectrum analyzer needs SSE2 (build with -msse2 -mfpmath=sse on 32-bit x86)"
#endif
#include <emmintrin.h>

namespace vex {

namespace {

constexpr std::int32_t kBins = kSpectrumFrameLength / 2; // 512
// Input scaling before the window, a single-precision constant.
constexpr float kInputScale = 0.15f;
// Linear levels: powers floored at 1e−11 (double), scaled by 8.6/1024 taken in single
// precision (0.00839843787252903) and used in double.
constexpr double kLinearFloor = 1e-11;
constexpr float kLinearScale = 8.6f / 1024.0f;
// Log levels: band energies floored at 1e−11 rounded to single precision, scaled by
// exactly 105/1024.
constexpr float kLogFloor = 1e-11f;
constexpr double kLogScale = 105.0 / 1024.0;

// buf[i] = (sample i × 0.15) × w[i] in double, stored as float: four samples at a time,
// each lane doing the plain product's operations. `Pick` selects signal A (even floats of
// the interleaved records) or B (odd ones).
template <int Pick>
void windowSignal(const PayloadRecord* capture, const float* window, float* buf) {
    const auto* records = reinterpret_cast<const char*>(capture);
    const __m128d scale = _mm_set1_pd(static_cast<double>(kInputScale));
    for (std::int32_t i = 0; i < kSpectrumFrameLength; i += 4) {
        const char* at = records + static_cast<std::size_t>(i) * sizeof(PayloadRecord);
        const __m128 first = _mm_loadu_ps(reinterpret_cast<const float*>(at));
        const __m128 second =
            _mm_loadu_ps(reinterpret_cast<const float*>(at + 2 * sizeof(PayloadRecord)));
        const __m128 samples = _mm_shuffle_ps(first, second, Pick);
        const __m128 w = _mm_loadu_ps(window + i);
        const __m128d low = _mm_mul_pd(_mm_mul_pd(_mm_cvtps_pd(samples), scale), _mm_cvtps_pd(w));
        const __m128d high =
            _mm_mul_pd(_mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(samples, samples)), scale),
                       _mm_cvtps_pd(_mm_movehl_ps(w, w)));
        _mm_storeu_ps(buf + i, _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high)));
    }
}
constexpr int kPickA = _MM_SHUFFLE(2, 0, 2, 0);
constexpr int kPickB = _MM_SHUFFLE(3, 1, 3, 1);

} // namespace

const float* sharedHannTable() {
    // Why a function-local static: modules may be built on several host threads at once;
    // its initialisation runs exactly once.
    static const std::array<float, kSpectrumFrameLength> table = [] {
        std::array<float, kSpectrumFrameLength> t{};
        fillWindowTable(t.data(), kSpectrumFrameLength, kWindowHann);
        return t;
    }();
    return table.data();
}

SpectrumAnalyzer::SpectrumAnalyzer(std::int32_t linear) : linear(linear) {
    // Why here: the first transform would otherwise build the FFT's process-wide tables
    // (hundreds of kilobytes) on the audio thread, in the middle of a block.
    prepareFftTables();
    sharedHannTable();
    setSampleRate(0.0f);
}

void SpectrumAnalyzer::setSampleRate(float rate) {
    sampleRate = rate;
    // Why here: the edges depend on the rate alone. Each value below is the one the frame's
    // arithmetic used to compute per band, by the same float operations.
    // Why: a rate of 0, below 0 or NaN would divide by zero or give band edges that index
    // outside the spectrum; with no usable rate every band reads the floor.
    const bool usableRate = sampleRate > 0.0f;
    const float r = usableRate ? 1.0f / sampleRate : 0.0f;
    for (std::int32_t b = 0; b < kLogBands; ++b) {
        LogBand& band = logBands[b];
        band = LogBand{-1, -1, {0.0f, 0.0f, 0.0f, 0.0f}};
        // Band edges as bin positions, shifted by half a bin. With a positive rate both are
        // at least 0.5 (or +inf for a rate too small to invert), so the truncations below
        // stay in 0..512.
        const float lo =
            static_cast<float>(kBandEdgeLowPower[b] * 10.0 * static_cast<double>(r) * 1024.0 + 0.5);
        float hi = static_cast<float>(
            kBandEdgeHighPower[b] * 10.0 * static_cast<double>(r) * 1024.0 + 0.5);
        if (hi > 512.0f) {
            hi = 512.0f;
        }
        if (!usableRate || lo > 512.0f) {
            continue;
        }
        band.first = static_cast<std::int16_t>(static_cast<std::int32_t>(lo));
        band.last = static_cast<std::int16_t>(static_cast<std::int32_t>(hi));
        if (band.first == band.last) {
            const float m = (lo + hi) / 2.0f;
            const float f = m - std::floor(m);
            band.weight[0] = 1.0f - f;
            band.weight[1] = f;
            band.weight[2] = hi - lo;
        } else {
            const float fl = lo - std::floor(lo);
            const float fh = hi - std::floor(hi);
            band.weight[0] = 1.0f - fl;
            band.weight[1] = fl;
            band.weight[2] = fh;
            band.weight[3] = 1.0f - fh;
        }
    }
}

bool SpectrumAnalyzer::addSamples(std::int32_t count, std::int32_t position,
                                  const AnalyzerInput& input) {
    std::uint8_t& streamingA =
        isLinear() ? linearPayload.signalAStreaming : logPayload.signalAStreaming;
    std::uint8_t& streamingB =
        isLinear() ? linearPayload.signalBStreaming : logPayload.signalBStreaming;
    streamingA = input.signalAStreaming ? 1 : 0;
    streamingB = input.signalBStreaming ? 1 : 0;
    const std::int32_t n = fittingCount(count, position, kSpectrumFrameLength);
    if (n == 0) {
        return false;
    }
    if (input.signalAStreaming) {
        copySignal(captureBuffer + position, &PayloadRecord::signalA, input.signalA, n);
    }
    if (input.signalBStreaming) {
        copySignal(captureBuffer + position, &PayloadRecord::signalB, input.signalB, n);
    }
    return false;
}

void SpectrumAnalyzer::sendFrame(BlobOutputPin& pin, std::int32_t blockPosition) {
    const std::uint8_t streamingA =
        isLinear() ? linearPayload.signalAStreaming : logPayload.signalAStreaming;
    const std::uint8_t streamingB =
        isLinear() ? linearPayload.signalBStreaming : logPayload.signalBStreaming;
    if (streamingA == 1) {
        analyseSignal(&PayloadRecord::signalA);
    }
    if (streamingB == 1) {
        analyseSignal(&PayloadRecord::signalB);
    }
    if (isLinear()) {
        pin.setValueRaw(sizeof(linearPayload), &linearPayload);
    } else {
        pin.setValueRaw(sizeof(logPayload), &logPayload);
    }
    pin.sendPinUpdate(blockPosition);
}

void SpectrumAnalyzer::analyseSignal(float PayloadRecord::*signal) {
    float buf[kSpectrumFrameLength];
    if (signal == &PayloadRecord::signalB) {
        windowSignal<kPickB>(captureBuffer, sharedHannTable(), buf);
    } else {
        windowSignal<kPickA>(captureBuffer, sharedHannTable(), buf);
    }
    // In place: buf[0..511] becomes the power of bins 0..511 (buf[0]: DC² + Nyquist²);
    // buf[512..1023] keep windowed samples.
    computePowerSpectrum(kSpectrumFrameLength, buf, buf);
    buf[0] = std::fabs(buf[0]) * 0.5f;
    // One bin past the last output, for the bands that reach the top.
    buf[kBins] = std::fabs(buf[1]);
    if (isLinear()) {
        linearLevels(buf, signal);
    } else {
        logLevels(buf, signal);
    }
}

void SpectrumAnalyzer::linearLevels(const float* power, float PayloadRecord::*signal) {
    double scaled[kBins];
    for (std::int32_t k = 0; k < kBins; ++k) {
        double p = power[k];
        if (p < kLinearFloor) {
            p = kLinearFloor;
        }
        scaled[k] = p * static_cast<double>(kLinearScale);
    }
    float levels[kBins];
    decibelLevels(kBins, scaled, levels);
    for (std::int32_t k = 0; k < kBins; ++k) {
        linearPayload.levels[k].*signal = levels[k];
    }
}

void SpectrumAnalyzer::logLevels(const float* power, float PayloadRecord::*signal) {
    float energy[kLogBands];
    for (std::int32_t b = 0; b < kLogBands; ++b) {
        const LogBand& band = logBands[b];
        const std::int32_t il = band.first;
        const std::int32_t ih = band.last;
        const float* w = band.weight;
        float e = 0.0f;
        if (il < 0) {
            // no energy
        } else if (il == ih) {
            e = (power[il] * w[0] + power[il + 1] * w[1]) * w[2];
        } else {
            e = w[0] * (power[il] * w[0] + power[il + 1] * w[1]);
            for (std::int32_t k = il + 1; k < ih; ++k) {
                e += (power[k] + power[k + 1]) * 0.5f;
            }
            e += w[2] * (power[ih] * w[3] + power[ih + 1] * w[2]);
        }
        energy[b] = e;
    }
    double scaled[kLogBands];
    for (std::int32_t b = 0; b < kLogBands; ++b) {
        float p = energy[b];
        if (p < kLogFloor) {
            p = kLogFloor;
        }
        scaled[b] = static_cast<double>(p) * kLogScale;
    }
    // The energies are spent: their array takes the levels.
    decibelLevels(kLogBands, scaled, energy);
    for (std::int32_t b = 0; b < kLogBands; ++b) {
        logPayload.levels[b].*signal = energy[b];
    }
}

} // namespace vex
