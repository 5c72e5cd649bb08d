// The spectrogram's colours against the published map, levels over a range, the upright
// frequency axis against the display's own grid, and the frame history.
#include "host/kit/view/spectrogram_colours.h"
#include "host/kit/view/spectrogram_history.h"
#include "host/kit/view/viewer_tools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace vex::host {
namespace {

using spectrogram::FrequencyAxis;
using spectrogram::LevelRange;

// sRGB triples of the published viridis table, entries 0, 64, 128 and 255.
std::uint32_t published(double r, double g, double b) {
    const auto byte = [](double v) { return static_cast<std::uint32_t>(std::lround(v * 255.0)); };
    return 0xFF000000u | byte(r) << 16 | byte(g) << 8 | byte(b);
}

TEST(SpectrogramColours, TheMapAndLevelsOverARange) {
    EXPECT_EQ(spectrogram::mapColour(0), published(0.267004, 0.004874, 0.329415));
    EXPECT_EQ(spectrogram::mapColour(64), published(0.229739, 0.322361, 0.545706));
    EXPECT_EQ(spectrogram::mapColour(128), published(0.127568, 0.566949, 0.550556));
    EXPECT_EQ(spectrogram::mapColour(255), published(0.993248, 0.906157, 0.143936));
    EXPECT_EQ(spectrogram::mapColour(999), spectrogram::mapColour(255));

    // The display's pane spans 7 dB down by 77 dB.
    const LevelRange display = spectrogram::displayRange();
    EXPECT_NEAR(display.high, 7.0, 1e-5);
    EXPECT_NEAR(display.low, -70.0, 1e-4);

    const LevelRange range{-60.0, 0.0};
    const spectrogram::LevelColours colours(range);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(colours(-80.0f), spectrogram::mapColour(0));
    EXPECT_EQ(colours(nan), spectrogram::mapColour(0));
    EXPECT_EQ(colours(-inf), spectrogram::mapColour(0));
    EXPECT_EQ(colours(0.0f), spectrogram::mapColour(255));
    EXPECT_EQ(colours(inf), spectrogram::mapColour(255));
    // -30 dB is half way: 128 of 256 steps.
    EXPECT_EQ(colours(-30.0f), spectrogram::mapColour(128));
    EXPECT_EQ(spectrogram::levelColour(-30.0, range), colours(-30.0f));
    // Reversed, empty and not finite ranges are made usable.
    EXPECT_EQ(spectrogram::validRange({0.0, -60.0}).low, -60.0);
    EXPECT_EQ(spectrogram::validRange({-6.0, -6.0}).high, -5.0);
    EXPECT_EQ(spectrogram::validRange({nan, 0.0}).high, display.high);
}

TEST(SpectrogramAxis, RowsLieWhereTheLabelsSay) {
    // A pane of 575 rows (top 20, bottom 595): log band b is 10 * 2^(b / 48) Hz of 528.
    const PlotPane pane{20, 20, 1255, 595};
    const FrequencyAxis log(View::kLog, 48000.0, pane);
    EXPECT_EQ(log.pointRow(0), 594);
    EXPECT_GT(log.pointRow(527), 20);
    // 1 kHz is band 48 log2(100) = 318.9; the display's grid puts it at 0.5595 + 0.045 of
    // the axis: 347.6 rows up.
    ASSERT_EQ(log.gridLabel(17), "1k");
    EXPECT_NEAR(log.gridRow(17), 595 - 347.6, 1.0);
    EXPECT_NEAR(log.hzRow(1000.0), log.gridRow(17), 1.0);
    EXPECT_NEAR(log.hzAt(log.gridRow(17)), 1000.0, 1000.0 * (std::exp2(1.0 / 48.0) - 1.0));
    EXPECT_TRUE(log.labelled(17));
    EXPECT_EQ(log.gridLabel(0), "20");
    EXPECT_EQ(log.gridLabel(36), "20k");
    EXPECT_EQ(log.hzRow(0.0), -1);
    EXPECT_EQ(log.hzRow(5.0), -1);

    // Linear at 48 kHz: bin k is k * 48000 / 1024 Hz; 12 kHz is bin 256 of 512, half way.
    const FrequencyAxis linear(View::kLinear, 48000.0, pane);
    ASSERT_EQ(linear.gridLabel(11), "12k");
    EXPECT_NEAR(linear.gridRow(11), 595 - 1 - 0.5 * 574, 1.0);
    EXPECT_NEAR(linear.hzRow(12000.0), linear.gridRow(11), 1.0);
    EXPECT_NEAR(linear.hzAt(linear.gridRow(11)), 12000.0, 48000.0 / 1024.0);
}

// A frame of `points` points (4 + 8 * points bytes) with A at `a` and B at `b` on every
// point; a side absent when its level is NaN.
std::vector<std::uint8_t> frame(std::int32_t points, float a, float b) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(4 + 8 * points), 0);
    bytes[0] = std::isnan(a) ? 0 : 1;
    bytes[1] = std::isnan(b) ? 0 : 1;
    for (std::int32_t k = 0; k < points; ++k) {
        std::memcpy(bytes.data() + 4 + 8 * k, &a, 4);
        std::memcpy(bytes.data() + 8 + 8 * k, &b, 4);
    }
    return bytes;
}

