// The two views drawn into real pixels: grids, curves, traces and labels where the display
// puts them, on the worked examples of a 425 x 225 display and at the width boundaries.
#include "analyzer/audio/analyzer_messages.h"
#include "analyzer/display/scope_renderer.h"
#include "analyzer/display/spectrum_renderer.h"
#include "host/kit/view/paint_surface.h"
#include "tests/analyzer/display/pixel_helpers.h"
#include "tests/analyzer/display/test_frames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace vex {
namespace {

using test::boxOf;
using test::frameOf;
using test::PixelSet;
using test::pixelsOf;

constexpr std::uint32_t kTrace1 = 0xff00ff00u;
constexpr std::uint32_t kTrace2 = 0xffffff00u;
constexpr std::uint32_t kOther1 = 0xff008200u;
constexpr std::uint32_t kOther2 = 0xff828200u;
constexpr std::uint32_t kGrid = 0xff005000u;
constexpr std::uint32_t kLabel = 0xff00c800u;

// Changed pixels of `surface` inside [x0, x1) x [y0, y1).
PixelSet changedIn(const host::PaintSurface& surface, std::int32_t x0, std::int32_t y0,
                   std::int32_t x1, std::int32_t y1) {
    PixelSet out;
    for (const auto& p : test::changedPixels(surface)) {
        if (p.first >= x0 && p.first < x1 && p.second >= y0 && p.second < y1) {
            out.insert(p);
        }
    }
    return out;
}

// Resources in the display's initial colours, a frames pin, and a state built from them.
class RendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host::startGdiplus());
        state.trace1Pen = &trace1;
        state.trace2Pen = &trace2;
        state.trace1OtherPen = &other1;
        state.trace2OtherPen = &other2;
        state.gridPen = &grid;
        state.labelFont = &font;
        state.labelBrush = &brush;
        state.frames = &frames;
        state.frameTimes = frameTimes;
        state.recentSince = 1000;
    }

    void setFrame(std::int32_t voice, const std::vector<std::uint8_t>& bytes) {
        frames.setVoice(voice, static_cast<std::int32_t>(bytes.size()), bytes.data());
    }

    // Renders `renderer` over {0, 0, w, h} onto a fresh surface.
    void draw(Renderer& renderer, std::int32_t w = 425, std::int32_t h = 225) {
        surface = std::make_unique<host::PaintSurface>(w, h);
        GraphicsWrapper graphics(surface->dc());
        renderer.render(graphics, RECT{0, 0, w, h}, state);
        status = graphics.status;
    }

    std::uint32_t at(std::int32_t x, std::int32_t y) const { return surface->pixel(x, y); }

    // Rows y0..y1 of column x all of `colour`.
    bool column(std::int32_t x, std::int32_t y0, std::int32_t y1, std::uint32_t colour) const {
        for (std::int32_t y = y0; y <= y1; ++y) {
            if (at(x, y) != colour) {
                return false;
            }
        }
        return true;
    }
    bool row(std::int32_t y, std::int32_t x0, std::int32_t x1, std::uint32_t colour) const {
        for (std::int32_t x = x0; x <= x1; ++x) {
            if (at(x, y) != colour) {
                return false;
            }
        }
        return true;
    }

    PenWrapper trace1{kTrace1, 1.0f};
    PenWrapper trace2{kTrace2, 1.0f};
    PenWrapper other1{kOther1, 1.0f};
    PenWrapper other2{kOther2, 1.0f};
    PenWrapper grid{kGrid, 1.0f};
    FontWrapper font{MP_TEXT("Arial"), 9.0f, gdip::FontStyleBold, gdip::UnitPixel};
    BrushWrapper brush{kLabel};
    PerVoiceBlobPin frames;
    std::uint32_t frameTimes[kVoiceCount] = {};
    RenderState state;
    std::unique_ptr<host::PaintSurface> surface;
    std::int32_t status = 0;
};

