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

} // namespace

std::int32_t SpectrumRenderer::frameSize() const {
    return linearAxis != 0 ? kLinearSpectrumPayloadSize : kLogSpectrumPayloadSize;
}

std::int32_t SpectrumRenderer::pointCount() const {
    return linearAxis != 0 ? kLinearBins : kLogBands;
}

std::uint64_t SpectrumRenderer::fullGridLines(std::int32_t width) const {
    return plot::fullFrequencyGridLines(linearAxis != 0, width);
}

std::uint64_t SpectrumRenderer::drawnLabels(std::int32_t width) const {
    return plot::frequencyLabels(linearAxis != 0, width);
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
