// The tools a window offers over the display, in one place for every host that shows it:
// peak hold, the cursor readout, freeze, a reference trace, tilt, smoothing over time, the
// help over the picture and a strip of buttons for hosts that keep the keyboard from
// their plug-ins' windows. The host hands every frame through take() (which gives the
// bytes the display is to get, or none while frozen), forwards keys, clicks and the
// pointer, and calls draw() after the display's paint. Everything runs on the thread that
// shows the display; nothing here is shared with the audio thread.
#pragma once

#include "host/kit/fine/fine_analysis.h"
#include "host/kit/view/difference_overlay.h"
#include "host/kit/view/paint_surface.h"
#include "host/kit/view/peak_hold.h"
#include "host/kit/view/plot_axes.h"
#include "host/kit/view/reference_trace.h"
#include "host/kit/view/spectrogram_view.h"
#include "host/kit/view/spectrum_difference.h"
#include "host/kit/view/spectrum_tools.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vex::host {

class Pixels;

// What a key or a click on the strip did, for the host to act on (keep a setting, tell
// the user) besides redrawing.
enum class ToolChange : std::int32_t {
    kNone = 0,
    kPeakHold,
    kReadout,
    kTilt,
    kSmoothing,
    kFreeze,
    kReference, // stored, cleared or replaced
    kHelp,
    kAnalysis,            // the host is to switch to analysis()
    kDifference,          // turned on or off
    kDifferenceReference, // the host (a group's) is to pick the next reference member
    kSpectrogram,         // turned on or off
    kSpectrogramRange,    // the next colour range
};

// The strip's buttons, left to right.
enum class StripButton : std::int32_t {
    kPeakHold = 0,
    kReadout,
    kTilt,
    kSmoothing,
    kFreeze,
    kStoreReference,
    kClearReference,
    kAnalysis,
    kDifference,
    kDifferenceReference,
    kSpectrogram,
    kHelp,
    kCount,
};

class ViewerTools {
public:
    // Frames of view `view` (0..2) of audio at `sampleRate`.
    ViewerTools(std::int32_t view, double sampleRate);

    // The frame of `voice` sent at `seconds` of audio: the bytes the display is to get
    // (the frame itself, or a tilted or smoothed copy valid until the next call), or null
    // while frozen (the frame is dropped). Peak hold and the reference see what the
    // display gets; the reference is kept untilted.
    const std::uint8_t* take(std::int32_t voice, const std::uint8_t* bytes, std::int32_t size,
                             double seconds);

    void setView(std::int32_t view);
    void setSampleRate(double sampleRate);
    // The voice the display draws with its main pens (the reference is taken from it).
    void setHighlighted(std::int32_t voice);
    void setPeakHold(bool on);
    void setReadout(bool on);
    void setTilt(Tilt tilt);
    void setSmoothing(Smoothing smoothing);
    void setFrozen(bool frozen);
    void setHelp(bool shown);
    // The strip is drawn and takes clicks only while shown (the host shows it while the
    // pointer is over its window).
    void setStripShown(bool shown);
    // Stores the highlighted voice's last frame as the reference; false when there is none.
    bool storeReference();
    void clearReference();
    void setReference(const ReferenceTrace& trace);
    // Which analysis the spectrum frames come from (the status line says it in the
    // spectra). `unavailable` non-empty: the host cannot give the fine analysis, and says
    // why when asked for it.
    void setAnalysis(Analysis analysis, const std::string& unavailable = std::string());
    // The difference over the spectrum views: signal B against signal A of the highlighted
    // voice, or (in a group) its signal against the same signal of voice `reference`.
    void setDifference(bool on);
    // In a group (`grouped`): the reference member's voice (-1: none picked) and its label
    // as the readout names it; outside one, B against A. Starts the averages over when the
    // voices change.
    void setDifferenceReference(bool grouped, std::int32_t reference, const std::string& label);
    // Why the group's difference cannot be shown (another view, analysis or rate, a
    // reference that left), or empty; said in the status line while the difference is on.
    void setDifferenceProblem(const std::string& text);
    // The spectrogram of the highlighted voice (host/kit/view/spectrogram_view.h) instead
    // of the display's spectrum, over a colour range; kept while the scope shows, drawn
    // in the spectra only. The frames are kept while it is off too.
    void setSpectrogram(bool on);
    void setSpectrogramRange(SpectrogramRange range);
    // A line shown over the picture until replaced (empty clears it): what went wrong.
    void setMessage(const std::string& text);

    // A key as its character ('p', ' ', '?'): what it changed, kNone for keys not ours.
    // Keys: p peak hold, c readout, t tilt, a smoothing, space freeze, r store reference,
    // x clear reference, m module or fine analysis, d difference, v the difference's
    // reference member (groups), w spectrogram, l its colour range, h or ? help.
    ToolChange key(char c);
    // A click at (x, y) of the window: what it changed, kNone when not on the strip.
    ToolChange click(std::int32_t x, std::int32_t y);
    // Whether (x, y) is on a button of the shown strip.
    bool onStrip(std::int32_t x, std::int32_t y) const;
    void pointerAt(std::int32_t x, std::int32_t y);
    void pointerLeft();

    // Draws the tools over the display's picture in `surface`, at `seconds` of audio (the
    // peak hold's clock), for a display of `layout` (its panes) in view `view`. On a scaled
    // surface, `layout`, the pointer and clicks are in units of its picture.
    void draw(PaintSurface& surface, const PlotLayout& layout, bool split, double seconds);
    // Whether anything drawn changed since the last draw.
    bool dirty() const { return changed; }