TEST_F(RendererTest, LogSpectrumWorkedExample) {
    SpectrumRenderer log(0);
    state.labelsOn = true;
    state.gridOn = true;
    setFrame(0, frameOf(kLogBands, true, 0.0f, false, 0.0f));
    draw(log);
    EXPECT_EQ(status, 0);
    // Level lines of 0, -20, -40 and -60 dB across the plot {20, 20, 420, 220}.
    for (std::int32_t y : {32, 86, 140, 194}) {
        EXPECT_EQ(at(100, y), kGrid) << y;
        EXPECT_EQ(at(419, y), kGrid) << y;
    }
    // 20 Hz, 100 Hz, 1 kHz and 20 kHz are full lines at 400 pixels; 10 kHz is a tick.
    for (std::int32_t x : {56, 140, 261, 418}) {
        EXPECT_TRUE(column(x, 21, 31, kGrid)) << x;
        EXPECT_TRUE(column(x, 150, 219, kGrid)) << x;
    }
    EXPECT_TRUE(column(382, 21, 30, kGrid));
    EXPECT_EQ(at(382, 50), 0u);
    EXPECT_EQ(at(382, 31), 0u);
    // The pane outline: x 20 and 420, y 20 and 220.
    EXPECT_TRUE(column(20, 20, 220, kGrid));
    EXPECT_TRUE(column(420, 20, 220, kGrid));
    EXPECT_TRUE(row(220, 20, 420, kGrid));
    // 0 dB draws at y = 39 from point 0 at x = 21 to point 527 at x = 419, over the grid.
    EXPECT_TRUE(row(39, 21, 419, kTrace1));
    EXPECT_NE(at(20, 39), kTrace1);
    EXPECT_NE(at(420, 39), kTrace1);
    EXPECT_EQ(pixelsOf(*surface, kTrace1).size(), 399u);
}

TEST_F(RendererTest, LinearSpectrumLinesAndLevels) {
    SpectrumRenderer linear(1);
    state.labelsOn = true;
    state.gridOn = true;
    draw(linear);
    // Twenty full lines from 1 kHz at x = 38 to 20 kHz at x = 385.
    EXPECT_TRUE(column(38, 21, 219, kGrid));
    EXPECT_TRUE(column(385, 21, 219, kGrid));
    std::int32_t fullColumns = 0;
    for (std::int32_t x = 21; x < 420; ++x) {
        fullColumns += column(x, 21, 219, kGrid) ? 1 : 0;
    }
    EXPECT_EQ(fullColumns, 20);

    state.gridOn = false;
    state.labelsOn = true;
    struct Level {
        float db;
        std::int32_t y;
    };
    for (const Level& level :
         {Level{0.0f, 39}, Level{-20.0f, 91}, Level{-70.0f, 219}, Level{-130.758f, 219},
          Level{7.0f, 21}, Level{7.4f, 20}, Level{60.0f, 20}}) {
        setFrame(0, frameOf(kLinearBins, true, level.db, false, 0.0f));
        draw(linear);
        EXPECT_TRUE(row(level.y, 21, 419, kTrace1)) << level.db;
        EXPECT_EQ(pixelsOf(*surface, kTrace1).size(), 399u) << level.db;
    }
}

TEST_F(RendererTest, EachSpectrumViewDrawsOnlyFramesOfItsOwnSize) {
    SpectrumRenderer linear(1);
    SpectrumRenderer log(0);
    ScopeRenderer scope;
    setFrame(0, frameOf(kLogBands, true, 0.0f, true, 0.0f));
    draw(linear);
    EXPECT_TRUE(test::changedPixels(*surface).empty());
    draw(log);
    EXPECT_FALSE(pixelsOf(*surface, kTrace1).empty());
    draw(scope);
    EXPECT_TRUE(test::changedPixels(*surface).empty());

    setFrame(0, frameOf(kLinearBins, true, 0.0f, true, 0.0f));
    draw(log);
    EXPECT_TRUE(test::changedPixels(*surface).empty());
    draw(linear);
    EXPECT_FALSE(pixelsOf(*surface, kTrace1).empty());

    // Both presence bytes 0: nothing; one truncated byte: nothing.
    setFrame(0, frameOf(kLinearBins, false, 0.0f, false, 0.0f));
    draw(linear);
    EXPECT_TRUE(test::changedPixels(*surface).empty());
    std::vector<std::uint8_t> short1 = frameOf(kLinearBins, true, 0.0f, true, 0.0f);
    short1.pop_back();
    setFrame(0, short1);
    draw(linear);
    EXPECT_TRUE(test::changedPixels(*surface).empty());
    EXPECT_EQ(status, 0);
}

