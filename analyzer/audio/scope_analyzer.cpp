#include "analyzer/audio/scope_analyzer.h"

namespace vex {

bool ScopeAnalyzer::addSamples(std::int32_t count, std::int32_t position,
                               const AnalyzerInput& input) {
    const std::int32_t n = fittingCount(count, position, kScopePoints);
    message.signalAStreaming = input.signalAStreaming ? 1 : 0;
    message.signalBStreaming = input.signalBStreaming ? 1 : 0;
    if (n == 0) {
        return false;
    }
    if (input.signalAStreaming) {
        copySignal(message.samples + position, &PayloadRecord::signalA, input.signalA, n);
    }
    if (input.signalBStreaming) {
        copySignal(message.samples + position, &PayloadRecord::signalB, input.signalB, n);
    }
    return false;
}

void ScopeAnalyzer::sendFrame(BlobOutputPin& pin, std::int32_t blockPosition) {
    pin.setValueRaw(sizeof(message), &message);
    pin.sendPinUpdate(blockPosition);
}

} // namespace vex
