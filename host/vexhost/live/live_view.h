// What the live window shows: the display object's paint of the frames taken so far, with
// the viewer's tools drawn over it (peak hold, the cursor readout, the reference trace,
// tilt, smoothing, freeze, help; host/kit/view/viewer_tools.h).
// Runs on the window thread; nothing here is shared with the audio thread.
#pragma once

#include "host/kit/view/display_session.h"
#include "host/kit/view/paint_surface.h"
#include "host/kit/view/viewer_tools.h"
#include "host/vexhost/live/frame_queue.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vex::host {

class LiveView {
public:
    // A display of analysis `mode` at the look's size for `voices` voices. Throws HostError.
    LiveView(FactoryInterface& factory, std::int32_t mode, const DisplayLook& look,
             std::int32_t voices, double sampleRate);
    ~LiveView();
    LiveView(const LiveView&) = delete;
    LiveView& operator=(const LiveView&) = delete;

    // Hands one frame through the tools to the display; while frozen it is dropped.
    void take(const QueuedFrame& frame);

    // A voice's gate (groups: the members present, the highlighted one last).
    void setGate(std::int32_t voice, float gate);
    void setMode(std::int32_t mode);
    void setSplit(bool split);
    void setFollow(bool follow);
    void setFrozen(bool frozen) { viewerTools.setFrozen(frozen); }
    void setPeakHold(bool on) { viewerTools.setPeakHold(on); }
    void setCursorReadout(bool on) { viewerTools.setReadout(on); }
    // The pointer is at (x, y) of the window; pointerLeft() when it leaves.
    void pointerAt(std::int32_t x, std::int32_t y) { viewerTools.pointerAt(x, y); }
    void pointerLeft() { viewerTools.pointerLeft(); }
    // The tools' settings, keys and reference.
    ViewerTools& tools() { return viewerTools; }
    const ViewerTools& tools() const { return viewerTools; }
    // Resizes to the nearest size the display accepts (see smallest()).
    void resize(std::int32_t width, std::int32_t height);
    // The smallest size the display's measure allows.
    MeasureSize smallest() const { return minimum; }

    std::int32_t mode() const { return shownMode; }
    bool split() const { return look.split; }
    bool follow() const { return look.follow; }
    bool frozen() const { return viewerTools.frozen(); }
    bool peakHold() const { return viewerTools.peakHold(); }
    bool cursorReadout() const { return viewerTools.readout(); }
    std::int32_t width() const { return look.width; }
    std::int32_t height() const { return look.height; }
    // Session time of the last frame taken, in seconds (the peak hold's clock).
    double clock() const { return lastSeconds; }
    const PeakHold& peaks() const { return viewerTools.peaks(); }

    // Whether the picture changed since the last paint (a frame invalidated the display,
    // or a readout or setting changed).
    bool dirty() const;
    // Paints the display and the readouts; the surface is the window's picture.
    const PaintSurface& paint();
    // The cursor's reading as drawn, or empty when the pointer is outside the plot or the
    // readout is off.
    std::string cursorText() const;

private:
    PlotLayout layout() const;
    // The voice the display draws with its main pens: with follow the last gated one.
    std::int32_t highlightedVoice() const;

    DisplayLook look;
    double sampleRate;
    DisplaySession display;
    std::unique_ptr<PaintSurface> surface;
    ViewerTools viewerTools;
    MeasureSize minimum{1, 1};
    std::int32_t shownMode;
    std::int32_t voiceCount;
    bool changed = true;
    std::int64_t lastSample = 0;
    double lastSeconds = 0.0;
};

} // namespace vex::host