    bool peakHold() const { return peakHoldOn; }
    bool readout() const { return readoutOn; }
    Tilt tilt() const { return tiltSetting; }
    Smoothing smoothing() const { return smoother.smoothing(); }
    bool frozen() const { return isFrozen; }
    bool help() const { return helpShown; }
    Analysis analysis() const { return analysisShown; }
    bool difference() const { return differenceOn; }
    bool spectrogram() const { return spectrogramOn; }
    SpectrogramRange colourRange() const { return spectrogramRange; }
    // Whether the spectrogram is drawn (on, in a spectrum view): the host paints no display
    // then, draw() paints the whole window.
    bool spectrogramShown() const;
    const SpectrogramHistory& spectrogramHistory() const { return spectrogramView.history(); }
    // The difference per point of the view shown (NaN: none there), and what it compares
    // ("B−A", or the reference member's label in a group).
    const std::vector<float>& differenceValues() const { return spectrumDifference.values(); }
    std::string differenceAgainst() const;
    // The reason no difference is drawn while it is on, or empty (it is drawn, or off).
    std::string differenceProblem() const;
    const ReferenceTrace& reference() const { return referenceTrace; }
    const PeakHold& peaks() const { return hold; }
    const std::string& message() const { return messageText; }
    // The cursor's reading as drawn (tilted levels say so), or empty when the pointer is
    // outside the plot or the readout is off.
    std::string cursorText(const PlotLayout& layout, bool split) const;
    // Where button `button` lies in a window of `width` x `height` pixels: left and top
    // inclusive, right and bottom exclusive. The clicks use the size of the last draw.
    static PlotPane stripButton(StripButton button, std::int32_t width, std::int32_t height);
    // The text button `button` shows with the given settings.
    static std::string stripText(StripButton button, Tilt tilt, Smoothing smoothing,
                                 Analysis analysis = Analysis::kModule);
    // The difference's time constant: the smoothing's, slow when smoothing is off.
    static double differenceSeconds(Smoothing smoothing);
    // The status line's text: which tilt, smoothing, freeze and reference are on.
    std::string statusText() const;

private:
    // The text boxes of one draw (null: not shown).
    struct Boxes {
        const PaintSurface* reading = nullptr;
        const PaintSurface* status = nullptr;
        const PaintSurface* message = nullptr;
        const PaintSurface* help = nullptr;
        const PaintSurface* buttons[static_cast<std::size_t>(StripButton::kCount)] = {};
    };

    void restartHistory();
    std::int32_t stripButtonAt(std::int32_t x, std::int32_t y) const;
    // The steps of draw(): boxes and columns made first, then the pixels drawn over.
    void prepareBoxes(const PlotLayout& layout, bool split, Boxes& boxes);
    void prepareStrip(const PaintSurface* buttons[]);
    void prepareColumns(const PlotLayout& layout);
    void prepareReferenceRows(const PlotLayout& layout);
    void drawPeakHold(Pixels& pixels, const PlotLayout& layout, double seconds) const;
    void drawReference(Pixels& pixels, const PlotLayout& layout) const;
    // The pane the difference is drawn over: the whole plot (both panes when split).
    static PlotPane differencePane(const PlotLayout& layout, bool split);
    void drawBoxes(Pixels& pixels, const PlotLayout& layout, bool split, const Boxes& boxes) const;
    void drawStrip(Pixels& pixels, const PaintSurface* const buttons[]) const;
    // A box of text in its background colour, drawn once and kept while it is shown.
    const PaintSurface& textBox(const std::vector<std::string>& lines, std::int32_t width,
                                std::int32_t height, std::uint32_t back);

    std::int32_t shownView;
    double rate;
    std::int32_t highlighted = 0;
    bool peakHoldOn = true;
    bool readoutOn = true;
    Tilt tiltSetting = Tilt::kOff;
    bool isFrozen = false;
    bool helpShown = false;
    Analysis analysisShown = Analysis::kModule;
    std::string fineUnavailable;
    bool differenceOn = false;
    bool spectrogramOn = false;
    SpectrogramRange spectrogramRange = SpectrogramRange::kDisplay;
    SpectrogramView spectrogramView;
    double latestSeconds = 0.0; // the latest frame's time
    bool grouped = false;
    std::string referenceLabel;
    std::string groupProblem;
    SpectrumDifference spectrumDifference;
    DifferenceOverlay differenceOverlay;
    bool stripShown = false;
    bool pointerInside = false;
    std::int32_t pointerX = 0;
    std::int32_t pointerY = 0;
    bool changed = true;
    // The picture of the last draw: its size in units and its scale.
    std::int32_t drawnWidth = 0;
    std::int32_t drawnHeight = 0;
    double drawnScale = 1.0;
    std::string messageText;

    PeakHold hold;
    TiltTable tiltTable;
    SpectrumSmoother smoother;
    ReferenceTrace referenceTrace;
    std::vector<std::uint8_t> copy;      // the frame handed on, when a tool changed it
    std::vector<std::uint8_t> lastFrame; // the highlighted voice's last frame, untilted
    std::map<std::string, std::unique_ptr<PaintSurface>> textBoxes;
    // The reference's rows as last drawn (kNotDrawn where it has no value), worked out
    // again when the reference, the view, the tilt, the rate or the panes change.
    static constexpr std::int32_t kNotDrawn = -1;
    std::uint32_t referenceGeneration = 0;
    std::uint32_t drawnGeneration = ~0u;
    PlotPane drawnPanes[2];
    std::vector<std::int32_t> referenceRows[2];
    // The points' columns as last drawn (the panes share their left and right edges).
    std::int32_t columnsLeft = 0;
    std::int32_t columnsRight = 0;
    std::int32_t columnsView = -1;
    std::vector<std::int32_t> columns;
};

} // namespace vex::host
