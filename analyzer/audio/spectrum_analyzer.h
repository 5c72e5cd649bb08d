// The audio half of the views "Freq (Linear)" and "Freq (Log)": 1024 samples of each
// streaming input, Hann-windowed, transformed and turned into levels in dB.
#pragma once

#include "analyzer/audio/analyzer_messages.h"
#include "analyzer/audio/signal_analyzer.h"

namespace vex {

inline constexpr std::int32_t kSpectrumFrameLength = 1024;

// The process-wide 1024-point Hann window (window type 2), built on first use from any
// thread and never freed. Every spectrum analyzer builds it at construction.
const float* sharedHannTable();

// One instance per view: `linear` 1 yields 512 bin levels (LinearSpectrumPayload), 0 yields
// 528 band levels of 1/48 octave from 10 Hz (LogSpectrumPayload). Levels are computed in
// place in the instance's payload; its presence bytes say which signals it holds.
class SpectrumAnalyzer final : public SignalAnalyzer {
public:
    explicit SpectrumAnalyzer(std::int32_t linear);

    std::int32_t frameLength() const override { return kSpectrumFrameLength; }
    // Also works out the log bands' bin ranges and weights for this rate, once, so a frame
    // only multiplies and adds.
    void setSampleRate(float rate) override;
    bool addSamples(std::int32_t count, std::int32_t position, const AnalyzerInput& input) override;
    // Analyses each signal whose presence byte is 1 (the others keep their earlier levels)
    // and sends the instance's payload: 4100 bytes (linear) or 4228 (log).
    void sendFrame(BlobOutputPin& pin, std::int32_t blockPosition) override;

    bool isLinear() const { return linear != 0; }
    const LinearSpectrumPayload& linearFrame() const { return linearPayload; }
    const LogSpectrumPayload& logFrame() const { return logPayload; }

private:
    // How one log band integrates the power spectrum at the current rate: bins
    // first..last + 1 and the weights the band's edges give them. first < 0: no energy.
    struct LogBand {
        std::int16_t first;
        std::int16_t last;
        float weight[4];
    };

    // Window, transform and levels of one signal of the capture into the payload.
    void analyseSignal(float PayloadRecord::*signal);
    void linearLevels(const float* power, float PayloadRecord::*signal);
    void logLevels(const float* power, float PayloadRecord::*signal);

    // Hz. Why it starts at 0 and not unset: a rate the host never gave reads as no rate,
    // for which the log bands read the floor.
    float sampleRate = 0.0f;
    PayloadRecord captureBuffer[kSpectrumFrameLength]{};
    std::int32_t linear;
    LogSpectrumPayload logPayload{};
    LinearSpectrumPayload linearPayload{};
    LogBand logBands[kLogBands];
};

} // namespace vex
