// The spectrogram a window shows instead of the display's spectrum: the history of the
// highlighted voice's frames as columns, newest at the right, the frequency axis of the
// view upright on the left (labelled as the display labels it) and the colour scale on the
// right, over the display's plot (host/kit/view/spectrogram_colours.h). The picture is kept
// between paints: a paint colours only the columns that came since the last one and copies
// the rest. Runs on the thread that shows the window.
#pragma once

#include "host/kit/frame_view.h"
#include "host/kit/view/paint_surface.h"
#include "host/kit/view/plot_axes.h"
#include "host/kit/view/spectrogram_colours.h"
#include "host/kit/view/spectrogram_history.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vex::host {

// The colour ranges the key steps through: the display's levels, a narrower range that
// hides the noise floor and a wider one down to the analysis's floor.
enum class SpectrogramRange : std::int32_t { kDisplay = 0, kNarrow, kWide };
spectrogram::LevelRange spectrogramLevels(SpectrogramRange range);
// "77 dB", "50 dB", "127 dB": the span, as the strip's button and the status line name it.
std::string spectrogramRangeName(SpectrogramRange range);

class SpectrogramView {
public:
    // Where the spectrogram lies in a window of width x height pixels drawn at look.scale:
    // the plot pane of its columns (outline included, as the display's panes: the display's
    // plot in units, its edges scaled, less the colour scale's room) and the colour scale's
    // area, in pixels.
    struct Placement {
        PlotPane plot;
        PlotPane scale;
    };
    static Placement place(std::int32_t width, std::int32_t height,
                           const spectrogram::AxisLook& look = spectrogram::AxisLook());

    SpectrogramView();

    // How its axis and colour scale are drawn (their colour; their scale is the surface's);
    // the next paint lays the picture out anew.
    void setAxisLook(const spectrogram::AxisLook& axisLook);

    SpectrogramHistory& history() { return frames; }
    const SpectrogramHistory& history() const { return frames; }

    // Paints the whole of `surface`: the background, the columns of view `view` at
    // `sampleRate` over `range`, the axis and the colour scale, at the surface's scale (one
    // column and row per pixel; the axis's text and lengths scaled). The history is made to
    // hold at least the plot's width and 10 s of frames.
    void paint(PaintSurface& surface, View view, double sampleRate, SpectrogramRange range);
    // Where the last paint laid the spectrogram out, in pixels; its plot in the window's
    // units (pixels over the scale), as the tools draw over it.
    const Placement& placed() const { return placement; }
    PlotPane placedInUnits() const;
    // The reading at unit (x, y) of the last paint's window at `seconds` of audio: how long
    // ago the column's frame came, the frequency, note and level there; empty off the
    // columns.
    std::string readout(std::int32_t x, std::int32_t y, double seconds) const;

private:
    struct Geometry {
        std::int32_t width = 0;
        std::int32_t height = 0;
        View view = View::kScope;
        double rate = 0.0;
        SpectrogramRange range = SpectrogramRange::kDisplay;
        double scale = 1.0;
        bool operator==(const Geometry& other) const {
            return width == other.width && height == other.height && view == other.view &&
                   rate == other.rate && range == other.range && scale == other.scale;
        }
    };

    void arrange(const Geometry& wanted);
    void drawFrame();
    void update();
    void colourColumn(std::int32_t back, std::int32_t slot);
    float rowLevel(const float* column, std::int32_t row) const;

    SpectrogramHistory frames;
    spectrogram::AxisLook look;
    Geometry shown;
    Placement placement;
    std::unique_ptr<spectrogram::FrequencyAxis> axis;
    std::unique_ptr<spectrogram::LevelColours> colours;
    std::unique_ptr<PaintSurface> frame; // background, axis and scale, drawn once
    // The points each row of the columns shows (their loudest): first and last, by row
    // from the top inside the plot's outline.
    std::vector<std::int32_t> firstPoint;
    std::vector<std::int32_t> lastPoint;
    // The coloured columns, a ring of `columns` slots per row; `head` the newest's slot.
    std::int32_t columns = 0;
    std::int32_t rows = 0;
    std::int32_t head = 0;
    std::vector<std::uint32_t> image;
    std::uint64_t drawnAdded = 0;
    std::uint64_t drawnRestarts = ~std::uint64_t{0};
};

} // namespace vex::host
