// The look of every spectrogram we draw (the windows' and a whole file's picture): a level's
// colour over a range of dB on a perceptual map that also reads in colour-blind vision, the
// colour scale beside the picture, and the frequency axis of a spectrum view stood upright
// with its labels as the display labels its own frequency axis.
//
// The axis uses the display's arithmetic (analyzer/display/plot_geometry.h) with the pane's
// height for its width, counted up from the pane's bottom: point k of a view lies as far
// above the pane's bottom as the display draws it right of its left edge, and a label's line
// as far up as the display's grid line of that frequency lies across. So a tone's row is where
// the axis labels put its frequency, in a picture of any size.
//
// Every length (bar, ticks, label font) is multiplied by AxisLook::scale; at 1 they are the
// display's pixels. Drawing runs on the thread that owns the surface.
#pragma once

#include "host/kit/frame_view.h"
#include "host/kit/view/paint_surface.h"
#include "host/kit/view/plot_axes.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <string>

namespace vex::host::spectrogram {

// Levels in dB: `low` and below take the map's first (darkest) colour, `high` and above its
// last (brightest).
struct LevelRange {
    double low = -70.0;
    double high = 7.0;
};
// The levels the display's spectrum pane spans, bottom to top: 7 dB down by 77 dB.
LevelRange displayRange();
// `range` made usable: low and high swapped when reversed, 1 dB apart at least; the
// display's range when either is not finite.
LevelRange validRange(LevelRange range);

// The map: 256 colours from dark blue through green to yellow, opaque 0xFFRRGGBB.
inline constexpr std::int32_t kMapColours = 256;
// Colour `index` of the map (clamped to 0..255).
std::uint32_t mapColour(std::int32_t index);
// The colour of `db` over `range` (NaN is taken as below it).
std::uint32_t levelColour(double db, LevelRange range);

// Level to colour for many pixels over one range: the arithmetic of levelColour folded into
// a scale and an offset.
class LevelColours {
public:
    explicit LevelColours(LevelRange range);
    std::uint32_t operator()(float db) const { return colours[indexOf(db, low, perDb)]; }
    // The map's index of `db` for a range starting at `low` with `perDb` indices per dB:
    // 256 steps over the range, the last from high on.
    static std::size_t indexOf(float db, float low, float perDb) {
        const float at = (db - low) * perDb;
        // Why the comparisons this way round: NaN fails both and takes the first colour.
        return at >= 1.0f ? static_cast<std::size_t>(at < 255.0f ? at : 255.0f) : 0u;
    }
    LevelRange range() const { return levels; }

private:
    LevelRange levels;
    float low;
    float perDb;
    std::array<std::uint32_t, kMapColours> colours;
};

// How axes and the colour scale are drawn: text and ticks in `ink` (0xAARRGGBB, the
// display's default label colour unless told), every length times `scale`.
struct AxisLook {
    std::uint32_t ink = 0xFF96A2B8u;
    double scale = 1.0;
};

// The frequency axis of spectrum view `view` at `sampleRate`, upright over the rows of
// `pane` (a plot pane: its outline on rows top and bottom, the points inside). Any view
// but the linear one is taken as the log one; a rate not above 0 as 48 kHz. The lines
// labelled are the display's for an axis as long as the pane's height over `scale` (the
// pixels a label's text takes grow with it).
class FrequencyAxis {
public:
    FrequencyAxis(View view, double sampleRate, const PlotPane& pane, double scale = 1.0);

    View view() const { return shown; }
    const PlotPane& pane() const { return area; }
    std::int32_t points() const { return pointsOf(shown); }
    // The row of point k (0..points() - 1): bottom - 1 for the first, rising.
    std::int32_t pointRow(std::int32_t k) const;
    // The (fractional) point read at row y, and its frequency; clamped to the points.
    double pointAt(std::int32_t y) const;
    double hzAt(std::int32_t y) const { return pointHz(shown, pointAt(y), rate); }
    // The row of the point nearest `hz`, or -1 when the view has no point there.
    std::int32_t hzRow(double hz) const;

    // The display's frequency grid: lines 0..gridLines() - 1 from the lowest up, the row
    // of each, its label ("20", "500", "1k", "12k") and whether the display labels it at
    // this pane's height.
    std::int32_t gridLines() const;
    std::int32_t gridRow(std::int32_t i) const;
    double gridHz(std::int32_t i) const;
    std::string gridLabel(std::int32_t i) const;
    bool labelled(std::int32_t i) const;

private:
    View shown;
    double rate;
    PlotPane area;
    // The display's horizontal pane of the same length: left 0, right the height.
    PlotPane across;
    double scale;
};

// The labels of `axis`, right-aligned to column `right` (left of the pane), each centred on
// its line's row, and a tick from `right` + 1 to the pane's left edge on that row (outside
// the pane, so a picture drawn inside it hides none).
void drawFrequencyLabels(PaintSurface& surface, const FrequencyAxis& axis, std::int32_t right,
                         const AxisLook& look = AxisLook());

// The width a colour scale takes: its bar, a gap and its labels.
std::int32_t colourScaleWidth(const AxisLook& look = AxisLook());
// A colour scale in `area`: a bar of the map as wide as 10 pixels times the scale, from
// range.low at the bottom row to range.high at the top, its labels in dB to its right every
// 3, 5, 10, 20 or 40 dB (the smallest step that keeps them apart).
void drawColourScale(PaintSurface& surface, const PlotPane& area, LevelRange range,
                     const AxisLook& look = AxisLook());

// The label step of a colour scale `height` pixels tall over `range`.
double colourScaleStep(LevelRange range, std::int32_t height, const AxisLook& look = AxisLook());

} // namespace vex::host::spectrogram
