#include "host/kit/view/spectrum_tools.h"

#include <cmath>

namespace vex::host {

namespace {

bool spectrumView(std::int32_t mode) {
    return isSpectrum(viewOf(mode));
}

// The setting of `names` (in the enum's order) called `name`, into `setting`.
template <typename Setting, std::size_t N>
bool named(const std::string& name, const std::array<const char*, N>& names, Setting& setting) {
    for (std::size_t i = 0; i < N; ++i) {
        if (name == names[i]) {
            setting = static_cast<Setting>(i);
            return true;
        }
    }
    return false;
}

} // namespace

double tiltSlope(Tilt tilt) {
    return tilt == Tilt::kThree ? 3.0 : tilt == Tilt::kFourAndHalf ? 4.5 : 0.0;
}

double smoothingSeconds(Smoothing smoothing) {
    return smoothing == Smoothing::kFast ? 0.125 : smoothing == Smoothing::kSlow ? 1.0 : 0.0;
}

const char* tiltName(Tilt tilt) {
    const auto i = static_cast<std::size_t>(tilt);
    return i < kTiltNames.size() ? kTiltNames[i] : kTiltNames[0];
}

const char* smoothingName(Smoothing smoothing) {
    const auto i = static_cast<std::size_t>(smoothing);
    return i < kSmoothingNames.size() ? kSmoothingNames[i] : kSmoothingNames[0];
}

bool tiltNamed(const std::string& name, Tilt& tilt) {
    return named(name, kTiltNames, tilt);
}

bool smoothingNamed(const std::string& name, Smoothing& smoothing) {
    return named(name, kSmoothingNames, smoothing);
}

Tilt nextTilt(Tilt tilt) {
    return tilt == Tilt::kOff     ? Tilt::kThree
           : tilt == Tilt::kThree ? Tilt::kFourAndHalf
                                  : Tilt::kOff;
}

Smoothing nextSmoothing(Smoothing smoothing) {
    return smoothing == Smoothing::kOff    ? Smoothing::kFast
           : smoothing == Smoothing::kFast ? Smoothing::kSlow
                                           : Smoothing::kOff;
}

double tiltDb(double slope, double hz) {
    const double at = hz > 10.0 ? hz : 10.0;
    return slope * std::log2(at / 1000.0);
}

void TiltTable::set(std::int32_t view, double sampleRate, Tilt tilt) {
    offsets.clear();
    frameSize = 0;
    if (!spectrumView(view) || tilt == Tilt::kOff) {
        return;
    }
    frameSize = frameSizeOf(viewOf(view));
    const std::int32_t n = pointsOf(viewOf(view));
    offsets.resize(static_cast<std::size_t>(n));
    for (std::int32_t k = 0; k < n; ++k) {
        offsets[static_cast<std::size_t>(k)] =
            static_cast<float>(tiltDb(tiltSlope(tilt), pointHz(viewOf(view), k, sampleRate)));
    }
}

float TiltTable::offset(std::int32_t k) const {
    return k >= 0 && k < static_cast<std::int32_t>(offsets.size())
               ? offsets[static_cast<std::size_t>(k)]
               : 0.0f;
}

void TiltTable::apply(std::uint8_t* frame, std::int32_t size) const {
    if (offsets.empty() || size != frameSize || frame == nullptr) {
        return;
    }
    const auto n = static_cast<std::int32_t>(offsets.size());
    for (std::int32_t signal = 0; signal < 2; ++signal) {
        if (frame[signal] == 0) {
            continue;
        }
        for (std::int32_t k = 0; k < n; ++k) {
            const float level = frameValue(frame, signal, k);
            // Why: a NaN or infinite level is the display's to handle as sent.
            if (std::isfinite(level)) {
                setFrameValue(frame, signal, k, level + offsets[static_cast<std::size_t>(k)]);
            }
        }
    }
}

void SpectrumSmoother::set(std::int32_t view, Smoothing smoothing) {
    setting = smoothing;
    frameSize = spectrumView(view) ? frameSizeOf(viewOf(view)) : 0;
    points = spectrumView(view) ? pointsOf(viewOf(view)) : 0;
    reset();
}

void SpectrumSmoother::reset() {
    voices.clear();
}

void SpectrumSmoother::apply(std::int32_t voice, std::uint8_t* frame, std::int32_t size,
                             double seconds) {
    if (setting == Smoothing::kOff || size != frameSize || frame == nullptr || voice < 0 ||
        voice >= kVoices || points == 0) {
        return;
    }
    if (static_cast<std::int32_t>(voices.size()) <= voice) {
        voices.resize(static_cast<std::size_t>(voice) + 1);
    }
    Voice& state = voices[static_cast<std::size_t>(voice)];
    if (state.levels.empty()) {
        state.levels.assign(static_cast<std::size_t>(2 * points), std::nanf(""));
    }
    const double dt = seconds - state.seconds;
    // Why the clamp: a frame from an earlier time (a restarted source) moves nothing.
    const double weight = dt > 0.0 ? 1.0 - std::exp(-dt / smoothingSeconds(setting)) : 0.0;
    for (std::int32_t signal = 0; signal < 2; ++signal) {
        if (frame[signal] == 0) {
            continue;
        }
        float* held = state.levels.data() + static_cast<std::ptrdiff_t>(signal) * points;
        for (std::int32_t k = 0; k < points; ++k) {
            const float level = frameValue(frame, signal, k);
            if (!std::isfinite(level)) {
                if (!std::isnan(held[k])) {
                    setFrameValue(frame, signal, k, held[k]);
                }
                continue;
            }
            // Why NaN marks a point never seen: its first level is taken as it is.
            held[k] = std::isnan(held[k])
                          ? level
                          : static_cast<float>(static_cast<double>(held[k]) +
                                               weight * (static_cast<double>(level) - held[k]));
            setFrameValue(frame, signal, k, held[k]);
        }
    }
    state.seconds = seconds;
}

} // namespace vex::host
