// Where the analyzer's display draws, for its renderers and for every host that draws over
// its picture or reads a position back: the plot's panes, the position of a curve point, a
// level, a scope sample and a grid line, and the view a frame belongs to. Header-only, so a
// host takes it without linking any of the analyzer's libraries.
//
// The arithmetic is the display's own: integer positions truncated toward zero, the
// constants 32-bit floats widened to double where the display widens them. A pane is any
// record with int32 fields left, top, right, bottom (right and bottom are the outline's far
// edges): the display's RECT or a host's Pane.
#pragma once

#include "analyzer/audio/analyzer_messages.h"

#include <cmath>
#include <cstdint>
#include <initializer_list>

namespace vex::plot {

struct Pane {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// The views, as the mode pins number them.
inline constexpr std::int32_t kScopeView = 0;
inline constexpr std::int32_t kLinearView = 1;
inline constexpr std::int32_t kLogView = 2;

// The view whose frames are `size` bytes long, or -1 for any other length (the empty value
// included).
constexpr std::int32_t viewOfFrameSize(std::int32_t size) {
    return size == kScopePayloadSize            ? kScopeView
           : size == kLinearSpectrumPayloadSize ? kLinearView
           : size == kLogSpectrumPayloadSize    ? kLogView
                                                : -1;
}
// The frame length and point count of view `view` (0..2); the scope's for anything else.
constexpr std::int32_t frameSizeOfView(std::int32_t view) {
    return view == kLinearView ? kLinearSpectrumPayloadSize
           : view == kLogView  ? kLogSpectrumPayloadSize
                               : kScopePayloadSize;
}
constexpr std::int32_t pointsOfView(std::int32_t view) {
    return view == kLinearView ? kLinearBins : view == kLogView ? kLogBands : kScopePoints;
}

// Margins of the plot inside the display's area: left and top 20 with labels, 5 without;
// right and bottom 5.
inline constexpr std::int32_t kLabelMargin = 20;
inline constexpr std::int32_t kPlainMargin = 5;
inline constexpr std::int32_t kFarMargin = 5;

// The plot of an area and its panes: with split channels the upper half for signal A and
// the lower half for signal B, else both in one pane.
struct Layout {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
    std::int32_t half; // (bottom - top) / 2
    Pane paneA;
    Pane paneB;
};
constexpr Layout layout(std::int32_t areaLeft, std::int32_t areaTop, std::int32_t areaRight,
                        std::int32_t areaBottom, bool labels, bool split) {
    const std::int32_t margin = labels ? kLabelMargin : kPlainMargin;
    Layout plot{areaLeft + margin,
                areaTop + margin,
                areaRight - kFarMargin,
                areaBottom - kFarMargin,
                0,
                Pane{},
                Pane{}};
    plot.half = (plot.bottom - plot.top) / 2;
    if (split) {
        plot.paneA = Pane{plot.left, plot.top, plot.right, plot.top + plot.half};
        plot.paneB = Pane{plot.left, plot.top + plot.half, plot.right, plot.bottom};
    } else {
        plot.paneA = Pane{plot.left, plot.top, plot.right, plot.bottom};
        plot.paneB = plot.paneA;
    }
    return plot;
}

// The display's constants, 32-bit as it keeps them.
inline constexpr float kAxisOffset = 0.045f;        // frequency axis starts this far in
inline constexpr float kZeroDbOffset = 0.06f;       // 0 dB grid line below the top
inline constexpr float kLevelSpacing = 0.27027026f; // 20 dB between level lines
inline constexpr float kLinearSpacing = 0.0456621f; // 1 kHz between linear grid lines
inline constexpr float kLinearLabelSpacing = 0.046082947f;
inline constexpr float kTopLevel = 7.0f;              // dB at one pixel below the pane's top
inline constexpr float kLevelScale = 0.012987013f;    // 1 / 77 dB per pane height
inline constexpr float kAmplitudeScale = 0.46511626f; // sample 1.0 above the centre, per height
inline constexpr float kTimeStep = 0.0050226017f;     // 1 / 199.1 of the width per sample
inline constexpr float kAmplitudeGridStep = 0.1f;     // one scope grid step in sample units

// Grid lines of the frequency axes: linear 1..20 kHz, logarithmic 20 Hz .. 20 kHz.
inline constexpr std::int32_t kLinearGridLines = 20;
inline constexpr std::int32_t kLogGridLines = 37;
// Fractions of the plot width of the 37 logarithmic grid frequencies (20..90 Hz,
// 100..900 Hz, 1..20 kHz); a line or label at index i lies at LogFrequencyGrid[i] + 0.045
// of the width.
inline constexpr float LogFrequencyGrid[kLogGridLines] = {
    0.0465f, 0.0994f, 0.1372f, 0.1663f, 0.1901f, 0.2103f, 0.2283f, 0.2440f, 0.2573f, // 20..100
    0.3483f, 0.4014f, 0.4392f, 0.4682f, 0.4920f, 0.5127f, 0.5298f, 0.5455f,          // ..900
    0.5595f, 0.6505f, 0.7035f, 0.7415f, 0.7710f, 0.7945f, 0.8150f, 0.8325f, 0.8480f, // 1k..9k
    0.8615f, 0.8745f, 0.8860f, 0.8960f, 0.9060f, 0.9150f, 0.9230f, 0.9315f, 0.9385f, // ..18k
    0.9460f, 0.9525f,                                                                // 19k, 20k
};

// Which grid lines of a frequency axis `width` pixels long are drawn full height and which
// are labelled, as bit sets over the lines' indices (log: 0..7 are 20..90 Hz, 8..16 are
// 100..900 Hz, 17..36 are 1..20 kHz; linear: i is i + 1 kHz). The sets grow with the width.
namespace axis {
constexpr std::uint64_t bits(std::initializer_list<int> indices) {
    std::uint64_t out = 0;
    for (int i : indices) {
        out |= std::uint64_t{1} << i;
    }
    return out;
}
inline constexpr std::uint64_t kAll37 = (std::uint64_t{1} << 37) - 1;
inline constexpr std::uint64_t kAll20 = (std::uint64_t{1} << 20) - 1;
inline constexpr std::uint64_t kOdd20 = bits({1, 3, 5, 7, 9, 11, 13, 15, 17, 19});
inline constexpr std::uint64_t kLogNarrowest = bits({0, 3, 9, 16, 18, 22, 36});
inline constexpr std::uint64_t kLogNarrow = bits({0, 2, 6, 9, 13, 17, 19, 21, 25, 36});
inline constexpr std::uint64_t kLogMedium = bits({0, 1, 3, 8, 10, 14, 17, 18, 20, 22, 27, 36});
inline constexpr std::uint64_t kLogWide =
    bits({0, 1, 2, 3, 5, 8, 9, 10, 12, 15, 17, 18, 19, 20, 21, 23, 26, 30, 36});
inline constexpr std::uint64_t kLogWider = bits(
    {0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 13, 15, 17, 18, 19, 20, 21, 22, 23, 24, 26, 29, 32, 36});
// No odd kHz above 10k.
inline constexpr std::uint64_t kLogWidest = kAll37 & ~bits({27, 29, 31, 33, 35});

// The log axis's lines or labels; the set without odd kHz above 10k lasts up to
// `widestUpTo` pixels (lines and labels part there by one pixel).
constexpr std::uint64_t logSet(std::int32_t width, std::int32_t widestUpTo) {
    return width <= 250          ? kLogNarrow
           : width <= 400        ? kLogMedium
           : width <= 600        ? kLogWide
           : width <= 1000       ? kLogWider
           : width <= widestUpTo ? kLogWidest
                                 : kAll37;
}
} // namespace axis

constexpr std::uint64_t fullFrequencyGridLines(bool linear, std::int32_t width) {
    if (linear) {
        return width <= 250   ? axis::kAll20 & ~axis::kOdd20
               : width <= 349 ? axis::kAll20 & ~axis::bits({9, 11, 13, 15, 17, 19})
                              : axis::kAll20;
    }
    return axis::logSet(width, 2099);
}
constexpr std::uint64_t frequencyLabels(bool linear, std::int32_t width) {
    if (linear) {
        return width <= 250   ? axis::kAll20 & ~axis::kOdd20
               : width <= 350 ? axis::bits({0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 12, 14, 16, 18})
                              : axis::kAll20;
    }
    return width <= 180 ? axis::kLogNarrowest : axis::logSet(width, 2100);
}

// A double position truncated toward zero into the range drawing works in.
// Why the clamp: levels and samples come from the host's bytes; a NaN or enormous value
// must not reach an undefined conversion. Results are clamped to the pane anyway.
inline std::int64_t truncateClamped(double value) {
    constexpr double kLimit = 1e9;
    if (std::isnan(value)) {
        return 0;
    }
    if (value > kLimit) {
        return static_cast<std::int64_t>(kLimit);
    }
    if (value < -kLimit) {
        return -static_cast<std::int64_t>(kLimit);
    }
    return static_cast<std::int64_t>(value);
}

// y limited to the pane's rows top..bottom - 1.
template <typename P> std::int32_t clampToPane(std::int64_t y, const P& pane) {
    if (y < pane.top) {
        return pane.top;
    }
    if (y > pane.bottom - 1) {
        return pane.bottom - 1;
    }
    return static_cast<std::int32_t>(y);
}

// x of point k of a spectrum curve of `points` points.
template <typename P>
std::int32_t spectrumPointX(const P& pane, std::int32_t k, std::int32_t points) {
    const std::int64_t w = static_cast<std::int64_t>(pane.right) - pane.left;
    return static_cast<std::int32_t>(pane.left + 1 + (k * (w - 1)) / points);
}

// y of a level in dB on a spectrum curve, clamped into the pane.
template <typename P> std::int32_t spectrumLevelY(const P& pane, float level) {
    const std::int64_t h = static_cast<std::int64_t>(pane.bottom) - pane.top;
    // Why: a NaN level carries no height; it is drawn as the lowest level.
    const double scaled = std::isnan(level)
                              ? -1e9
                              : (static_cast<double>(level) - static_cast<double>(kTopLevel)) *
                                    static_cast<double>(kLevelScale) * static_cast<double>(h);
    return clampToPane(pane.top + 1 - truncateClamped(scaled), pane);
}

// x of sample k of a scope trace.
template <typename P> std::int32_t scopeSampleX(const P& pane, std::int32_t k) {
    const std::int64_t w = static_cast<std::int64_t>(pane.right) - pane.left;
    const double step = static_cast<double>(k * (w - 1)) * static_cast<double>(kTimeStep);
    return static_cast<std::int32_t>(pane.left + 1 + truncateClamped(step));
}

// y of a sample value on a scope trace, clamped into the pane. A NaN sample carries no
// height and lies on the centre line.
template <typename P> std::int32_t scopeValueY(const P& pane, float value) {
    const std::int64_t h = static_cast<std::int64_t>(pane.bottom) - pane.top;
    const std::int64_t centre = pane.top + h / 2;
    const double amplitude = static_cast<double>(kAmplitudeScale) * static_cast<double>(h);
    return clampToPane(centre - truncateClamped(amplitude * static_cast<double>(value)), pane);
}

// x of vertical grid line i: log axis 0..36, linear axis 0..19.
template <typename P> std::int32_t logGridX(const P& pane, std::int32_t i) {
    const std::int32_t w = pane.right - pane.left;
    const double position = static_cast<double>(w) * static_cast<double>(LogFrequencyGrid[i]) +
                            static_cast<double>(w) * static_cast<double>(kAxisOffset);
    return static_cast<std::int32_t>(pane.left + truncateClamped(position));
}
template <typename P> std::int32_t linearGridX(const P& pane, std::int32_t i) {
    const std::int32_t w = pane.right - pane.left;
    const double position = static_cast<double>(i) * w * static_cast<double>(kLinearSpacing) +
                            static_cast<double>(w) * static_cast<double>(kAxisOffset);
    return static_cast<std::int32_t>(pane.left + truncateClamped(position));
}

} // namespace vex::plot
