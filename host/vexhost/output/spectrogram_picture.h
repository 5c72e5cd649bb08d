// The picture of `vexhost spectrogram`: the plot of levels as colours, a time axis in
// seconds under it, the view's frequency axis at its left, a colour scale at its right and
// the input's name above.
//
// Geometry (pixels; x to the right and y down from the picture's top-left corner):
// - the plot's top-left pixel is at (72, 32); it is `columns` wide and `rows` high, and the
//   picture is 72 + columns + 96 wide and 32 + rows + 40 high;
// - column c (0 at the left) stands for the input from fromSeconds + c * s to
//   fromSeconds + (c + 1) * s, s = (toSeconds - fromSeconds) / columns;
// - the frequency axis runs from point 0 of the view at the plot's bottom edge to point P
//   (528 log bands, 512 linear bins) at its top edge, evenly in points: row r counted from the
//   bottom (0 the lowest) stands for point (r + 0.5) * P / rows, whose frequency is
//   10 * 2^(point / 48) Hz in the log view and point * sampleRate / 1024 Hz in the linear one.
#pragma once

#include "host/kit/fine/fine_analysis.h"
#include "host/kit/frame_view.h"
#include "host/vexhost/output/render_views.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vex::host {

struct SpectrogramPlot {
    std::int32_t columns = 0;
    std::int32_t rows = 0;
    std::vector<float> levels; // dB, rows x columns, the top row first
    View view = View::kLog;
    Analysis analysis = Analysis::kModule;
    double sampleRate = 48000.0;
    double fromSeconds = 0.0;
    double toSeconds = 0.0;
    double low = -70.0; // dB at the colour scale's bottom (the first colour)
    double high = 7.0;  // dB at its top (the last)
    std::string title;
};

inline constexpr std::int32_t kSpectrogramLeft = 72;
inline constexpr std::int32_t kSpectrogramTop = 32;
inline constexpr std::int32_t kSpectrogramRight = 96;
inline constexpr std::int32_t kSpectrogramBottom = 40;

// The picture of `plot` (levels filled in). Throws HostError when no surface can be made.
Picture drawSpectrogram(const SpectrogramPlot& plot);

} // namespace vex::host
