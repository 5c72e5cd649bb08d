#include "host/kit/fine/fine_frames.h"

#include <algorithm>
#include <cmath>

namespace vex::host {

namespace {
constexpr std::int32_t kChunk = 4096;
}

FineFrames::FineFrames(const FineAnalysis& analysis)
    : signals{FineSignal(analysis), FineSignal(analysis)} {
    samples.reserve(static_cast<std::int64_t>(std::ceil(2.0 * analysis.sampleRate())));
    chunk.assign(kChunk, 0.0f);
    levels.assign(static_cast<std::size_t>(kLogBands), 0.0f);
}

void FineFrames::restart() {
    samples.restart();
    signals[0].reset();
    signals[1].reset();
    fed = 0;
    linear = LinearSpectrumPayload{};
    log = LogSpectrumPayload{};
}

bool FineFrames::catchUp(std::int64_t end) {
    // Why refused before anything is fed: a moment the history has not reached is no reason
    // to forget what was fed (the next frame would read a stretch of silence).
    if (end > samples.written()) {
        return false;
    }
    // Why start again: samples the history no longer holds cannot be fed; the analysis
    // takes what it holds after silence (still more than its longest window).
    const std::int64_t held = samples.capacity() - kChunk;
    if (end - fed > held) {
        signals[0].reset();
        signals[1].reset();
        fed = end - held;
    }
    while (fed < end) {
        const auto count = static_cast<std::int32_t>(std::min<std::int64_t>(kChunk, end - fed));
        for (std::int32_t s = 0; s < 2; ++s) {
            if (!samples.read(s, fed + count, count, chunk.data())) {
                // Overwritten while read: this analysis is too far behind the audio.
                signals[0].reset();
                signals[1].reset();
                fed = end;
                return false;
            }
            signals[s].feed(chunk.data(), count);
        }
        fed += count;
    }
    return true;
}

const std::uint8_t* FineFrames::refine(FineAnalysis& analysis, View view, bool streamingA,
                                       bool streamingB, std::int64_t end) {
    if (!isSpectrum(view) || !catchUp(end)) {
        return nullptr;
    }
    std::uint8_t* frame = view == View::kLog ? reinterpret_cast<std::uint8_t*>(&log)
                                             : reinterpret_cast<std::uint8_t*>(&linear);
    const bool streaming[2] = {streamingA, streamingB};
    for (std::int32_t signal = 0; signal < 2; ++signal) {
        if (!streaming[signal]) {
            continue;
        }
        analysis.analyse(view, signals[signal], levels.data());
        for (std::int32_t k = 0; k < pointsOf(view); ++k) {
            setFrameValue(frame, signal, k, levels[static_cast<std::size_t>(k)]);
        }
    }
    frame[0] = streamingA ? 1 : 0;
    frame[1] = streamingB ? 1 : 0;
    return frame;
}

const std::uint8_t* FineFrames::refine(FineAnalysis& analysis, const std::uint8_t* frame,
                                       std::int32_t size, std::int64_t end) {
    for (const View view : {View::kLinear, View::kLog}) {
        if (frame != nullptr && size == frameSizeOf(view)) {
            return refine(analysis, view, frame[0] == 1, frame[1] == 1, end);
        }
    }
    return frame;
}

} // namespace vex::host
