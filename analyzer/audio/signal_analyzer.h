// The analyzers the analyzer module drives: one frame kind each.
#pragma once

#include "framework/audio/audio_pins.h"

#include <cstdint>

namespace vex {

// One stretch of both inputs, as the module hands it to addSamples. A null signal pointer
// stands for a buffer the host never set: silence.
struct AnalyzerInput {
    const float* signalA;
    const float* signalB;
    bool signalAStreaming;
    bool signalBStreaming;
};

// Contract: used only by its module, on the host's audio thread; no allocation, no lock.
class SignalAnalyzer {
public:
    SignalAnalyzer() = default;
    SignalAnalyzer(const SignalAnalyzer&) = delete;
    SignalAnalyzer& operator=(const SignalAnalyzer&) = delete;
    virtual ~SignalAnalyzer() = default;

    // Samples per frame.
    virtual std::int32_t frameLength() const = 0;
    virtual void setSampleRate(float rate) = 0;
    // Copies `count` samples of each streaming signal to frame positions
    // position .. position + count − 1 and records which signals stream. A stretch reaching
    // outside the frame is cut to it. Answers false.
    virtual bool addSamples(std::int32_t count, std::int32_t position,
                            const AnalyzerInput& input) = 0;
    // Analyses the frame, stores the payload in `pin` and sends it at `blockPosition`.
    virtual void sendFrame(BlobOutputPin& pin, std::int32_t blockPosition) = 0;
};

// Copies the stretch of one signal into a frame's records (signalA or signalB member);
// null samples copy zeros. Shared by the analyzers.
template <typename Record>
void copySignal(Record* records, float Record::*member, const float* samples, std::int32_t count) {
    if (samples == nullptr) {
        for (std::int32_t k = 0; k < count; ++k) {
            records[k].*member = 0.0f;
        }
        return;
    }
    for (std::int32_t k = 0; k < count; ++k) {
        records[k].*member = samples[k];
    }
}

// Cuts a stretch to a frame of `length` samples: answers the count that fits at `position`.
inline std::int32_t fittingCount(std::int32_t count, std::int32_t position, std::int32_t length) {
    if (position < 0 || position >= length || count <= 0) {
        return 0;
    }
    return count < length - position ? count : length - position;
}

} // namespace vex
