#include "analyzer/display/spectrum_renderer.h"

#include "analyzer/audio/analyzer_messages.h"

namespace vex {

namespace {

using plot::kAxisOffset;
using plot::kLevelSpacing;
using plot::kLinearLabelSpacing;
using plot::kZeroDbOffset;
using plot::LogFrequencyGrid;
using plot::truncateClamped;

constexpr std::int32_t kTickLength = 10;

// Bit sets of grid and label indices.
constexpr std::uint64_t bits(std::initializer_list<int> indices) {
    std::uint64_t out = 0;
    for (int i : indices) {
        out |= std::uint64_t{1} << i;
    }
    return out;
}
constexpr std::uint64_t kAll37 = (std::uint64_t{1} << 37) - 1;
constexpr std::uint64_t kAll20 = (std::uint64_t{1} << 20) - 1;
constexpr std::uint64_t kOdd20 = bits({1, 3, 5, 7, 9, 11, 13, 15, 17, 19});

// Indices: 0..7 are 20..90 Hz, 8..16 are 100..900 Hz, 17..36 are 1..20 kHz.
constexpr std::uint64_t kLogNarrowest = bits({0, 3, 9, 16, 18, 22, 36});
constexpr std::uint64_t kLogNarrow = bits({0, 2, 6, 9, 13, 17, 19, 21, 25, 36});
constexpr std::uint64_t kLogMedium = bits({0, 1, 3, 8, 10, 14, 17, 18, 20, 22, 27, 36});
constexpr std::uint64_t kLogWide =
    bits({0, 1, 2, 3, 5, 8, 9, 10, 12, 15, 17, 18, 19, 20, 21, 23, 26, 30, 36});
constexpr std::uint64_t kLogWider = bits(
    {0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 13, 15, 17, 18, 19, 20, 21, 22, 23, 24, 26, 29, 32, 36});
constexpr std::uint64_t kLogWidest = kAll37 & ~bits({27, 29, 31, 33, 35}); // no odd kHz above 10k

// The log axis's grid lines or labels for a width: the sets grow with the width; the one
// without odd kHz above 10k lasts up to `widestUpTo` pixels (lines and labels part there by
// one pixel).
std::uint64_t logAxisSet(std::int32_t width, std::int32_t widestUpTo) {
    if (width <= 250) {
        return kLogNarrow;
    }
    if (width <= 400) {
        return kLogMedium;
    }
    if (width <= 600) {
        return kLogWide;
    }
    if (width <= 1000) {
        return kLogWider;
    }
    if (width <= widestUpTo) {
        return kLogWidest;
    }
    return kAll37;
}

} // namespace

std::int32_t SpectrumRenderer::frameSize() const {
    return linearAxis != 0 ? kLinearSpectrumPayloadSize : kLogSpectrumPayloadSize;
}

std::int32_t SpectrumRenderer::pointCount() const {
    return linearAxis != 0 ? kLinearBins : kLogBands;
}

std::uint64_t SpectrumRenderer::fullGridLines(std::int32_t width) const {
    if (linearAxis != 0) {
        if (width <= 250) {
            return kAll20 & ~kOdd20;
        }
        if (width <= 349) {
            return kAll20 & ~bits({9, 11, 13, 15, 17, 19});
        }
        return kAll20;
    }
    return logAxisSet(width, 2099);
}

std::uint64_t SpectrumRenderer::drawnLabels(std::int32_t width) const {
    if (linearAxis != 0) {
        if (width <= 250) {
            return kAll20 & ~kOdd20;
        }
        if (width <= 350) {
            return bits({0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 12, 14, 16, 18});
        }
        return kAll20;
    }
    if (width <= 180) {
        return kLogNarrowest;
    }
    return logAxisSet(width, 2100);
}

void SpectrumRenderer::render(GraphicsWrapper& graphics, RECT rect, const RenderState& state) {
    const PlotLayout layout(rect, state);
    drawPaneGrids(layout, state, [&](RECT pane) { drawGrid(graphics, pane, state.gridPen); });
    drawVoices(layout, state, frameSize(),
               [&](RECT pane, const std::uint8_t* frame, std::int32_t signal,
                   const PenWrapper* pen) { drawCurve(graphics, pane, frame, signal, pen); });
    if (state.labelsOn) {
        drawFrequencyLabels(
            graphics, RECT{rect.left + 20, rect.top + 5, rect.right - 5, rect.bottom - 5}, state);
        drawPaneLabels(rect, layout, state,
                       [&](RECT area) { drawLevelLabels(graphics, area, state); });
    }
}

void SpectrumRenderer::drawCurve(GraphicsWrapper& graphics, RECT pane, const std::uint8_t* frame,
                                 std::int32_t signal, const PenWrapper* pen) const {
    // Why on the stack: no allocation while painting.
    gdip::GpPoint points[kLogBands > kLinearBins ? kLogBands : kLinearBins];
    curvePoints(pane, frame, signal, points);
    graphics.drawLines(pen, points, pointCount());
}

void SpectrumRenderer::curvePoints(RECT pane, const std::uint8_t* frame, std::int32_t signal,
                                   gdip::GpPoint* points) const {
    const std::int32_t n = pointCount();
    for (std::int32_t k = 0; k < n; ++k) {
        const float level = frameFloat(frame, kPayloadHeaderSize + sizeof(PayloadRecord) * k +
                                                  sizeof(float) * signal);
        points[k].X = plot::spectrumPointX(pane, k, n);
        points[k].Y = plot::spectrumLevelY(pane, level);
    }
}

void SpectrumRenderer::drawGrid(GraphicsWrapper& graphics, RECT pane, const PenWrapper* pen) const {
    if (pane.bottom <= pane.top) {
        return;
    }
    const std::int32_t h = pane.bottom - pane.top;
    const std::int32_t w = pane.right - pane.left;
    // Why the float step: the 0 dB offset is a 32-bit product before it is added.
    const float zeroDb = static_cast<float>(h) * kZeroDbOffset;
    for (std::int32_t k = 0; k < 4; ++k) {
        const double offset = static_cast<double>(k) * h * static_cast<double>(kLevelSpacing) +
                              static_cast<double>(zeroDb);
        const auto y = static_cast<std::int32_t>(pane.top + truncateClamped(offset));
        graphics.drawLine(pen, pane.left, y, pane.right, y);
    }
    const std::uint64_t full = fullGridLines(w);
    const std::int32_t count = linearAxis != 0 ? plot::kLinearGridLines : plot::kLogGridLines;
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t x =
            linearAxis != 0 ? plot::linearGridX(pane, i) : plot::logGridX(pane, i);
        const bool isFull = (full >> i) & 1u;
        const std::int32_t low = isFull ? pane.bottom - 1 : pane.top + kTickLength;
        graphics.drawLine(pen, x, low, x, pane.top);
    }
    graphics.drawRectangle(pen, pane.left, pane.top, w, h);
}

