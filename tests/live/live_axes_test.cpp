// The host's reading of the display's axes: the vertical grid lines it computes lie on the
// columns the display object really draws them on, and the cursor readings at known
// positions, worked out by hand from the display's geometry.
#include "host/kit/module_library.h"
#include "host/kit/view/display_session.h"
#include "host/kit/view/plot_axes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace vex::host {
namespace {

constexpr std::uint32_t kGridArgb = 0xFFFF00FFu;

// Columns of row `y` drawn in the grid colour.
std::set<std::int32_t> gridColumns(const PaintSurface& surface, std::int32_t y) {
    std::set<std::int32_t> columns;
    for (std::int32_t x = 0; x < surface.width(); ++x) {
        if (surface.pixel(x, y) == kGridArgb) {
            columns.insert(x);
        }
    }
    return columns;
}

// Paints the display object with only its grid (no labels, no traces) at a size and view.
std::set<std::int32_t> drawnGrid(std::int32_t mode, std::int32_t width, std::int32_t height,
                                 PlotPane& pane) {
    ModuleLibrary library;
    EXPECT_TRUE(library.load(defaultModulePath())) << library.error();
    DisplayLook look;
    look.width = width;
    look.height = height;
    look.grid = "RGB(255,0,255)";
    DisplaySession session(*library.factory(), mode, look, 1, 48000.0);
    PaintSurface surface(width, height);
    session.paint(surface, 0);
    pane = plotLayout(width, height, false, false).paneA;
    // A row below the ticks and above the level lines' lowest: full lines only, plus the
    // outline's two sides.
    return gridColumns(surface, pane.bottom - 2);
}

TEST(LiveAxes, LogGridLinesLieOnTheColumnsTheDisplayDraws) {
    for (const std::int32_t width : {425, 640, 1300, 2400}) {
        PlotPane pane;
        const std::set<std::int32_t> drawn = drawnGrid(2, width, 300, pane);
        std::set<std::int32_t> computed = {pane.left, pane.right};
        // Full lines at these widths (the others are ticks and do not reach this row):
        // 20 Hz, 100 Hz, 1 kHz, 10 kHz and 20 kHz are full at every width here.
        for (const std::int32_t i : {0, 8, 17, 26, 36}) {
            computed.insert(logGridX(pane, i));
        }
        for (const std::int32_t x : computed) {
            EXPECT_EQ(drawn.count(x), 1u) << "width " << width << ", column " << x;
        }
        // Every drawn column is one of the 37 lines or an outline side.
        std::set<std::int32_t> all = {pane.left, pane.right};
        for (std::int32_t i = 0; i < 37; ++i) {
            all.insert(logGridX(pane, i));
        }
        for (const std::int32_t x : drawn) {
            EXPECT_EQ(all.count(x), 1u) << "width " << width << ", drawn column " << x;
        }
    }
}

TEST(LiveAxes, LinearGridLinesLieOnTheColumnsTheDisplayDraws) {
    PlotPane pane;
    const std::set<std::int32_t> drawn = drawnGrid(1, 640, 300, pane);
    std::set<std::int32_t> computed = {pane.left, pane.right};
    for (std::int32_t i = 0; i < 20; ++i) {
        computed.insert(linearGridX(pane, i));
    }
    EXPECT_EQ(drawn, computed);
}

TEST(LiveAxes, TheLogCurveReachesEachGridFrequencyWithinAPixelOfItsLine) {
    // Grid frequencies: 20..90, 100..900, 1k..20k.
    std::vector<double> hz;
    for (int f = 20; f <= 90; f += 10) {
        hz.push_back(f);
    }
    for (int f = 100; f <= 900; f += 100) {
        hz.push_back(f);
    }
    for (int f = 1000; f <= 20000; f += 1000) {
        hz.push_back(f);
    }
    ASSERT_EQ(hz.size(), 37u);
    for (const std::int32_t width : {300, 640, 1900}) {
        const PlotPane pane = plotLayout(width, 300, true, false).paneA;
        for (std::int32_t i = 0; i < 37; ++i) {
            const std::int32_t x = logGridX(pane, i);
            const double read =
                readCursor(2, plotLayout(width, 300, true, false), false, x, pane.top + 50, 48000.0)
                    .hz;
            // The reading on the line's column, mapped back through the curve, lands on it.
            const double point = 48.0 * std::log2(read / 10.0);
            const auto back = static_cast<std::int32_t>(
                pane.left + 1 + point * (pane.right - pane.left - 1) / 528.0);
            EXPECT_LE(std::abs(back - x), 1) << hz[static_cast<std::size_t>(i)] << " Hz";
            EXPECT_NEAR(read, hz[static_cast<std::size_t>(i)],
                        hz[static_cast<std::size_t>(i)] * 0.03)
                << "width " << width;
        }
    }
}

TEST(LiveAxes, ReadingsAtWorkedPositions) {
    // 640 x 360 with labels: plot {20, 20, 635, 355}, w = 615, h = 335.
    const PlotLayout layout = plotLayout(640, 360, true, false);
    EXPECT_EQ(layout.paneA.left, 20);
    EXPECT_EQ(layout.paneA.bottom, 355);
    // Column 391: log points 319 (ceil(370 * 528 / 614) = 319, ceil(371 * 528 / 614) = 320),
    // 10 * 2^(319/48) = 1001.37 Hz, MIDI 83.237: B5 +24 cents. Row 130: 109 rows below
    // t + 1, the middle of that row's run: 7 - 109.5 * 77 / 335 = -18.17 dB.
    const CursorReading log = readCursor(2, layout, false, 391, 130, 48000.0);
    EXPECT_TRUE(log.inside);
    EXPECT_EQ(log.text, "1001 Hz  B5 +24c  -18.2 dB");
    // Linear: column 391 holds points from ceil(370 * 512 / 614) = 309 to 309, so bin 309:
    // 309 * 48000 / 1024 = 14484.4 Hz, MIDI 129.49: A9 +49 cents. Row 21: 7.0 dB.
    EXPECT_EQ(readCursor(1, layout, false, 391, 21, 48000.0).text, "14484 Hz  A9 +49c  7.0 dB");
    // Scope: column 120 is sample (120 - 21) / (614 * 0.0050226017) = 32.10, at 48 kHz
    // 0.669 ms; row 100 is 87 rows above the centre row 20 + 335 / 2 = 187:
    // 87 / (0.46511626 * 335) = +0.558.
    EXPECT_EQ(readCursor(0, layout, false, 120, 100, 48000.0).text, "0.669 ms  +0.558");
    // Outside the plot: nothing.
    EXPECT_FALSE(readCursor(2, layout, false, 5, 100, 48000.0).inside);
    // Split: the lower pane reads signal B.
    const PlotLayout split = plotLayout(640, 360, true, true);
    EXPECT_EQ(readCursor(2, split, true, 391, 300, 48000.0).signal, 1);
    EXPECT_EQ(readCursor(2, split, true, 391, 100, 48000.0).signal, 0);
}

TEST(LiveAxes, NoteNames) {
    EXPECT_EQ(noteText(440.0), "A4 +0c");
    EXPECT_EQ(noteText(261.6256), "C4 +0c");
    EXPECT_EQ(noteText(27.5), "A0 +0c");
    EXPECT_EQ(noteText(450.0), "A4 +39c");
    EXPECT_EQ(noteText(1975.533), "B6 +0c");
    EXPECT_EQ(noteText(0.0), "");
}

} // namespace
} // namespace vex::host
