// What a frame and a view mean to a host, on top of the module's output definitions
// (analyzer/audio/analyzer_messages.h, analyzer/display/plot_geometry.h): the views, the
// frequency a spectrum point stands for and back, where a point's value lies in a frame,
// and how many voices the display draws. Header-only; every host file that reads a frame
// or compares a view takes it from here.
#pragma once

#include "analyzer/audio/analyzer_messages.h"
#include "analyzer/display/plot_geometry.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vex::host {

// The voices of one display: a host hands it frames and gates of voices 0..127.
inline constexpr std::int32_t kVoices = 128;

// The views, numbered as the mode pins number them.
enum class View : std::int32_t {
    kScope = plot::kScopeView,
    kLinear = plot::kLinearView,
    kLog = plot::kLogView,
};

// The view a mode value shows: 1 and 2 the spectra, anything else the scope (as the frame
// formats take it: frameSizeOfView gives the scope's size for any other number).
constexpr View viewOf(std::int32_t mode) {
    return mode == plot::kLinearView ? View::kLinear
           : mode == plot::kLogView  ? View::kLog
                                     : View::kScope;
}
constexpr std::int32_t modeOf(View view) {
    return static_cast<std::int32_t>(view);
}
// The next view in the order the pins number them (a click on the window steps so).
constexpr View nextView(View view) {
    return view == View::kScope ? View::kLinear : view == View::kLinear ? View::kLog : View::kScope;
}
constexpr bool isSpectrum(View view) {
    return view != View::kScope;
}
// A frame's length and point count in `view`.
constexpr std::int32_t frameSizeOf(View view) {
    return plot::frameSizeOfView(modeOf(view));
}
constexpr std::int32_t pointsOf(View view) {
    return plot::pointsOfView(modeOf(view));
}

// The frequency in Hz of a (fractional) point of a spectrum: linear bin k is
// k * rate / 1024 (the transform is twice the bins long), log band b is 10 * 2^(b/48);
// 0 for the scope.
inline double pointHz(View view, double point, double sampleRate) {
    if (view == View::kLinear) {
        return point * sampleRate / (2.0 * kLinearBins);
    }
    if (view == View::kLog) {
        return 10.0 * std::pow(2.0, point / 48.0);
    }
    return 0.0;
}
// The (fractional) point of a spectrum at `hz`, the inverse of pointHz; 0 for the scope and
// for frequencies a log band cannot stand for (0 Hz and below).
inline double hzPoint(View view, double hz, double sampleRate) {
    if (view == View::kLinear && sampleRate > 0.0) {
        return hz * (2.0 * kLinearBins) / sampleRate;
    }
    if (view == View::kLog && hz > 0.0) {
        return 48.0 * std::log2(hz / 10.0);
    }
    return 0.0;
}

// Where the value of `signal` (0 A, 1 B) of point `k` lies in a frame: after the presence
// bytes, one record per point, signal A's value first.
constexpr std::size_t valueOffset(std::int32_t signal, std::int32_t k) {
    return static_cast<std::size_t>(kPayloadHeaderSize) +
           sizeof(PayloadRecord) * static_cast<std::size_t>(k) +
           (signal == 0 ? offsetof(PayloadRecord, signalA) : offsetof(PayloadRecord, signalB));
}
// The value of `signal` of point `k` of a frame of its view's length, read and written in
// place (a copy of the four bytes: frames need not be aligned).
inline float frameValue(const std::uint8_t* frame, std::int32_t signal, std::int32_t k) {
    float value = 0.0f;
    std::memcpy(&value, frame + valueOffset(signal, k), sizeof value);
    return value;
}
inline void setFrameValue(std::uint8_t* frame, std::int32_t signal, std::int32_t k, float value) {
    std::memcpy(frame + valueOffset(signal, k), &value, sizeof value);
}

} // namespace vex::host
