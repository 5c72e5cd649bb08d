// What a view of the analyzer display draws with: the per-paint state and the renderer
// interface, and the rule that decides which voices are drawn.
#pragma once

#include "analyzer/display/drawing_resources.h"
#include "framework/display/display_pins.h"
#include "platform/win_types.h"

#include <array>
#include <cstdint>

namespace vex {

// Built by paint on its own stack for one paint; everything it refers to belongs to the
// display and outlives the call.
struct RenderState {
    bool followVoice = false;
    bool splitChannels = false;
    bool labelsOn = false;
    bool gridOn = false;
    std::int32_t selectedVoice = 0;
    // The paint's time minus 500 ms, wrapping in 32 bits: frames that arrived after it are
    // recent.
    std::uint32_t recentSince = 0;
    // Arrival time of each voice's last frame (kVoiceCount entries).
    const std::uint32_t* frameTimes = nullptr;
    // The frames pin: for each voice the size and bytes of its last value.
    const PerVoicePin* frames = nullptr;
    // The gate of each voice, copied when the state was built.
    std::array<float, kVoiceCount> gates{};
    const PenWrapper* trace1Pen = nullptr;
    const PenWrapper* trace2Pen = nullptr;
    const PenWrapper* trace1OtherPen = nullptr;
    const PenWrapper* trace2OtherPen = nullptr;
    const PenWrapper* gridPen = nullptr;
    const FontWrapper* labelFont = nullptr;
    const BrushWrapper* labelBrush = nullptr;
};

// A voice is active while its gate is not 0 (NaN counts as not 0) or its last frame came
// after `recentSince`, compared as unsigned 32-bit times. Voices outside 0..127 never are.
bool isActiveVoice(const RenderState& state, std::int32_t voice);

// One view of the display. Contract: called on the host's user-interface thread inside
// paint; draws through `graphics` only and keeps no state between paints; allocates
// nothing. Failures of drawing calls stay in `graphics`.
class Renderer {
public:
    virtual ~Renderer() = default;
    // `rect` is the display's area {left, top, right, bottom}; paint passes {0, 0, W, H}.
    virtual void render(GraphicsWrapper& graphics, RECT rect, const RenderState& state) = 0;
};

// The plot and its panes, shared by both views: margins of 20 on the left and top when
// labels are shown (5 without) and 5 on the right and bottom; with split channels the
// upper half for signal A and the lower half for signal B, else both in one pane.
struct PlotLayout {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
    std::int32_t half; // (bottom - top) / 2
    RECT paneA;
    RECT paneB;

    PlotLayout(RECT rect, const RenderState& state);
};

// The bytes of voice `voice`'s frame when it is exactly `size` bytes long, else null.
const std::uint8_t* frameOfSize(const RenderState& state, std::int32_t voice, std::int32_t size);

// Writes "%2.0f" of `value` (with a trailing "k" when `thousands`) as UTF-16 into `text`
// and answers the number of code units. Values stay within a few digits here.
std::int32_t formatLabel(float value, bool thousands, MpChar (&text)[16]);

// A double position truncated toward zero into the range drawing works in.
// Why the clamp: levels and samples come from the host's bytes; a NaN or enormous value
// must not reach an undefined conversion. Results are clamped to the pane anyway.
std::int64_t truncateClamped(double value);

} // namespace vex
