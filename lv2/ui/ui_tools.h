// The viewer's tools in the plug-in's window: the X11 events they take (keys, clicks on
// the strip, the pointer), the frames' clock (in seconds of audio: the DSP's frames state
// their times; the group's frames come without, at the update rate the rate control sets),
// and the settings the plug-in keeps in its state (peak hold, readout, tilt, smoothing,
// the reference), sent to the DSP on every change and taken back when it announces them.
// UI thread only.
#pragma once

#include "host/kit/view/viewer_tools.h"
#include "lv2/common/urids.h"
#include "lv2/ui/settings_channel.h"

#include <X11/Xlib.h>
#include <lv2/core/lv2.h>

#include <cstdint>
#include <vector>

namespace vex::lv2 {

class UiTools {
public:
    // Why peak hold starts off here (vexhost live starts with it on): over a steady signal
    // its line covers the trace, and the window first shows the display as it draws.
    explicit UiTools(SettingsChannel& channel) : settings(channel) { tools.setPeakHold(false); }

    // The sample rate from the host's options (param:sampleRate), when it gives one.
    void readOptions(const LV2_Feature* const* features, const Urids& urids);
    // The update-rate control's value (0..7: 5 to 40 frames a second).
    void rateControl(float value);
    void setView(std::int32_t view) { tools.setView(view); }

    // A frame of `voice` (0 alone, a member's slot in a group) sent at `sampleTime` samples
    // of `sampleRate` (a negative time: not known): the bytes the display is to get, or null
    // while frozen. The highlighted voice's frames drive the frames' clock, by their times
    // where known, else by the update rate.
    const std::uint8_t* frame(std::int32_t voice, const std::uint8_t* bytes, std::int32_t size,
                              std::int64_t sampleTime = -1, double sampleRate = 0.0);
    // The voice the display draws with its main pens (0 alone; in a group the member
    // highlighted).
    void setHighlighted(std::int32_t voice) {
        highlighted = voice;
        tools.setHighlighted(voice);
    }
    // A setting the DSP announced. A reference that is not one says so on the window and
    // changes nothing.
    void setting(std::uint32_t which, const std::vector<std::uint8_t>& value);
    // An event of the window: true when the tools took it (a click elsewhere is the
    // host's, which shows the next view).
    bool event(XEvent& event);

    bool dirty() const { return tools.dirty(); }
    const host::ViewerTools& viewer() const { return tools; }
    // Draws the tools over the display's picture of `width` x `height`.
    void draw(host::PaintSurface& surface, std::int32_t width, std::int32_t height, bool labels);

private:
    void changed(host::ToolChange change);
    void sendInt(std::uint32_t which, std::int32_t value);

    SettingsChannel& settings;
    host::ViewerTools tools{0, 48000.0};
    double framePeriod = 1.0 / 25.0; // seconds of audio between frames
    double clock = 0.0;
    std::int64_t lastTime = -1; // the last frame's time in samples, -1: none
    std::int32_t highlighted = 0;
};

} // namespace vex::lv2
