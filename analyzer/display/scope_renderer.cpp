#include "analyzer/display/scope_renderer.h"

#include "analyzer/audio/analyzer_messages.h"

namespace vex {

namespace {

using plot::kAmplitudeScale;
using plot::truncateClamped;
constexpr float kGridStep = plot::kAmplitudeGridStep;
constexpr float kHalf = 0.5f;
constexpr float kLabelIndent = 2.0f;

} // namespace

void ScopeRenderer::render(GraphicsWrapper& graphics, RECT rect, const RenderState& state) {
    const PlotLayout layout(rect, state);
    drawPaneGrids(layout, state, [&](RECT pane) { drawGrid(graphics, pane, state.gridPen); });
    drawVoices(layout, state, kScopePayloadSize,
               [&](RECT pane, const std::uint8_t* frame, std::int32_t signal,
                   const PenWrapper* pen) { drawTrace(graphics, pane, frame, signal, pen); });
    if (state.labelsOn) {
        drawPaneLabels(rect, layout, state,
                       [&](RECT area) { drawAmplitudeLabels(graphics, area, state); });
    }
}

void ScopeRenderer::drawTrace(GraphicsWrapper& graphics, RECT pane, const std::uint8_t* frame,
                              std::int32_t signal, const PenWrapper* pen) {
    // Why on the stack: no allocation while painting.
    gdip::GpPoint points[kScopePoints];
    for (std::int32_t k = 0; k < kScopePoints; ++k) {
        const float sample = frameFloat(frame, kPayloadHeaderSize + sizeof(PayloadRecord) * k +
                                                   sizeof(float) * signal);
        points[k].X = plot::scopeSampleX(pane, k);
        points[k].Y = plot::scopeValueY(pane, sample);
    }
    graphics.drawLines(pen, points, kScopePoints);
}

void ScopeRenderer::drawGrid(GraphicsWrapper& graphics, RECT pane, const PenWrapper* pen) {
    const std::int32_t h = pane.bottom - pane.top;
    const std::int32_t w = pane.right - pane.left;
    const std::int32_t hh = h / 2;
    const std::int32_t hw = w / 2;
    // Why the float step: the grid's unit height is a 32-bit product.
    const float amplitude = kAmplitudeScale * static_cast<float>(h);
    const std::int32_t step = h >= 50 ? 1 : 4;
    for (std::int32_t v = -10; v < 11; v += step) {
        const std::int32_t length = v % 5 == 0 ? 8 : 4;
        const double offset = static_cast<double>(v) * static_cast<double>(amplitude) *
                              static_cast<double>(kGridStep);
        const auto y = static_cast<std::int32_t>(pane.top + hh + truncateClamped(offset));
        graphics.drawLine(pen, pane.left, y, pane.left + length, y);
        graphics.drawLine(pen, pane.right - length, y, pane.right, y);
    }
    graphics.drawLine(pen, pane.left, pane.top + hh, pane.right, pane.top + hh);
    graphics.drawLine(pen, pane.left + hw, pane.top, pane.left + hw, pane.bottom - 1);
    graphics.drawRectangle(pen, pane.left, pane.top, w, h);
}

void ScopeRenderer::drawAmplitudeLabels(GraphicsWrapper& graphics, RECT rect,
                                        const RenderState& state) {
    const std::int32_t h = rect.bottom - rect.top;
    if (h <= 30) {
        return;
    }
    const std::int32_t hh = h / 2;
    const double amplitude = static_cast<double>(kAmplitudeScale) * h;
    const double fontHeight = graphics.fontHeight(state.labelFont);
    MpChar text[16];
    for (std::int32_t v = -10; v <= 10; v += 5) {
        const std::int32_t length = formatLabel(static_cast<float>(v), false, text);
        const double y = (rect.top + hh) - v * amplitude * static_cast<double>(kGridStep) -
                         fontHeight * static_cast<double>(kHalf);
        graphics.drawText(text, length, state.labelFont,
                          static_cast<float>(rect.left + static_cast<double>(kLabelIndent)),
                          static_cast<float>(y), state.labelBrush);
    }
}

} // namespace vex
