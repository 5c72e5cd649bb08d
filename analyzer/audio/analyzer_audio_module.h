// The analyzer's audio-side object: two inputs, a rising-zero-crossing trigger, a hold-off
// that sets the frames per second, three analyzers, and the frame pin to the display.
#pragma once

#include "analyzer/analyzer_pins.h"
#include "analyzer/audio/signal_analyzer.h"
#include "framework/audio/audio_module_base.h"

#include <memory>
#include <vector>

namespace vex {

// Creation function entered under the analyzer's module identifier (audio side).
UnknownInterface* createAnalyzerAudioModule(void* host);

// Contract: as AudioModuleBase; everything runs on the host's audio thread. Nothing
// allocates after construction: the frame pin's storage is sized there for the longest
// frame.
class AnalyzerAudioModule final : public AudioModuleBase {
public:
    enum AnalyzerIndex : std::int32_t { kScope, kLinearSpectrum, kLogSpectrum };

    explicit AnalyzerAudioModule(void* host);
    ~AnalyzerAudioModule() override;

    // Reads the sample rate and the host flag, starts capturing, sends the (empty) frame.
    std::int32_t MP_STDCALL open() noexcept override;
    // After any pin change: mode, rate, streaming state and the stop request.
    void onSetPins() override;

    // Block routines; one of them is the module routine at any time.
    void idleRoutine(std::int32_t bufferOffset, std::int32_t sampleFrames);
    void captureRoutine(std::int32_t bufferOffset, std::int32_t sampleFrames);
    void holdoffRoutine(std::int32_t bufferOffset, std::int32_t sampleFrames);
    void waitLowRoutine(std::int32_t bufferOffset, std::int32_t sampleFrames);
    void waitRiseRoutine(std::int32_t bufferOffset, std::int32_t sampleFrames);

    // Pins, in the order of their ids (AnalyzerAudioPin).
    BlobOutputPin framePin;
    DspIntPin modePin;                  // 0 scope, 1 linear spectrum, 2 log spectrum
    DspBoolPin hostFlagPin{kPinOutput}; // mirror of the host flag read at open
    DspFloatPin enablePin;              // 0.0 stops the analysis while the host flag is set
    DspAudioPin signalAPin;
    DspAudioPin signalBPin;
    DspIntPin ratePin; // 0..7 = 5, 10, ..., 40 frames per second

    std::int32_t currentAnalyzerIndex() const { return currentAnalyzer; }
    std::int32_t framesPerSecond() const { return updatesPerSecond; }
    std::int32_t capturedSamples() const { return captured; }
    std::int32_t idleFramesLeft() const { return idleFrames; }
    SignalAnalyzer& analyzer(std::int32_t index) { return *analyzers[index]; }

private:
    // The rate as whole samples per second: 0 for a rate that is not positive (or NaN),
    // cut at the largest 32-bit value for a huge one.
    std::int32_t wholeSampleRate() const;
    // The sample of the current stretch at `i`, 0 for an input whose buffer is not set.
    static float sampleAt(const float* samples, std::int32_t i) {
        return samples != nullptr ? samples[i] : 0.0f;
    }
    const float* stretchOf(const DspAudioPin& pin, std::int32_t bufferOffset) const {
        return pin.samples() != nullptr ? pin.samples() + bufferOffset : nullptr;
    }

    // Owned; destroyed last first.
    std::vector<std::unique_ptr<SignalAnalyzer>> analyzers;
    std::int32_t currentAnalyzer = 0;
    std::int32_t updatesPerSecond = 25;
    bool signalAStreaming = false;
    bool signalBStreaming = false;
    float sampleRate = 0.0f;
    std::int32_t captured = 0;
    std::int32_t waitCounter = 0;
    // −1: no idle countdown; n > 0: frames still to send before sleeping.
    std::int32_t idleFrames = -1;
};

} // namespace vex
