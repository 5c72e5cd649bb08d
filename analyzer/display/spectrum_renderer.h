// The two spectrum views: level curves of each active voice's frame over a level grid and
// a linear (1 to 20 kHz) or logarithmic (20 Hz to 20 kHz) frequency grid, with labels.
#pragma once

#include "analyzer/display/renderer.h"

namespace vex {

class SpectrumRenderer final : public Renderer {
public:
    // Non-zero: linear axis, 4100-byte frames of 512 points. Zero: logarithmic axis,
    // 4228-byte frames of 528 points.
    explicit SpectrumRenderer(std::int32_t linear) : linearAxis(linear) {}

    void render(GraphicsWrapper& graphics, RECT rect, const RenderState& state) override;

    // Frame size and points of this renderer's frames.
    std::int32_t frameSize() const;
    std::int32_t pointCount() const;

    // The pieces of render, for tests: the grid in one pane, the frequency labels in
    // {left, top, right, bottom}, the level labels in a rectangle.
    void drawGrid(GraphicsWrapper& graphics, RECT pane, const PenWrapper* pen) const;
    void drawFrequencyLabels(GraphicsWrapper& graphics, RECT rect, const RenderState& state) const;
    static void drawLevelLabels(GraphicsWrapper& graphics, RECT rect, const RenderState& state);

    // The points of one level curve as drawn: signal `signal` (0 or 1) of `frame` in
    // `pane`, pointCount() of them into `points`.
    void curvePoints(RECT pane, const std::uint8_t* frame, std::int32_t signal,
                     gdip::GpPoint* points) const;

    // Which vertical grid lines of a pane `width` pixels wide are full lines (bit i for
    // line i); the others are 10-pixel ticks.
    std::uint64_t fullGridLines(std::int32_t width) const;
    // Which frequency labels are drawn in a rectangle `width` pixels wide (bit i).
    std::uint64_t drawnLabels(std::int32_t width) const;

private:
    void drawCurve(GraphicsWrapper& graphics, RECT pane, const std::uint8_t* frame,
                   std::int32_t signal, const PenWrapper* pen) const;

    std::int32_t linearAxis;
};

} // namespace vex
