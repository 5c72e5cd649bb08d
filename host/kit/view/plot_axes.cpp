#include "host/kit/view/plot_axes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vex::host {

namespace {

using plot::kAmplitudeScale;
using plot::kLevelScale;
using plot::kTimeStep;
using plot::kTopLevel;

bool contains(const PlotPane& pane, std::int32_t x, std::int32_t y) {
    return x >= pane.left && x <= pane.right && y >= pane.top && y < pane.bottom;
}

} // namespace

PlotLayout plotLayout(std::int32_t width, std::int32_t height, bool labels, bool split) {
    return plot::layout(0, 0, width, height, labels, split);
}

double spectrumPointAt(const PlotPane& pane, std::int32_t x, std::int32_t points) {
    // Point k lands on column left + 1 + floor(k (w - 1) / N); column x holds the points
    // from ceil((x - left - 1) N / (w - 1)); the middle of that run is the reading.
    const double w = static_cast<double>(pane.right) - pane.left;
    if (w <= 1.0) {
        return 0.0;
    }
    const double first = static_cast<double>(x - pane.left - 1) * points / (w - 1.0);
    const double next = static_cast<double>(x - pane.left) * points / (w - 1.0);
    const double reading = (std::ceil(first) + std::ceil(next) - 1.0) / 2.0;
    return std::clamp(reading, 0.0, static_cast<double>(points - 1));
}

double spectrumLevelAt(const PlotPane& pane, std::int32_t y) {
    const double h = static_cast<double>(pane.bottom) - pane.top;
    if (h <= 0.0) {
        return 0.0;
    }
    // Row t + 1 - n holds the levels whose scaled height truncates to n; the middle of the
    // run of levels drawn on row y is the reading.
    const double n = static_cast<double>(pane.top + 1 - y);
    const double dbPerRow = 1.0 / (static_cast<double>(kLevelScale) * h);
    const double middle = n > 0.0 ? n + 0.5 : n < 0.0 ? n - 0.5 : 0.0;
    return static_cast<double>(kTopLevel) + middle * dbPerRow;
}

double scopeSampleAt(const PlotPane& pane, std::int32_t x) {
    const double w = static_cast<double>(pane.right) - pane.left;
    if (w <= 1.0) {
        return 0.0;
    }
    const double reading =
        static_cast<double>(x - pane.left - 1) / ((w - 1.0) * static_cast<double>(kTimeStep));
    return std::clamp(reading, 0.0, static_cast<double>(kScopePoints - 1));
}

double scopeValueAt(const PlotPane& pane, std::int32_t y) {
    const std::int64_t h = static_cast<std::int64_t>(pane.bottom) - pane.top;
    const double amplitude = static_cast<double>(kAmplitudeScale) * static_cast<double>(h);
    if (amplitude <= 0.0) {
        return 0.0;
    }
    return static_cast<double>(pane.top + h / 2 - y) / amplitude;
}

std::string noteText(double hz) {
    if (!(hz > 0.0) || !std::isfinite(hz)) {
        return std::string();
    }
    static const char* const names[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                          "F#", "G",  "G#", "A",  "A#", "B"};
    const double midi = 69.0 + 12.0 * std::log2(hz / 440.0);
    const double nearest = std::floor(midi + 0.5);
    const auto cents = static_cast<long>(std::lround((midi - nearest) * 100.0));
    const auto number = static_cast<long>(nearest);
    const long index = ((number % 12) + 12) % 12;
    const long octave = (number - index) / 12 - 1;
    char text[32];
    std::snprintf(text, sizeof(text), "%s%ld %+ldc", names[index], octave, cents);
    return text;
}

CursorReading readCursor(std::int32_t mode, const PlotLayout& layout, bool split, std::int32_t x,
                         std::int32_t y, double sampleRate) {
    CursorReading reading;
    const PlotPane* pane = nullptr;
    if (contains(layout.paneA, x, y)) {
        pane = &layout.paneA;
    } else if (split && contains(layout.paneB, x, y)) {
        pane = &layout.paneB;
        reading.signal = 1;
    }
    if (pane == nullptr) {
        return reading;
    }
    reading.inside = true;
    char text[96];
    const View view = viewOf(mode);
    if (view == View::kScope) {
        const double sample = scopeSampleAt(*pane, x);
        reading.ms = sampleRate > 0.0 ? sample * 1000.0 / sampleRate : 0.0;
        reading.level = scopeValueAt(*pane, y);
        std::snprintf(text, sizeof(text), "%.3f ms  %+.3f", reading.ms, reading.level);
    } else {
        const double point = spectrumPointAt(*pane, x, pointsOf(view));
        reading.hz = pointHz(view, point, sampleRate);
        reading.level = spectrumLevelAt(*pane, y);
        std::snprintf(text, sizeof(text), "%.0f Hz  %s  %.1f dB", reading.hz,
                      noteText(reading.hz).c_str(), reading.level);
    }
    reading.text = text;
    return reading;
}

} // namespace vex::host