TEST(SpectrogramHistory, ColumnsOfOneViewInARingThatGrows) {
    const float none = std::numeric_limits<float>::quiet_NaN();
    SpectrogramHistory history(3);
    const auto size = [](const std::vector<std::uint8_t>& f) {
        return static_cast<std::int32_t>(f.size());
    };
    // Log frames (528 points): A, or B where A is absent; neither is left out.
    for (std::int32_t i = 0; i < 5; ++i) {
        const auto f = frame(528, i == 4 ? none : -10.0f * i, -99.0f);
        ASSERT_TRUE(history.add(f.data(), size(f), 0.5 * i));
    }
    const auto empty = frame(528, none, none);
    EXPECT_FALSE(history.add(empty.data(), size(empty), 9.0));
    ASSERT_EQ(history.size(), 3);
    EXPECT_EQ(history.view(), 2);
    EXPECT_EQ(history.points(), 528);
    EXPECT_EQ(history.column(0)[527], -99.0f);
    EXPECT_EQ(history.time(0), 2.0);
    EXPECT_EQ(history.column(2)[0], -20.0f);
    EXPECT_EQ(history.time(2), 1.0);
    EXPECT_EQ(history.added(), 5u);

    // Growing keeps the columns, in order; shrinking keeps the room.
    history.reserve(10);
    history.reserve(2);
    EXPECT_EQ(history.capacity(), 10);
    ASSERT_EQ(history.size(), 3);
    EXPECT_EQ(history.column(1)[0], -30.0f);
    EXPECT_EQ(history.time(2), 1.0);

    // Lengths of no view and cut-short frames are left out; a linear frame (512 points)
    // starts over, and so does a scope frame (200 points).
    const std::uint8_t one = 1;
    EXPECT_FALSE(history.add(&one, 1, 3.0));
    EXPECT_FALSE(history.add(nullptr, 4228, 3.0));
    const auto odd = frame(100, 0.0f, 0.0f);
    EXPECT_FALSE(history.add(odd.data(), size(odd), 3.0));
    EXPECT_EQ(history.size(), 3);
    const auto linear = frame(512, -1.0f, none);
    EXPECT_TRUE(history.add(linear.data(), size(linear), 4.0));
    EXPECT_EQ(history.view(), 1);
    EXPECT_EQ(history.size(), 1);
    const auto scope = frame(200, 0.5f, 0.5f);
    EXPECT_FALSE(history.add(scope.data(), size(scope), 5.0));
    EXPECT_EQ(history.size(), 0);
    EXPECT_EQ(history.view(), -1);
}

// A log frame of a tone: -80 dB everywhere but -6 dB on the band of `hz` (A only).
std::vector<std::uint8_t> toneFrame(double hz) {
    auto bytes = frame(528, -80.0f, std::numeric_limits<float>::quiet_NaN());
    const auto band = static_cast<std::int32_t>(std::lround(48.0 * std::log2(hz / 10.0)));
    const float loud = -6.0f;
    std::memcpy(bytes.data() + 4 + 8 * band, &loud, 4);
    return bytes;
}