TEST_F(RendererTest, GridLinesAndLabelsThinOutByWidth) {
    SpectrumRenderer linear(1);
    SpectrumRenderer log(0);
    const auto isSet = [](std::uint64_t set, int i) { return ((set >> i) & 1u) != 0; };
    const auto count = [](std::uint64_t set) {
        int n = 0;
        for (; set != 0; set &= set - 1) {
            ++n;
        }
        return n;
    };
    // Linear grid: odd lines are ticks up to 250, 10..20 kHz (odd i from 9) up to 349.
    EXPECT_EQ(count(linear.fullGridLines(250)), 10);
    EXPECT_FALSE(isSet(linear.fullGridLines(250), 1));
    EXPECT_EQ(count(linear.fullGridLines(251)), 14);
    EXPECT_TRUE(isSet(linear.fullGridLines(251), 7));
    EXPECT_FALSE(isSet(linear.fullGridLines(349), 9));
    EXPECT_EQ(count(linear.fullGridLines(350)), 20);
    // Linear labels: at exactly 350, 10k, 12k .. 20k are left out.
    EXPECT_EQ(count(linear.drawnLabels(250)), 10);
    EXPECT_EQ(count(linear.drawnLabels(251)), 14);
    for (int i : {9, 11, 13, 15, 17, 19}) {
        EXPECT_FALSE(isSet(linear.drawnLabels(350), i)) << i;
    }
    EXPECT_TRUE(isSet(linear.drawnLabels(350), 10));
    EXPECT_EQ(count(linear.drawnLabels(351)), 20);

    // Log grid classes and their sizes at each boundary.
    const std::pair<int, int> gridCounts[] = {{250, 10},  {251, 12}, {400, 12},  {401, 19},
                                              {600, 19},  {601, 25}, {1000, 25}, {1001, 32},
                                              {2099, 32}, {2100, 37}};
    for (const auto& [width, full] : gridCounts) {
        EXPECT_EQ(count(log.fullGridLines(width)), full) << width;
    }
    const std::pair<int, int> labelCounts[] = {{180, 7},   {181, 10},  {250, 10},  {251, 12},
                                               {400, 12},  {401, 19},  {600, 19},  {601, 25},
                                               {1000, 25}, {1001, 32}, {2100, 32}, {2101, 37}};
    for (const auto& [width, drawn] : labelCounts) {
        EXPECT_EQ(count(log.drawnLabels(width)), drawn) << width;
    }
    // From 181 up, each label class equals the grid class of the same width.
    for (int width : {181, 300, 500, 800, 1500}) {
        EXPECT_EQ(log.drawnLabels(width), log.fullGridLines(width)) << width;
    }
    // 20 Hz and 20 kHz are always there.
    for (int width : {100, 180, 250, 400, 600, 1000, 2099, 3000}) {
        EXPECT_TRUE(isSet(log.fullGridLines(width), 0) && isSet(log.fullGridLines(width), 36));
        EXPECT_TRUE(isSet(log.drawnLabels(width), 0) && isSet(log.drawnLabels(width), 36));
    }
}

TEST_F(RendererTest, ALogGrid300PixelsWideHas12FullLinesAnd25Ticks) {
    SpectrumRenderer log(0);
    host::PaintSurface target(340, 140);
    GraphicsWrapper graphics(target.dc());
    const RECT pane{10, 10, 310, 110};
    log.drawGrid(graphics, pane, &grid);
    std::vector<std::int32_t> full;
    std::int32_t ticks = 0;
    for (std::int32_t x = 11; x < 310; ++x) {
        bool tick = true;
        for (std::int32_t y = 10; y <= 20; ++y) {
            tick = tick && target.pixel(x, y) == kGrid;
        }
        if (!tick) {
            continue;
        }
        if (target.pixel(x, 60) == kGrid && target.pixel(x, 109) == kGrid) {
            full.push_back(x - 10);
        } else {
            EXPECT_EQ(target.pixel(x, 21), 0u) << x;
            ++ticks;
        }
    }
    // 20, 30, 50, 100, 300, 700 Hz, 1, 2, 4, 6, 11 and 20 kHz.
    EXPECT_EQ(full,
              (std::vector<std::int32_t>{27, 43, 63, 90, 133, 167, 181, 208, 235, 251, 275, 299}));
    EXPECT_EQ(ticks, 25);
}

