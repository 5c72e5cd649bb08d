#include "host/kit/fine/fine_frames.h"

#include <algorithm>
#include <cmath>

namespace vex::host {

FineFrames::FineFrames(const FineAnalysis& analysis) {
    samples.reserve(static_cast<std::int64_t>(std::ceil(2.0 * analysis.sampleRate())));
    window.assign(static_cast<std::size_t>(analysis.historyLength()), 0.0f);
    levels.assign(static_cast<std::size_t>(kLogBands), 0.0f);
}

const std::uint8_t* FineFrames::refine(FineAnalysis& analysis, View view, bool streamingA,
                                       bool streamingB, std::int64_t end) {
    if (!isSpectrum(view)) {
        return nullptr;
    }
    const auto count = static_cast<std::int32_t>(window.size());
    if (analysis.historyLength() != count) {
        return nullptr;
    }
    std::uint8_t* frame = view == View::kLog ? reinterpret_cast<std::uint8_t*>(&log)
                                             : reinterpret_cast<std::uint8_t*>(&linear);
    const bool streaming[2] = {streamingA, streamingB};
    for (std::int32_t signal = 0; signal < 2; ++signal) {
        if (!streaming[signal]) {
            continue;
        }
        if (!samples.read(signal, end, count, window.data())) {
            return nullptr;
        }
        analysis.analyse(view, window.data(), levels.data());
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
