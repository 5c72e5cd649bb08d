// The viewer's tools in the plug-in's window (the pane's, host/kit/view/viewer_pane.h): the
// X11 events they take (keys, clicks on the strip, the pointer), the host's sample rate,
// the frames' clock (their times, as the DSP states them), and the settings the plug-in keeps in
// its state (peak hold, readout, tilt, smoothing, the reference, the difference and its
// reference member), sent to the DSP on every change and taken back when it announces them,
// and the analysis: the control's value and what the frames say they come from. UI thread
// only.
#pragma once

#include "host/kit/view/viewer_pane.h"
#include "lv2/common/urids.h"
#include "lv2/ui/group_ui.h"
#include "lv2/ui/settings_channel.h"

#include <X11/Xlib.h>
#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace vex::lv2 {

class UiTools {
public:
    // Why peak hold starts off here (vexhost live starts with it on): over a steady signal
    // its line covers the trace, and the window first shows the display as it draws.
    // Why fine at first: the analysis control's default, until the host or a frame says.
    UiTools(SettingsChannel& channel, host::ViewerPane& viewer) : settings(channel), pane(viewer) {
        pane.tools().setPeakHold(false);
        pane.tools().setAnalysis(host::Analysis::kFine);
    }

    // The host's write function for the analysis control, which the key and the strip set.
    void connectControls(LV2UI_Write_Function function, LV2UI_Controller host) {
        write = function;
        controller = host;
    }
    // The window's group, which picks the difference's reference member and takes the one
    // a state names. Without it the difference is always B against A.
    void connectGroup(UiGroup& windowGroup) { group = &windowGroup; }
    // The analysis control's value (from the host).
    void analysisControl(float value);
    // The #analysis of a spectrum frame from the DSP (kFrameAnalysis*; anything else is
    // ignored): the fine analysis unavailable makes the window say why.
    void frameAnalysis(std::int32_t analysis);

    // The sample rate (param:sampleRate) and the scale factor (ui:scaleFactor; one outside
    // 1..4 is 1) from the host's options, when it gives them; the factor before the pane opens.
    void readOptions(const LV2_Feature* const* features, const Urids& urids);
    // The pane's clock, in samples of its rate, at a frame the DSP sent at `sampleTime`
    // samples of `sampleRate` since its activation. Why a clock of its own: it runs on
    // across an activation, which starts the times at 0 again (that frame moves it by 0).
    std::int64_t frameSample(std::int64_t sampleTime, double sampleRate);

    // A setting the DSP announced. A reference that is not one says so on the window and
    // changes nothing.
    void setting(std::uint32_t which, const std::vector<std::uint8_t>& value);
    // An event of the window: true when the tools took it (a click elsewhere is the
    // host's, which shows the next view).
    bool event(XEvent& event);

    const host::ViewerTools& viewer() const { return pane.tools(); }

private:
    host::ViewerTools& tools() { return pane.tools(); }
    void changed(host::ToolChange change);
    void sendInt(std::uint32_t which, std::int32_t value);
    void showAnalysis(host::Analysis analysis);
    void pickReference();
    void referenceAnnounced(const std::string& label);

    SettingsChannel& settings;
    host::ViewerPane& pane;
    double clock = 0.0;         // seconds of audio since the first frame
    std::int64_t lastTime = -1; // the last frame's time in samples, -1: none
    LV2UI_Write_Function write = nullptr;
    LV2UI_Controller controller = nullptr;
    UiGroup* group = nullptr;
    std::deque<std::string> sentLabels; // reference labels sent, not yet announced back
    std::string referenceSaid;          // the message of the last pick, or empty
    std::string unavailable;            // why the fine analysis is not run, or empty
    std::string shownReason;            // the reason the tools were last given
};

} // namespace vex::lv2
