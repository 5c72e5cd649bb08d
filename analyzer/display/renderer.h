// What a view of the analyzer display draws with: the per-paint state and the renderer
// interface, and the rule that decides which voices are drawn.
#pragma once

#include "analyzer/display/drawing_resources.h"
#include "analyzer/display/plot_geometry.h"
#include "framework/display/display_pins.h"
#include "platform/win_types.h"

#include <array>
#include <cstddef>
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

// The plot and its panes, shared by both views (plot::layout of the display's area).
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

// The float at byte `offset` of a frame (frames carry little-endian IEEE floats, as this
// machine does; the offset need not be aligned).
float frameFloat(const std::uint8_t* frame, std::size_t offset);

// Draws the grid of each pane: pane A, then with split channels pane B; nothing when the
// grid is off. drawGrid(pane).
template <typename DrawGrid>
void drawPaneGrids(const PlotLayout& layout, const RenderState& state, DrawGrid drawGrid) {
    if (state.gridOn) {
        drawGrid(layout.paneA);
        if (state.splitChannels) {
            drawGrid(layout.paneB);
        }
    }
}

// Draws the voices whose frames are `frameSize` bytes, in this order: with followVoice every
// other active voice in the "other" pens, then the selected voice in the main pens (when it
// is active, or always when not following voices). Per voice signal B in pane B, then
// signal A in pane A, each when its presence byte is set. drawSignal(pane, frame, signal, pen).
template <typename DrawSignal>
void drawVoices(const PlotLayout& layout, const RenderState& state, std::int32_t frameSize,
                DrawSignal drawSignal) {
    const auto drawVoice = [&](std::int32_t voice, const PenWrapper* penA, const PenWrapper* penB) {
        const std::uint8_t* frame = frameOfSize(state, voice, frameSize);
        if (frame == nullptr) {
            return;
        }
        if (frame[1] != 0) {
            drawSignal(layout.paneB, frame, 1, penB);
        }
        if (frame[0] != 0) {
            drawSignal(layout.paneA, frame, 0, penA);
        }
    };
    if (state.followVoice) {
        for (std::int32_t v = 0; v < kVoiceCount; ++v) {
            if (v != state.selectedVoice && isActiveVoice(state, v)) {
                drawVoice(v, state.trace1OtherPen, state.trace2OtherPen);
            }
        }
    }
    const std::int32_t s = state.selectedVoice;
    if ((s >= 0 && isActiveVoice(state, s)) || !state.followVoice) {
        drawVoice(s, state.trace1Pen, state.trace2Pen);
    }
}

// Draws the vertical-axis labels of each pane: one area for both signals, or with split
// channels the upper and the lower half of the plot's height, each from the display's left
// edge to the plot's right. drawLabels(area).
template <typename DrawLabels>
void drawPaneLabels(RECT rect, const PlotLayout& layout, const RenderState& state,
                    DrawLabels drawLabels) {
    if (state.splitChannels) {
        drawLabels(RECT{rect.left, layout.top, layout.right, layout.top + layout.half});
        drawLabels(
            RECT{rect.left, layout.top + layout.half, layout.right, layout.top + 2 * layout.half});
    } else {
        drawLabels(RECT{rect.left, layout.top, layout.right, layout.bottom});
    }
}

} // namespace vex
