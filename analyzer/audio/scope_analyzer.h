// The audio half of the view "Scope": 200 consecutive samples of both inputs, sent as
// received.
#pragma once

#include "analyzer/audio/analyzer_messages.h"
#include "analyzer/audio/signal_analyzer.h"

namespace vex {

// Its state is its outgoing message. Presence bytes and samples start at zero (the module
// always adds samples before it sends, so they are written before any frame goes out).
class ScopeAnalyzer final : public SignalAnalyzer {
public:
    std::int32_t frameLength() const override { return kScopePoints; }
    void setSampleRate(float) override {}
    bool addSamples(std::int32_t count, std::int32_t position, const AnalyzerInput& input) override;
    // Sends the 1604 bytes of the payload; no computation.
    void sendFrame(BlobOutputPin& pin, std::int32_t blockPosition) override;

    const ScopePayload& payload() const { return message; }

private:
    ScopePayload message{};
};

} // namespace vex
