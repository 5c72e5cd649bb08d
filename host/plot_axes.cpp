#include "host/plot_axes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vex::host {

namespace {

// The display's constants, 32-bit as it keeps them.
constexpr float kAxisOffset = 0.045f;        // frequency axis starts this far in
constexpr float kLinearSpacing = 0.0456621f; // 1 kHz between linear grid lines
constexpr float kTopLevel = 7.0f;            // dB at one pixel below the pane's top
constexpr float kLevelScale = 0.012987013f;  // 1 / 77 dB per pane height
constexpr float kAmplitudeScale = 0.46511626f;
constexpr float kTimeStep = 0.0050226017f; // 1 / 199.1 of the width per sample

// Fractions of the width of the log axis's grid lines, 20 Hz to 20 kHz.
const float kLogGrid[37] = {
    0.0465f, 0.0994f, 0.1372f, 0.1663f, 0.1901f, 0.2103f, 0.2283f, 0.2440f, 0.2573f, 0.3483f,
    0.4014f, 0.4392f, 0.4682f, 0.4920f, 0.5127f, 0.5298f, 0.5455f, 0.5595f, 0.6505f, 0.7035f,
    0.7415f, 0.7710f, 0.7945f, 0.8150f, 0.8325f, 0.8480f, 0.8615f, 0.8745f, 0.8860f, 0.8960f,
    0.9060f, 0.9150f, 0.9230f, 0.9315f, 0.9385f, 0.9460f, 0.9525f,
};

std::int32_t clampToPane(std::int64_t y, const PlotPane& pane) {
    if (y < pane.top) {
        return pane.top;
    }
    if (y > pane.bottom - 1) {
        return pane.bottom - 1;
    }
    return static_cast<std::int32_t>(y);
}

std::int64_t truncated(double value) {
    if (!(value > -1e15)) {
        return -1000000000000000;
    }
    if (value > 1e15) {
        return 1000000000000000;
    }
    return static_cast<std::int64_t>(value);
}

bool contains(const PlotPane& pane, std::int32_t x, std::int32_t y) {
    return x >= pane.left && x <= pane.right && y >= pane.top && y < pane.bottom;
}

} // namespace

PlotLayout plotLayout(std::int32_t width, std::int32_t height, bool labels, bool split) {
    const std::int32_t margin = labels ? 20 : 5;
    const PlotPane whole{margin, margin, width - 5, height - 5};
    if (!split) {
        return PlotLayout{whole, whole};
    }
    const std::int32_t half = (whole.bottom - whole.top) / 2;
    return PlotLayout{PlotPane{whole.left, whole.top, whole.right, whole.top + half},
                      PlotPane{whole.left, whole.top + half, whole.right, whole.bottom}};
}

std::int32_t spectrumPointX(const PlotPane& pane, std::int32_t k, std::int32_t points) {
    const std::int64_t w = static_cast<std::int64_t>(pane.right) - pane.left;
    return static_cast<std::int32_t>(pane.left + 1 + (k * (w - 1)) / points);
}

std::int32_t spectrumLevelY(const PlotPane& pane, float level) {
    const std::int64_t h = static_cast<std::int64_t>(pane.bottom) - pane.top;
    const double scaled = std::isnan(level)
                              ? -1e9
                              : (static_cast<double>(level) - static_cast<double>(kTopLevel)) *
                                    static_cast<double>(kLevelScale) * static_cast<double>(h);
    return clampToPane(pane.top + 1 - truncated(scaled), pane);
}

std::int32_t scopeSampleX(const PlotPane& pane, std::int32_t k) {
    const std::int64_t w = static_cast<std::int64_t>(pane.right) - pane.left;
    const double step = static_cast<double>(k * (w - 1)) * static_cast<double>(kTimeStep);
    return static_cast<std::int32_t>(pane.left + 1 + truncated(step));
}

std::int32_t scopeValueY(const PlotPane& pane, float value) {
    const std::int64_t h = static_cast<std::int64_t>(pane.bottom) - pane.top;
    const double amplitude = static_cast<double>(kAmplitudeScale) * static_cast<double>(h);
    const double scaled = std::isnan(value) ? 0.0 : amplitude * static_cast<double>(value);
    return clampToPane(pane.top + h / 2 - truncated(scaled), pane);
}

std::int32_t logGridX(const PlotPane& pane, std::int32_t i) {
    const std::int32_t w = pane.right - pane.left;
    const double position = static_cast<double>(w) * static_cast<double>(kLogGrid[i]) +
                            static_cast<double>(w) * static_cast<double>(kAxisOffset);
    return static_cast<std::int32_t>(pane.left + truncated(position));
}

std::int32_t linearGridX(const PlotPane& pane, std::int32_t i) {
    const std::int32_t w = pane.right - pane.left;
    const double position = static_cast<double>(i) * w * static_cast<double>(kLinearSpacing) +
                            static_cast<double>(w) * static_cast<double>(kAxisOffset);
    return static_cast<std::int32_t>(pane.left + truncated(position));
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

double logPointHz(double point) {
    return 10.0 * std::pow(2.0, point / 48.0);
}

double linearPointHz(double point, double sampleRate) {
    return point * sampleRate / 1024.0;
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
    if (mode == 0) {
        const double sample = scopeSampleAt(*pane, x);
        reading.ms = sampleRate > 0.0 ? sample * 1000.0 / sampleRate : 0.0;
        reading.level = scopeValueAt(*pane, y);
        std::snprintf(text, sizeof(text), "%.3f ms  %+.3f", reading.ms, reading.level);
    } else {
        const std::int32_t points = mode == 1 ? kLinearPoints : kLogPoints;
        const double point = spectrumPointAt(*pane, x, points);
        reading.hz = mode == 1 ? linearPointHz(point, sampleRate) : logPointHz(point);
        reading.level = spectrumLevelAt(*pane, y);
        std::snprintf(text, sizeof(text), "%.0f Hz  %s  %.1f dB", reading.hz,
                      noteText(reading.hz).c_str(), reading.level);
    }
    reading.text = text;
    return reading;
}

} // namespace vex::host
