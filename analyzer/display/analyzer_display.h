// The analyzer's display-side object: the picture inside the host's panel. It takes the
// audio side's frames per voice, tracks which voices sound, and paints the background,
// the frame and the view of the current mode: 0 "Scope", 1 "Freq (Linear)",
// 2 "Freq (Log)".
#pragma once

#include "analyzer/display/drawing_resources.h"
#include "analyzer/display/renderer.h"
#include "framework/display/composited_display.h"
#include "framework/display/display_pins.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vex {

// A millisecond clock: the system's timeGetTime unless a test sets another.
using MillisecondClock = std::uint32_t (*)();

// Contract: every operation and callback runs on the host's user-interface thread;
// callbacks only change state and ask for redraws, and only paint draws.
class AnalyzerDisplay final : public CompositedDisplay {
public:
    // Binds the 13 pins and makes the drawing resources and the three renderers. Raises
    // "host Interfaces not supported" without the host's display interfaces, and
    // std::bad_alloc when GDI+ has no memory for a resource.
    explicit AnalyzerDisplay(void* host);
    ~AnalyzerDisplay() override;

    // Background, 5-pixel darkened frame with a black outline, then the current view over
    // {0, 0, W, H} of the area. Answers 0.
    std::int32_t MP_STDCALL paint(HDC dc) noexcept override;

    // For tests: the clock paint and frame arrival read.
    void setClock(MillisecondClock clock) { now = clock; }

    // State, for tests.
    std::int32_t getSelectedVoice() const { return selectedVoice; }
    std::int32_t getCurrentMode() const { return currentMode; }
    bool getLabelsOn() const { return labelsOn; }
    bool getGridOn() const { return gridOn; }
    std::uint32_t frameTime(std::int32_t voice) const;
    const PenWrapper& pen(std::int32_t index) const; // 0..4 in field order
    const BrushWrapper& brush() const { return *labelBrush; }
    const FontWrapper& font() const { return *labelFont; }

    // The mode list written back whatever the host puts into modeItems.
    static const MpChar kModeItems[];

private:
    void onFrameArrival(std::int32_t voice);
    void onModeUpdate();
    void onFollowSwitch();
    void onGateChange(std::int32_t voice);
    void onModeList();
    void onColours();

    // The area's width and height, kept within what drawing can handle.
    std::int32_t areaWidth() const;
    std::int32_t areaHeight() const;

    // Pins, in the order of their ids (AnalyzerDisplayPin).
    PerVoiceBlobPin frames;
    IntPin modeOut;
    BoolPin followVoice;
    PerVoiceFloatPin voiceGate;
    IntPin mode;
    TextPin modeItems;
    ColourPin backgroundColour;
    ColourPin trace1Colour;
    ColourPin trace2Colour;
    ColourPin labelColour;
    ColourPin gridColour;
    BoolPin splitChannels;
    FloatPin otherVoiceShade;

    std::int32_t selectedVoice = 0;
    std::int32_t currentMode = 0;
    std::vector<std::unique_ptr<Renderer>> renderers;
    bool labelsOn = false;
    bool gridOn = false;
    std::unique_ptr<PenWrapper> trace1Pen;
    std::unique_ptr<PenWrapper> trace2Pen;
    std::unique_ptr<PenWrapper> trace1OtherPen;
    std::unique_ptr<PenWrapper> trace2OtherPen;
    std::unique_ptr<PenWrapper> gridPen;
    std::unique_ptr<FontWrapper> labelFont;
    std::unique_ptr<BrushWrapper> labelBrush;
    std::uint32_t frameTimes[kVoiceCount];
    MillisecondClock now;
};

} // namespace vex
