#include "host/vexhost/live/live_view.h"

#include "platform/gdiplus.h"

#include <algorithm>

namespace vex::host {

namespace {

// The readouts' look: light lines that stand out on the default panel without hiding the
// traces under them.
constexpr std::uint32_t kPeakColourA = 0xFFC8D4E8u;
constexpr std::uint32_t kPeakColourB = 0xFFE8D0A8u;
constexpr std::uint32_t kCursorColour = 0x90FFFFFFu;
constexpr std::uint32_t kReadoutBack = 0xD0000000u;
constexpr std::uint32_t kReadoutText = 0xFFFFFFFFu;
constexpr float kReadoutFontPixels = 12.0f;
constexpr std::int32_t kReadoutWidth = 210;
constexpr std::int32_t kReadoutHeight = 17;

// GDI+ objects for one paint, deleted at the end of it.
struct Canvas {
    explicit Canvas(HDC dc) { gdip::GdipCreateFromHDC(dc, &graphics); }
    ~Canvas() {
        if (graphics != nullptr) {
            gdip::GdipDeleteGraphics(graphics);
        }
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    gdip::GpGraphics* graphics = nullptr;
};

struct Pen {
    explicit Pen(std::uint32_t colour) {
        gdip::GdipCreatePen1(colour, 1.0f, gdip::UnitWorld, &pen);
    }
    ~Pen() {
        if (pen != nullptr) {
            gdip::GdipDeletePen(pen);
        }
    }
    Pen(const Pen&) = delete;
    Pen& operator=(const Pen&) = delete;
    gdip::GpPen* pen = nullptr;
};

} // namespace

LiveView::LiveView(FactoryInterface& factory, std::int32_t mode, const DisplayLook& displayLook,
                   std::int32_t voices, double rate)
    : look(displayLook), sampleRate(rate), display(factory, mode, displayLook, voices, rate),
      hold(plot::frameSizeOfView(mode)), shownMode(mode) {
    startGdiplus();
    // Why only the lower limit: the display's measure clamps both sides to 15..100, and a
    // picture of at most 100 x 100 pixels cannot show the analysis; the window follows
    // the user's size down to the display's smallest.
    minimum = display.measure(0, 0);
    minimum.width = std::max<std::int32_t>(1, minimum.width);
    minimum.height = std::max<std::int32_t>(1, minimum.height);
    resize(look.width, look.height);
}

LiveView::~LiveView() = default;

void LiveView::setGate(std::int32_t voice, float gate) {
    display.setGate(voice, gate);
    changed = true;
}

void LiveView::take(const QueuedFrame& frame) {
    if (isFrozen) {
        return;
    }
    display.deliverFrame(frame.voice, frame.bytes, frame.size, frame.sample);
    lastSample = std::max(lastSample, frame.sample);
    lastSeconds = static_cast<double>(lastSample) / sampleRate;
    hold.add(frame.bytes, frame.size, static_cast<double>(frame.sample) / sampleRate);
}

void LiveView::setMode(std::int32_t mode) {
    if (mode == shownMode) {
        return;
    }
    shownMode = mode;
    display.setMode(mode);
    hold.reset(plot::frameSizeOfView(mode));
    changed = true;
}

void LiveView::setSplit(bool split) {
    display.setSplit(split);
    look.split = split;
    changed = true;
}

void LiveView::setFollow(bool follow) {
    display.setFollow(follow);
    look.follow = follow;
    changed = true;
}

void LiveView::setFrozen(bool frozen) {
    isFrozen = frozen;
    changed = true;
}

void LiveView::setPeakHold(bool on) {
    peakHoldOn = on;
    if (!on) {
        hold.reset(plot::frameSizeOfView(shownMode));
    }
    changed = true;
}

void LiveView::setCursorReadout(bool on) {
    cursorOn = on;
    changed = true;
}

void LiveView::pointerAt(std::int32_t x, std::int32_t y) {
    pointerInside = true;
    pointerX = x;
    pointerY = y;
    changed = changed || cursorOn;
}

void LiveView::pointerLeft() {
    pointerInside = false;
    changed = changed || cursorOn;
}

void LiveView::resize(std::int32_t width, std::int32_t height) {
    look.width = std::max(width, minimum.width);
    look.height = std::max(height, minimum.height);
    if (surface != nullptr && surface->width() == look.width && surface->height() == look.height) {
        return;
    }
    display.resize(look.width, look.height);
    surface = std::make_unique<PaintSurface>(look.width, look.height);
    changed = true;
}

bool LiveView::dirty() const {
    return changed || display.invalidated();
}

PlotLayout LiveView::layout() const {
    return plotLayout(look.width, look.height, !look.label.empty(), look.split);
}

const PaintSurface& LiveView::paint() {
    display.paint(*surface, lastSample);
    if (peakHoldOn && shownMode != 0) {
        drawPeaks();
    }
    if (cursorOn && pointerInside) {
        drawCursor();
    }
    changed = false;
    return *surface;
}

void LiveView::drawPeaks() {
    const std::int32_t n = hold.points();
    if (n == 0) {
        return;
    }
    Canvas canvas(surface->dc());
    const PlotLayout panes = layout();
    // Why on the stack: the same bound as the display's own curves, no allocation per paint.
    gdip::GpPoint points[kLogBands];
    for (std::int32_t signal = 1; signal >= 0; --signal) {
        if (!hold.holds(signal)) {
            continue;
        }
        const PlotPane& pane = signal == 0 ? panes.paneA : panes.paneB;
        for (std::int32_t k = 0; k < n; ++k) {
            points[k].X = spectrumPointX(pane, k, n);
            points[k].Y =
                spectrumLevelY(pane, static_cast<float>(hold.level(signal, k, lastSeconds)));
        }
        Pen pen(signal == 0 ? kPeakColourA : kPeakColourB);
        gdip::GdipDrawLinesI(canvas.graphics, pen.pen, points, n);
    }
}

void LiveView::drawCursor() {
    const PlotLayout panes = layout();
    const CursorReading reading =
        readCursor(shownMode, panes, look.split, pointerX, pointerY, sampleRate);
    if (!reading.inside) {
        return;
    }
    const PlotPane& pane = reading.signal == 0 ? panes.paneA : panes.paneB;
    Canvas canvas(surface->dc());
    Pen pen(kCursorColour);
    gdip::GdipDrawLineI(canvas.graphics, pen.pen, pointerX, pane.top + 1, pointerX,
                        pane.bottom - 1);
    gdip::GdipDrawLineI(canvas.graphics, pen.pen, pane.left + 1, pointerY, pane.right - 1,
                        pointerY);

    const std::int32_t x = std::max(pane.left + 1, pane.right - 1 - kReadoutWidth);
    const std::int32_t y = pane.top + 1;
    gdip::GpSolidFill* back = nullptr;
    gdip::GpSolidFill* ink = nullptr;
    gdip::GdipCreateSolidFill(kReadoutBack, &back);
    gdip::GdipCreateSolidFill(kReadoutText, &ink);
    gdip::GdipFillRectangleI(canvas.graphics, back, x, y, pane.right - 1 - x, kReadoutHeight);
    gdip::GpFontFamily* family = nullptr;
    gdip::GpFont* font = nullptr;
    gdip::GdipGetGenericFontFamilySansSerif(&family);
    gdip::GdipCreateFont(family, kReadoutFontPixels, gdip::FontStyleBold, gdip::UnitPixel, &font);
    const std::basic_string<WCHAR> text(reading.text.begin(), reading.text.end());
    const gdip::RectF at{static_cast<float>(x + 4), static_cast<float>(y + 1), 0.0f, 0.0f};
    gdip::GdipDrawString(canvas.graphics, text.c_str(), -1, font, &at, nullptr, ink);
    gdip::GdipDeleteFont(font);
    gdip::GdipDeleteFontFamily(family);
    gdip::GdipDeleteBrush(ink);
    gdip::GdipDeleteBrush(back);
}

std::string LiveView::cursorText() const {
    if (!cursorOn || !pointerInside) {
        return std::string();
    }
    return readCursor(shownMode, layout(), look.split, pointerX, pointerY, sampleRate).text;
}

} // namespace vex::host
