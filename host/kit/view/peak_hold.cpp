#include "host/kit/view/peak_hold.h"

#include "host/kit/frame_view.h"

#include <cmath>

namespace vex::host {

PeakHold::PeakHold(std::int32_t frameSize) {
    reset(frameSize);
}

void PeakHold::reset(std::int32_t frameSize) {
    expectedSize = frameSize;
    const std::int32_t mode = plot::viewOfFrameSize(frameSize);
    pointCount = mode >= 0 && isSpectrum(viewOf(mode)) ? pointsOf(viewOf(mode)) : 0;
    seen[0] = seen[1] = false;
    held.assign(static_cast<std::size_t>(2 * pointCount), Held{});
}

double PeakHold::fallen(const Held& point, double seconds) const {
    const double elapsed = seconds > point.since ? seconds - point.since : 0.0;
    return static_cast<double>(point.level) - kFallDbPerSecond * elapsed;
}

void PeakHold::add(const std::uint8_t* frame, std::int32_t size, double seconds) {
    if (pointCount == 0 || size != expectedSize || frame == nullptr) {
        return;
    }
    for (std::int32_t signal = 0; signal < 2; ++signal) {
        if (frame[signal] == 0) {
            continue;
        }
        Held* points = held.data() + static_cast<std::ptrdiff_t>(signal) * pointCount;
        for (std::int32_t k = 0; k < pointCount; ++k) {
            const float value = frameValue(frame, signal, k);
            // Why: a level that is not a number or infinite would be held for ever.
            if (!std::isfinite(value)) {
                continue;
            }
            if (!seen[signal] || static_cast<double>(value) >= fallen(points[k], seconds)) {
                points[k] = Held{value, seconds};
            }
        }
        seen[signal] = true;
    }
}

bool PeakHold::holds(std::int32_t signal) const {
    return signal >= 0 && signal < 2 && seen[signal];
}

double PeakHold::level(std::int32_t signal, std::int32_t k, double seconds) const {
    if (!holds(signal) || k < 0 || k >= pointCount) {
        return -HUGE_VAL;
    }
    return fallen(held[static_cast<std::size_t>(signal * pointCount + k)], seconds);
}

} // namespace vex::host