TEST(SpectrogramView, TheKeyTheToneSRowFreezeAndTheReadout) {
    ViewerTools tools(2, 48000.0);
    EXPECT_EQ(tools.key('w'), ToolChange::kSpectrogram);
    EXPECT_TRUE(tools.spectrogramShown());
    const auto tone = toneFrame(1000.0);
    const auto other = frame(528, -80.0f, -80.0f);
    for (std::int32_t i = 0; i < 30; ++i) {
        tools.take(1, other.data(), 4228, 0.05 * i); // not the highlighted voice
        tools.take(0, tone.data(), 4228, 0.05 * i);
    }
    EXPECT_EQ(tools.spectrogramHistory().size(), 30);
    tools.setFrozen(true);
    EXPECT_EQ(tools.take(0, tone.data(), 4228, 2.0), nullptr);
    EXPECT_EQ(tools.spectrogramHistory().size(), 30) << "freeze holds it";
    tools.setFrozen(false);

    PaintSurface surface(640, 360);
    tools.draw(surface, plotLayout(640, 360, true, false), false, 1.45);
    const SpectrogramView::Placement at = SpectrogramView::place(640, 360);
    const std::int32_t x = at.plot.right - 1; // the newest column
    const FrequencyAxis axis(View::kLog, 48000.0, at.plot);
    const std::int32_t row = axis.hzRow(1000.0);
    for (std::int32_t y = at.plot.top + 1; y < at.plot.bottom; ++y) {
        const std::uint32_t expected =
            y == row ? spectrogram::levelColour(-6.0, spectrogram::displayRange())
                     : spectrogram::levelColour(-80.0, spectrogram::displayRange());
        ASSERT_EQ(surface.pixel(x, y), expected) << "row " << y << ", the tone's " << row;
    }
    // 30 columns from the right; left of them the panel.
    EXPECT_EQ(surface.pixel(x - 29, row), surface.pixel(x, row));
    EXPECT_NE(surface.pixel(x - 30, row), surface.pixel(x, row));

    tools.pointerAt(x - 10, row);
    const std::string reading = tools.cursorText(plotLayout(640, 360, true, false), false);
    EXPECT_EQ(reading.rfind("0.50 s ago  ", 0), 0u) << reading;
    EXPECT_NE(reading.find("-6.0 dB"), std::string::npos) << reading;
    EXPECT_EQ(tools.key('l'), ToolChange::kSpectrogramRange);
    EXPECT_NE(tools.statusText().find("spectrogram 50 dB"), std::string::npos);
    // The strip's button is the key w.
    tools.setStripShown(true);
    tools.draw(surface, plotLayout(640, 360, true, false), false, 1.45);
    const PlotPane button = ViewerTools::stripButton(StripButton::kSpectrogram, 640, 360);
    EXPECT_EQ(tools.click(button.left + 1, button.top + 1), ToolChange::kSpectrogram);
    EXPECT_FALSE(tools.spectrogram());
    // At a scale of 2 (where surfaces scale): one column and row per pixel, the plot the
    // display's of 640 x 360 units with its edges doubled, less the scale's room.
    if (PaintSurface::kScales) {
        tools.key('w');
        tools.key('l');
        tools.key('l'); // back to the display's range
        PaintSurface doubled(1280, 720, 2.0);
        tools.draw(doubled, plotLayout(640, 360, true, false), false, 1.45);
        spectrogram::AxisLook look;
        look.scale = 2.0;
        const SpectrogramView::Placement at2 = SpectrogramView::place(1280, 720, look);
        EXPECT_EQ(at2.plot.left, 40);
        EXPECT_EQ(at2.plot.top, 40);
        EXPECT_EQ(at2.plot.bottom, 710);
        const FrequencyAxis axis2(View::kLog, 48000.0, at2.plot, 2.0);
        EXPECT_EQ(doubled.pixel(at2.plot.right - 1, axis2.hzRow(1000.0)),
                  spectrogram::levelColour(-6.0, spectrogram::displayRange()));
        EXPECT_TRUE(axis2.labelled(17)) << "1k, as at 335 rows";
        EXPECT_FALSE(axis2.labelled(19)) << "3k is not, as at 335 rows";
        tools.key('w');
    }
    // The strip fits one row at 640 pixels, as before the button.
    EXPECT_EQ(ViewerTools::stripButton(StripButton::kHelp, 640, 360).bottom, 352);
    EXPECT_EQ(ViewerTools::stripButton(StripButton::kPeakHold, 640, 360).bottom, 352);
}

} // namespace
} // namespace vex::host
