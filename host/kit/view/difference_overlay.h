// The difference drawn over the display's picture: a scale of its own (a 0 dB line and
// lines at ±6, ±12 and ±24 dB, labelled at the plot's right) and the curve through each
// point's column, with a gap wherever a point has no difference. The display's curves stay
// visible beneath: only the lines and labels are drawn. Used by the viewer's tools and by
// offline pictures of a difference.
#pragma once

#include "host/kit/view/paint_surface.h"
#include "host/kit/view/plot_axes.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vex::host {

class Pixels;

class DifferenceOverlay {
public:
    // The difference's scale spans ±kSpanDb over the pane's height, 0 dB in its middle.
    static constexpr double kSpanDb = 30.0;
    // The labelled lines, in dB.
    static constexpr double kLines[] = {24.0, 12.0, 6.0, 0.0, -6.0, -12.0, -24.0};

    // The row of `db` in `pane` (clamped to it), and the dB a row stands for.
    static std::int32_t rowOf(const PlotPane& pane, double db);
    static double dbAt(const PlotPane& pane, std::int32_t y);

    // Renders the labels (once per scale, by GDI+) for a surface drawn at `scale`; call before
    // a Pixels of the target surface exists.
    void prepare(double scale = 1.0);
    // Draws the scale and the curve in `pane`: `columns` holds the column of each point and
    // one past the last (points + 1 entries), `values` the difference of each point (NaN:
    // none). Call prepare() first.
    void draw(Pixels& pixels, const PlotPane& pane, const std::vector<std::int32_t>& columns,
              const std::vector<float>& values) const;

private:
    std::vector<std::unique_ptr<PaintSurface>> labels; // one per line of kLines
    double labelScale = 1.0;
};

} // namespace vex::host
