// Where the analyzer's display draws: the plot's panes, the positions of its curve points,
// traces and grid lines, and the way back from a pixel to a frequency, level, time or
// sample value. The host draws its readouts over the display's picture with these, so they
// follow the display's own arithmetic: integer positions truncated toward zero, the
// constants as 32-bit floats widened to double where the display widens them.
#pragma once

#include <cstdint>
#include <string>

namespace vex::host {

// Left, top, right, bottom in pixels; right and bottom are the outline's far edges.
struct PlotPane {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// The two panes of a width x height display: signal A in the first, signal B in the
// second; without split both are the whole plot. The margin is wider when the display draws
// labels (its label colour is set).
struct PlotLayout {
    PlotPane paneA;
    PlotPane paneB;
};
PlotLayout plotLayout(std::int32_t width, std::int32_t height, bool labels, bool split);

// Points of a spectrum frame: 512 linear bins, 528 log bands.
constexpr std::int32_t kLinearPoints = 512;
constexpr std::int32_t kLogPoints = 528;
constexpr std::int32_t kScopePoints = 200;

// x of point k of a spectrum curve with `points` points.
std::int32_t spectrumPointX(const PlotPane& pane, std::int32_t k, std::int32_t points);
// y of a level in dB on a spectrum curve, clamped into the pane.
std::int32_t spectrumLevelY(const PlotPane& pane, float level);
// x of sample k of a scope trace; y of a sample value, clamped into the pane.
std::int32_t scopeSampleX(const PlotPane& pane, std::int32_t k);
std::int32_t scopeValueY(const PlotPane& pane, float value);
// x of vertical grid line i: log axis 0..36 (20 Hz .. 20 kHz), linear axis 0..19 (1..20 kHz).
std::int32_t logGridX(const PlotPane& pane, std::int32_t i);
std::int32_t linearGridX(const PlotPane& pane, std::int32_t i);

// The way back, as continuous positions: the (fractional) point index a curve reaches at
// column x, and the level in dB at row y (the inverse of spectrumLevelY inside the pane).
double spectrumPointAt(const PlotPane& pane, std::int32_t x, std::int32_t points);
double spectrumLevelAt(const PlotPane& pane, std::int32_t y);
double scopeSampleAt(const PlotPane& pane, std::int32_t x);
double scopeValueAt(const PlotPane& pane, std::int32_t y);

// Frequency in Hz of a fractional point index: log band b is 10 * 2^(b/48) Hz, linear bin
// k is k * sampleRate / 1024 Hz.
double logPointHz(double point);
double linearPointHz(double point, double sampleRate);

// The equal-tempered note nearest `hz` (A4 = 440 Hz) and the distance to it in cents,
// as "A4 +0c"; empty for frequencies at or below 0.
std::string noteText(double hz);

// What the cursor at (x, y) reads in view `mode` (0 scope, 1 linear, 2 log): frequency,
// note and level for the spectra, time in ms within the frame and sample value for the
// scope; empty outside the plot. `signal` is set to 0 (pane A) or 1 (pane B).
struct CursorReading {
    bool inside = false;
    std::int32_t signal = 0;
    double hz = 0.0;
    double level = 0.0; // dB for the spectra, the sample value for the scope
    double ms = 0.0;
    std::string text;
};
CursorReading readCursor(std::int32_t mode, const PlotLayout& layout, bool split, std::int32_t x,
                         std::int32_t y, double sampleRate);

} // namespace vex::host
