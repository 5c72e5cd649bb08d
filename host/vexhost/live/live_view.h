// What the live window shows: the kit's viewer pane (host/kit/view/viewer_pane.h), fed the
// frames the audio thread queued, each at the sample it was sent.
// Runs on the window thread; nothing here is shared with the audio thread.
#pragma once

#include "host/kit/view/viewer_pane.h"
#include "host/vexhost/live/frame_queue.h"

namespace vex::host {

class LiveView : public ViewerPane {
public:
    using ViewerPane::ViewerPane;

    // Hands one queued frame through the tools to the display; while frozen it is dropped.
    void take(const QueuedFrame& frame) {
        ViewerPane::take(frame.voice, frame.bytes, frame.size, frame.sample);
    }
    using ViewerPane::take;

    void setFrozen(bool frozen) { tools().setFrozen(frozen); }
    void setPeakHold(bool on) { tools().setPeakHold(on); }
    void setCursorReadout(bool on) { tools().setReadout(on); }
    bool frozen() const { return tools().frozen(); }
    bool peakHold() const { return tools().peakHold(); }
    bool cursorReadout() const { return tools().readout(); }
    const PeakHold& peaks() const { return tools().peaks(); }
};

} // namespace vex::host