TEST_F(RendererTest, SplitPanesDrawSignalAAboveAndSignalBBelow) {
    SpectrumRenderer log(0);
    state.splitChannels = true;
    state.gridOn = true;
    state.labelsOn = true;
    setFrame(0, frameOf(kLogBands, true, 0.0f, true, 0.0f));
    draw(log);
    // Panes {20, 20, 420, 120} and {20, 120, 420, 220}: 0 dB lies 10 pixels into each.
    EXPECT_TRUE(row(30, 21, 419, kTrace1));
    EXPECT_TRUE(row(130, 21, 419, kTrace2));
    // Each pane has its own level lines: y = t + trunc(k h 0.27027026 + h 0.06).
    for (std::int32_t y : {26, 53, 80, 107, 126, 153, 180, 207}) {
        EXPECT_EQ(at(100, y), kGrid) << y;
    }
    // Level labels in both panes: "-20" of the lower pane sits about 5 pixels above its
    // line at 153 (text top 148.03, ink from row 149).
    const PixelSet lowerLeft = changedIn(*surface, 0, 140, 20, 165);
    ASSERT_FALSE(lowerLeft.empty());
    EXPECT_NEAR(boxOf(lowerLeft).top, 149, 1);
    EXPECT_EQ(status, 0);
}

TEST_F(RendererTest, LabelsSitWhereTheScalesSayWithinAPixel) {
    SpectrumRenderer log(0);
    state.labelsOn = true;
    draw(log);
    // Frequency labels on rows 5 .. 13 only; level labels left of the plot.
    const PixelSet top = changedIn(*surface, 0, 0, 425, 20);
    const PixelSet left = changedIn(*surface, 0, 20, 20, 225);
    EXPECT_EQ(test::changedPixels(*surface).size(), top.size() + left.size());
    EXPECT_NEAR(boxOf(top).top, 6, 1);
    EXPECT_NEAR(boxOf(top).bottom, 12, 1);
    // "20" at x = 400 * 0.0465 + 20 + 18 - 6 = 50.6: ink from about column 52.
    EXPECT_NEAR(boxOf(top).left, 52, 1);
    // " 0" at y = 20 + 12 - 5 = 27 (ink from row 28); "-60" at 27 + 162.16 (ink to 196).
    EXPECT_NEAR(boxOf(left).top, 28, 1);
    EXPECT_NEAR(boxOf(left).bottom, 196, 1);
    EXPECT_NEAR(boxOf(left).left, 4, 1);
    EXPECT_LT(boxOf(left).right, 20);

    // Without labels: the plot spans {5, 5, 420, 220} and no text is drawn.
    state.labelsOn = false;
    state.gridOn = true;
    draw(log);
    EXPECT_TRUE(changedIn(*surface, 0, 0, 425, 5).empty());
    EXPECT_TRUE(changedIn(*surface, 0, 0, 5, 225).empty());
    EXPECT_TRUE(column(5, 5, 220, kGrid));
    EXPECT_TRUE(row(5, 5, 420, kGrid));
}

