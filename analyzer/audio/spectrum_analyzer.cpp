#include "analyzer/audio/spectrum_analyzer.h"

#include "analyzer/audio/log_band_constants.h"
#include "analyzer/dsp/fft_engine.h"
#include "analyzer/dsp/window_table.h"

#include <array>
#include <cmath>

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
    const float* window = sharedHannTable();
    float buf[kSpectrumFrameLength];
    for (std::int32_t i = 0; i < kSpectrumFrameLength; ++i) {
        buf[i] =
            static_cast<float>(static_cast<double>(captureBuffer[i].*signal) *
                               static_cast<double>(kInputScale) * static_cast<double>(window[i]));
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
    for (std::int32_t k = 0; k < kBins; ++k) {
        double p = power[k];
        if (p < kLinearFloor) {
            p = kLinearFloor;
        }
        linearPayload.levels[k].*signal =
            static_cast<float>(10.0 * std::log10(p * static_cast<double>(kLinearScale)));
    }
}

void SpectrumAnalyzer::logLevels(const float* power, float PayloadRecord::*signal) {
    float energy[kLogBands];
    // Why: a rate of 0, below 0 or NaN would divide by zero or give band edges that index
    // outside the spectrum; with no usable rate every band reads the floor.
    const bool usableRate = sampleRate > 0.0f;
    const float r = usableRate ? 1.0f / sampleRate : 0.0f;
    for (std::int32_t b = 0; b < kLogBands; ++b) {
        // Band edges as bin positions, shifted by half a bin. With a positive rate both are
        // at least 0.5 (or +inf for a rate too small to invert), so the truncations below
        // stay in 0..512.
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
        if (p < kLogFloor) {
            p = kLogFloor;
        }
        logPayload.levels[b].*signal =
            static_cast<float>(10.0 * std::log10(static_cast<double>(p) * kLogScale));
    }
}

} // namespace vex
