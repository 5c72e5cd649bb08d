// The viewer every host of ours shows: the display object's session painted into a surface
// of the window's size, the viewer's tools over it (host/kit/view/viewer_tools.h) and a
// caption (a group's), fed frames with the time they were sent. A host adds its window
// system and event loop: it hands the pane its frames, sizes, keys, clicks and the
// pointer, and shows what paint() gives. Runs on the thread that shows the window; nothing
// here is shared with the audio thread.
#pragma once

#include "host/kit/frame_view.h"
#include "host/kit/view/display_session.h"
#include "host/kit/view/paint_surface.h"
#include "host/kit/view/viewer_tools.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vex::host {

class ViewerPane {
public:
    // The tools of analysis `mode` at `sampleRate`; no display yet (open() makes it), so
    // that a host may wire the pane up before it has loaded the module.
    ViewerPane(std::int32_t mode, double sampleRate);
    // A pane with its display open (see open()). Throws HostError.
    ViewerPane(FactoryInterface& factory, std::int32_t mode, const DisplayLook& look,
               std::int32_t voices, double sampleRate);
    ~ViewerPane();
    ViewerPane(const ViewerPane&) = delete;
    ViewerPane& operator=(const ViewerPane&) = delete;

    // Creates the display object with `look` for `voices` voices, learns its smallest size
    // from its measure and sizes the pane to the look's size. Throws HostError.
    void open(FactoryInterface& factory, const DisplayLook& look, std::int32_t voices);
    bool opened() const { return display != nullptr; }
    // The display session (for what the pane does not wrap). Only once opened.
    DisplaySession& session() { return *display; }

    // One frame of `voice` sent at session sample `sample` (the pane's clock, in samples
    // since the audio started): through the tools to the display; dropped while frozen,
    // except the empty value of a voice that left (bytes null), which always reaches it.
    void take(std::int32_t voice, const std::uint8_t* bytes, std::int32_t size,
              std::int64_t sample);
    // Moves the clock to `sample` without a frame (a frame this pane does not show).
    void advanceTo(std::int64_t sample);
    // Shows analysis `mode`; answers the mode the display shows (it may refuse one).
    std::int32_t setMode(std::int32_t mode);
    // A voice's gate (groups: the members present, the highlighted one last).
    void setGate(std::int32_t voice, float gate);
    void setSplit(bool split);
    void setFollow(bool follow);
    // The rate the frames' samples and frequencies are counted at.
    void setSampleRate(double sampleRate);
    // The factor the picture is painted at: 1..4, anything else (NaN, infinite, outside the
    // range) 1. Called before open(), it sizes the window at the look's size times it. The
    // display is then arranged to the window's size over the factor, and it, the tools and
    // the caption draw at the factor's pixels per unit (where PaintSurface::kScales). The
    // window keeps its size in pixels.
    void setScale(double factor);
    double scale() const { return scaleFactor; }

    // Resizes the window to the given size or the display's smallest, whichever is larger;
    // the surface is made anew when the size changes.
    void resize(std::int32_t width, std::int32_t height);
    // The smallest window the display's measure allows (1 x 1 before open()), in pixels.
    MeasureSize smallest() const;

    // The pointer at (x, y) of the window, or off it; a key as its character; a click (the
    // strip's buttons): what the tools changed. In the window's pixels.
    void pointerAt(std::int32_t x, std::int32_t y);
    void pointerLeft();
    ToolChange key(char c) { return viewerTools.key(c); }
    ToolChange click(std::int32_t x, std::int32_t y) {
        return viewerTools.click(unitOf(x), unitOf(y));
    }
    bool onStrip(std::int32_t x, std::int32_t y) const {
        return viewerTools.onStrip(unitOf(x), unitOf(y));
    }
    // The unit of the picture (what layout() and the tools count in) that window pixel
    // `pixel` lies in; the pixel itself at scale 1.
    std::int32_t unitOf(std::int32_t pixel) const;
    // The lines drawn in the lower left corner over the picture (empty: none).
    void setCaption(std::vector<std::string> lines);

    ViewerTools& tools() { return viewerTools; }
    const ViewerTools& tools() const { return viewerTools; }
    std::int32_t mode() const { return shownMode; }
    View view() const { return viewOf(shownMode); }
    bool split() const { return look.split; }
    bool follow() const { return look.follow; }
    double sampleRate() const { return rate; }
    // The window's size in pixels.
    std::int32_t width() const { return windowWidth; }
    std::int32_t height() const { return windowHeight; }
    // The plot's panes as the display draws them at the pane's size, in units (pixels at
    // scale 1).
    PlotLayout layout() const;
    // The clock: the latest sample taken, and in seconds (the peak hold's).
    std::int64_t sample() const { return lastSample; }
    double clock() const { return static_cast<double>(lastSample) / rate; }
    // The voice the display draws with its main pens: with follow the last gated on.
    std::int32_t highlighted() const { return highlightedVoice; }

    // Whether the picture changed since the last paint (a frame invalidated the display,
    // or a readout, setting, size or caption changed).
    bool dirty() const;
    // Paints the display (or, instead, the tools' spectrogram), the tools and the caption;
    // the surface is the window's picture.
    // Throws HostError when the display refuses to paint.
    const PaintSurface& paint();
    // The cursor's reading as drawn, or empty when the pointer is outside the plot or the
    // readout is off.
    std::string cursorText() const { return viewerTools.cursorText(layout(), look.split); }

private:
    void highlight(std::int32_t voice);
    // The surface and the display's size for the window's size and the scale.
    void arrange();

    DisplayLook look; // its size the display's, in units
    double rate;
    std::unique_ptr<DisplaySession> display;
    std::unique_ptr<PaintSurface> surface;
    ViewerTools viewerTools;
    MeasureSize minimum{1, 1};
    std::int32_t shownMode;
    std::int32_t voiceCount = 0;
    std::int32_t highlightedVoice = 0;
    std::vector<std::string> caption;
    double scaleFactor = 1.0;
    std::int32_t windowWidth = DisplayLook{}.width;
    std::int32_t windowHeight = DisplayLook{}.height;
    bool changed = true;
    std::int64_t lastSample = 0;
};

} // namespace vex::host