void SpectrumRenderer::drawFrequencyLabels(GraphicsWrapper& graphics, RECT rect,
                                           const RenderState& state) const {
    const std::int32_t w = rect.right - rect.left;
    const std::uint64_t drawn = drawnLabels(w);
    const std::int32_t count = linearAxis != 0 ? plot::kLinearGridLines : plot::kLogGridLines;
    MpChar text[16];
    for (std::int32_t i = 0; i < count; ++i) {
        if (((drawn >> i) & 1u) == 0) {
            continue;
        }
        double x;
        std::int32_t length;
        if (linearAxis != 0) {
            x = static_cast<double>(i) * w * static_cast<double>(kLinearLabelSpacing) + rect.left +
                static_cast<double>(w) * static_cast<double>(kAxisOffset) - 10.0;
            length = formatLabel(static_cast<float>(i + 1), true, text);
        } else {
            x = static_cast<double>(w) * static_cast<double>(LogFrequencyGrid[i]) + rect.left +
                static_cast<double>(w) * static_cast<double>(kAxisOffset) - 6.0;
            if (i <= 7) {
                length = formatLabel(static_cast<float>((i + 2) * 10), false, text);
            } else if (i <= 16) {
                length = formatLabel(static_cast<float>((i - 7) * 100), false, text);
            } else {
                length = formatLabel(static_cast<float>(i - 16), true, text);
            }
        }
        graphics.drawText(text, length, state.labelFont, static_cast<float>(x),
                          static_cast<float>(rect.top), state.labelBrush);
    }
}

void SpectrumRenderer::drawLevelLabels(GraphicsWrapper& graphics, RECT rect,
                                       const RenderState& state) {
    if (rect.bottom <= rect.top) {
        return;
    }
    const std::int32_t h = rect.bottom - rect.top;
    const float zeroDb = static_cast<float>(h) * kZeroDbOffset;
    MpChar text[16];
    for (std::int32_t k = 0; k < 4; ++k) {
        const std::int32_t length = formatLabel(static_cast<float>(-20 * k), false, text);
        const double y = rect.top + static_cast<double>(zeroDb) +
                         static_cast<double>(k) * h * static_cast<double>(kLevelSpacing) - 5.0;
        graphics.drawText(text, length, state.labelFont, static_cast<float>(rect.left + 2),
                          static_cast<float>(y), state.labelBrush);
    }
}

} // namespace vex