TEST_F(RendererTest, ScopeWorkedExample) {
    ScopeRenderer scope;
    state.labelsOn = true;
    state.gridOn = true;
    setFrame(0, frameOf(kScopePoints, true, 0.5f, true, -0.5f));
    draw(scope);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(row(74, 21, 419, kTrace1));
    EXPECT_TRUE(row(166, 21, 419, kTrace2));
    EXPECT_NE(at(20, 74), kTrace1);
    EXPECT_NE(at(420, 74), kTrace1);
    // The vertical centre line from y = 20 to 219, the horizontal one at y = 120.
    EXPECT_TRUE(column(220, 20, 73, kGrid));
    EXPECT_TRUE(column(220, 75, 165, kGrid));
    EXPECT_TRUE(column(220, 167, 219, kGrid));
    EXPECT_EQ(at(220, 220), kGrid); // the outline's bottom edge
    EXPECT_EQ(at(220, 221), 0u);
    EXPECT_TRUE(row(120, 21, 419, kGrid));
    // Side ticks of -5 and 5 at y = 74 and 166 (under the traces), 8 pixels long; the tick
    // of 1 at y = 129, 4 pixels long.
    EXPECT_TRUE(row(129, 20, 24, kGrid));
    EXPECT_NE(at(25, 129), kGrid);
    EXPECT_TRUE(row(129, 416, 420, kGrid));
    EXPECT_EQ(at(20, 74), kGrid);
    EXPECT_EQ(at(20, 166), kGrid);

    // Amplitude labels "10" .. "-10" centred on their heights: "10" around y = 27 (text
    // top 21.8, ink rows 23..29), "-10" around 213 (ink rows 209..215).
    const PixelSet labels = changedIn(*surface, 0, 0, 20, 225);
    ASSERT_FALSE(labels.empty());
    EXPECT_NEAR(boxOf(labels).top, 23, 1);
    EXPECT_NEAR(boxOf(labels).bottom, 215, 1);
    EXPECT_NEAR(boxOf(labels).left, 4, 1);
}

TEST_F(RendererTest, ScopeSamplesScaleAndClampIntoThePane) {
    ScopeRenderer scope;
    state.labelsOn = true;
    struct Sample {
        float value;
        std::int32_t y;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const Sample& s :
         {Sample{0.0f, 120}, Sample{1.0f, 27}, Sample{2.0f, 20}, Sample{-2.0f, 219},
          Sample{inf, 20}, Sample{-inf, 219}, Sample{nan, 120}, Sample{1e30f, 20}}) {
        setFrame(0, frameOf(kScopePoints, true, s.value, false, 0.0f));
        draw(scope);
        EXPECT_TRUE(row(s.y, 21, 419, kTrace1)) << s.value;
        EXPECT_EQ(pixelsOf(*surface, kTrace1).size(), 399u) << s.value;
    }
    // Extreme levels in the spectrum clamp the same way; NaN lies on the floor.
    SpectrumRenderer log(0);
    for (const Sample& s : {Sample{inf, 20}, Sample{-inf, 219}, Sample{nan, 219}}) {
        setFrame(0, frameOf(kLogBands, true, s.value, false, 0.0f));
        draw(log);
        EXPECT_TRUE(row(s.y, 21, 419, kTrace1)) << s.value;
    }
}

TEST_F(RendererTest, ScopeGridTicksAndLabelsFollowThePaneHeight) {
    // 40 pixels high: ticks only at -10, -6, -2, 2, 6 and 10; 8 long at +-10.
    host::PaintSurface target(130, 70);
    GraphicsWrapper graphics(target.dc());
    ScopeRenderer::drawGrid(graphics, RECT{10, 10, 110, 50}, &grid);
    const std::int32_t lengths[] = {8, 4, 4, 4, 4, 8}; // A = 18.60465, centre 30
    const std::int32_t rows[] = {12, 19, 27, 33, 41, 48};
    for (int i = 0; i < 6; ++i) {
        for (std::int32_t x = 10; x <= 10 + lengths[i]; ++x) {
            EXPECT_EQ(target.pixel(x, rows[i]), kGrid) << rows[i];
        }
        EXPECT_EQ(target.pixel(11 + lengths[i], rows[i]), 0u) << rows[i];
        EXPECT_EQ(target.pixel(110 - lengths[i], rows[i]), kGrid) << rows[i];
    }
    for (std::int32_t y : {14, 16, 23, 37, 44}) { // -9, -8, -4, 4, 8
        EXPECT_EQ(target.pixel(12, y), 0u) << y;
    }
    EXPECT_EQ(target.pixel(60, 11), kGrid); // vertical centre line at l + 50
    EXPECT_EQ(target.pixel(60, 49), kGrid);

    // Label rectangles of 30 pixels get no labels, 31 get five.
    host::PaintSurface labels(60, 80);
    GraphicsWrapper painter(labels.dc());
    ScopeRenderer::drawAmplitudeLabels(painter, RECT{0, 0, 50, 30}, state);
    EXPECT_TRUE(test::changedPixels(labels).empty());
    ScopeRenderer::drawAmplitudeLabels(painter, RECT{0, 40, 50, 71}, state);
    EXPECT_FALSE(test::changedPixels(labels).empty());
    EXPECT_EQ(painter.status, 0);
}

