// The way back from a pixel of the display's picture to a frequency, level, time or sample
// value, and the cursor readout built on it. The way there (panes, curve points, grid lines)
// is the display's own plot geometry; the readout inverts exactly that arithmetic.
#pragma once

#include "analyzer/display/plot_geometry.h"
#include "host/kit/frame_view.h"

#include <cstdint>
#include <string>

namespace vex::host {

using PlotPane = plot::Pane;

// The plot of a width x height display: signal A in paneA, signal B in paneB; without
// split both are the whole plot. The margin is wider when the display draws labels (its
// label colour is set).
using PlotLayout = plot::Layout;
PlotLayout plotLayout(std::int32_t width, std::int32_t height, bool labels, bool split);

// Positions of curve points, levels, samples and grid lines, as the display computes them.
using plot::linearGridX;
using plot::logGridX;
using plot::scopeSampleX;
using plot::scopeValueY;
using plot::spectrumLevelY;
using plot::spectrumPointX;

// The way back, as continuous positions: the (fractional) point index a curve reaches at
// column x, and the level in dB at row y (the inverse of spectrumLevelY inside the pane).
double spectrumPointAt(const PlotPane& pane, std::int32_t x, std::int32_t points);
double spectrumLevelAt(const PlotPane& pane, std::int32_t y);
double scopeSampleAt(const PlotPane& pane, std::int32_t x);
double scopeValueAt(const PlotPane& pane, std::int32_t y);

// The equal-tempered note nearest `hz` (A4 = 440 Hz) and the distance to it in cents,
// as "A4 +0c"; empty for frequencies at or below 0.
std::string noteText(double hz);

// What the cursor at (x, y) reads in view `mode` (as the mode pins number the views): frequency,
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
