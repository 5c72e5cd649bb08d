// The scope view: the 200-sample traces of each active voice's frame over an amplitude
// grid, with amplitude labels from -10 to 10 (tenths of the unit drawn 20/43 of the pane
// height above the centre line).
#pragma once

#include "analyzer/display/renderer.h"

namespace vex {

class ScopeRenderer final : public Renderer {
public:
    void render(GraphicsWrapper& graphics, RECT rect, const RenderState& state) override;

    // The pieces of render, for tests.
    static void drawGrid(GraphicsWrapper& graphics, RECT pane, const PenWrapper* pen);
    static void drawAmplitudeLabels(GraphicsWrapper& graphics, RECT rect, const RenderState& state);

private:
    static void drawTrace(GraphicsWrapper& graphics, RECT pane, const std::uint8_t* frame,
                          std::int32_t signal, const PenWrapper* pen);
};

} // namespace vex