TEST_F(RendererTest, VoiceActivityDecidesWhichVoicesAreDrawn) {
    SpectrumRenderer log(0);
    // Voices 2 (gated), 3 (recent frame), 4 (old frame, no gate), 5 (NaN gate), and the
    // selected voice 7 (neither), each with its own level.
    const std::int32_t voices[] = {2, 3, 4, 5, 7};
    const float levels[] = {0.0f, -20.0f, -40.0f, -50.0f, -60.0f};
    const std::int32_t rowsOf[] = {39, 91, 143, 169, 195};
    for (int i = 0; i < 5; ++i) {
        setFrame(voices[i], frameOf(kLogBands, true, levels[i], false, 0.0f));
    }
    state.labelsOn = true;
    state.gates[2] = 0.5f;
    state.gates[5] = std::numeric_limits<float>::quiet_NaN();
    frameTimes[3] = 1001;
    frameTimes[4] = 1000;
    state.selectedVoice = 7;

    state.followVoice = true;
    draw(log);
    EXPECT_TRUE(row(rowsOf[0], 21, 419, kOther1));
    EXPECT_TRUE(row(rowsOf[1], 21, 419, kOther1));
    EXPECT_TRUE(row(rowsOf[2], 21, 419, 0u));
    EXPECT_TRUE(row(rowsOf[3], 21, 419, kOther1));
    EXPECT_TRUE(row(rowsOf[4], 21, 419, 0u)); // selected but inactive

    // Active and selected: the main pens, drawn after the others.
    state.gates[7] = 1.0f;
    draw(log);
    EXPECT_TRUE(row(rowsOf[4], 21, 419, kTrace1));

    // Not following: only the selected voice, whatever the others do.
    state.followVoice = false;
    state.gates[7] = 0.0f;
    draw(log);
    EXPECT_TRUE(row(rowsOf[4], 21, 419, kTrace1));
    EXPECT_TRUE(pixelsOf(*surface, kOther1).empty());
    EXPECT_EQ(changedIn(*surface, 20, 20, 425, 225).size(), 399u);

    // isActiveVoice at the edges of its input.
    EXPECT_FALSE(isActiveVoice(state, -1));
    EXPECT_FALSE(isActiveVoice(state, kVoiceCount));
    EXPECT_TRUE(isActiveVoice(state, 3));
    EXPECT_FALSE(isActiveVoice(state, 4));
}

TEST_F(RendererTest, SignalBIsDrawnBeforeSignalA) {
    // In one pane, A's curve covers B's where they meet.
    ScopeRenderer scope;
    setFrame(0, frameOf(kScopePoints, true, 0.25f, true, 0.25f));
    draw(scope);
    EXPECT_FALSE(pixelsOf(*surface, kTrace1).empty());
    EXPECT_TRUE(pixelsOf(*surface, kTrace2).empty());
}

TEST_F(RendererTest, LabelTextsUseTheFieldWidth) {
    MpChar text[16];
    EXPECT_EQ(formatLabel(0.0f, false, text), 2);
    EXPECT_EQ(MpString(text), MpString(MP_TEXT(" 0")));
    formatLabel(-60.0f, false, text);
    EXPECT_EQ(MpString(text), MpString(MP_TEXT("-60")));
    formatLabel(1.0f, true, text);
    EXPECT_EQ(MpString(text), MpString(MP_TEXT(" 1k")));
    formatLabel(20.0f, true, text);
    EXPECT_EQ(MpString(text), MpString(MP_TEXT("20k")));
    formatLabel(900.0f, false, text);
    EXPECT_EQ(MpString(text), MpString(MP_TEXT("900")));
}

} // namespace
} // namespace vex
