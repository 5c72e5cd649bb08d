// What the tools draw over the display's picture: the reference trace, the peak hold, the
// cursor and its reading, the status line, a message, the help and the strip. Positions
// come from the display's own plot geometry, so what is drawn lies where the display would
// draw the same levels.
#include "host/kit/viewer/viewer_tools.h"

#include "analyzer/display/plot_geometry.h"
#include "platform/gdiplus.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vex::host {

namespace {

// The tools' look: light lines and boxes that stand out on the default panel without
// hiding the traces under them; the reference in a colour of its own, dashed.
constexpr std::uint32_t kPeakColourA = 0xFFC8D4E8u;
constexpr std::uint32_t kPeakColourB = 0xFFE8D0A8u;
constexpr std::uint32_t kReferenceColour = 0xFFE040E0u;
constexpr std::uint32_t kCursorColour = 0x90FFFFFFu;
constexpr std::uint32_t kBoxBack = 0xD0000000u;
constexpr std::uint32_t kText = 0xFFFFFFFFu;
constexpr std::uint32_t kMessageBack = 0xE0A01010u;
constexpr std::uint32_t kButtonBack = 0xC0303848u;
constexpr std::uint32_t kButtonOn = 0xE0407040u;
constexpr float kFontPixels = 12.0f;
constexpr std::int32_t kLineHeight = 17;
constexpr std::int32_t kCharWidth = 7; // a wide character of the bold 12-pixel font
// Dashes of the reference: 4 columns drawn, 4 left out.
constexpr std::int32_t kDash = 4;
// The strip: buttons of 46 x 16 pixels, 2 apart, from x = 24 (past the level labels),
// their bottom 8 pixels above the window's.
constexpr std::int32_t kButtonWidth = 46;
constexpr std::int32_t kButtonHeight = 16;
constexpr std::int32_t kButtonGap = 2;
constexpr std::int32_t kStripLeft = 24;
constexpr std::int32_t kStripBottomGap = 8;

constexpr const char* kHelpLines[] = {
    "p  peak hold",
    "c  cursor readout",
    "t  tilt: off, 3, 4.5 dB/oct",
    "a  smoothing: off, fast, slow",
    "space  freeze",
    "r  keep the reference",
    "x  clear the reference",
    "h or ?  this help",
};

// GDI+ objects of one draw, deleted at its end.
class Canvas {
public:
    explicit Canvas(HDC dc) {
        gdip::GdipCreateFromHDC(dc, &graphics);
        gdip::GdipGetGenericFontFamilySansSerif(&family);
        gdip::GdipCreateFont(family, kFontPixels, gdip::FontStyleBold, gdip::UnitPixel, &font);
        gdip::GdipCreatePen1(kText, 1.0f, gdip::UnitWorld, &pen);
        gdip::GdipCreateSolidFill(kText, &fill);
    }
    ~Canvas() {
        gdip::GdipDeleteBrush(fill);
        gdip::GdipDeletePen(pen);
        gdip::GdipDeleteFont(font);
        gdip::GdipDeleteFontFamily(family);
        gdip::GdipDeleteGraphics(graphics);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    gdip::GpPen* penOf(std::uint32_t colour) {
        gdip::GdipSetPenColor(pen, colour);
        return pen;
    }
    void box(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, std::uint32_t c) {
        gdip::GdipSetSolidFillColor(fill, c);
        gdip::GdipFillRectangleI(graphics, fill, x, y, w, h);
    }
    void text(const std::string& line, std::int32_t x, std::int32_t y) {
        const std::basic_string<WCHAR> wide(line.begin(), line.end());
        const gdip::RectF at{static_cast<float>(x), static_cast<float>(y), 0.0f, 0.0f};
        gdip::GdipSetSolidFillColor(fill, kText);
        gdip::GdipDrawString(graphics, wide.c_str(), -1, font, &at, nullptr, fill);
    }
    // A line of text on a box of its own, as wide as the text.
    void label(const std::string& line, std::int32_t x, std::int32_t y, std::uint32_t back) {
        box(x, y, static_cast<std::int32_t>(line.size()) * kCharWidth + 8, kLineHeight, back);
        text(line, x + 4, y + 1);
    }

    gdip::GpGraphics* graphics = nullptr;

private:
    gdip::GpFontFamily* family = nullptr;
    gdip::GpFont* font = nullptr;
    gdip::GpPen* pen = nullptr;
    gdip::GpSolidFill* fill = nullptr;
};

bool insidePane(const PlotPane& pane, std::int32_t x, std::int32_t y) {
    return x >= pane.left && x <= pane.right && y >= pane.top && y < pane.bottom;
}

const char* tiltText(Tilt tilt) {
    return tilt == Tilt::kThree ? "3" : tilt == Tilt::kFourAndHalf ? "4.5" : "0";
}

const char* smoothingText(Smoothing smoothing) {
    return smoothing == Smoothing::kFast ? "fast" : smoothing == Smoothing::kSlow ? "slow" : "off";
}

} // namespace

PlotPane ViewerTools::stripButton(StripButton button, std::int32_t height) {
    const auto i = static_cast<std::int32_t>(button);
    PlotPane at;
    at.left = kStripLeft + i * (kButtonWidth + kButtonGap);
    at.right = at.left + kButtonWidth;
    at.bottom = height - kStripBottomGap;
    at.top = at.bottom - kButtonHeight;
    return at;
}

std::string ViewerTools::statusText() const {
    std::string status;
    const auto add = [&status](const std::string& part) {
        status += status.empty() ? part : "  " + part;
    };
    if (tiltSetting != Tilt::kOff) {
        add(std::string("tilt ") + tiltText(tiltSetting) + " dB/oct");
    }
    if (smoother.smoothing() != Smoothing::kOff) {
        add(std::string("smoothing ") + smoothingText(smoother.smoothing()));
    }
    if (isFrozen) {
        add("frozen");
    }
    if (!referenceTrace.empty()) {
        char text[64];
        std::snprintf(text, sizeof text, "reference %s %.0f Hz%s", viewName(referenceTrace.view),
                      referenceTrace.sampleRate,
                      referenceTrace.view == shownView ? "" : " (another view: not drawn)");
        add(text);
    }
    return status;
}

std::string ViewerTools::cursorText(const PlotLayout& layout, bool split) const {
    if (!readoutOn || !pointerInside) {
        return std::string();
    }
    std::string text = readCursor(shownView, layout, split, pointerX, pointerY, rate).text;
    if (!text.empty() && shownView != 0 && tiltSetting != Tilt::kOff) {
        text += std::string(" (tilted ") + tiltText(tiltSetting) + ")";
    }
    return text;
}

void ViewerTools::draw(PaintSurface& surface, const PlotLayout& layout, bool split,
                       double seconds) {
    changed = false;
    drawnHeight = surface.height();
    Canvas canvas(surface.dc());
    // Why on the stack: the same bound as the display's own curves, no allocation per draw.
    gdip::GpPoint points[kLogBands];
    const std::int32_t n = plot::pointsOfView(shownView);

    // The reference goes over the peak hold: its gaps show the held line beneath.
    if (peakHoldOn && shownView != 0 && hold.points() == n) {
        for (std::int32_t signal = 1; signal >= 0; --signal) {
            if (!hold.holds(signal)) {
                continue;
            }
            const PlotPane& pane = signal == 0 ? layout.paneA : layout.paneB;
            for (std::int32_t k = 0; k < n; ++k) {
                points[k].X = spectrumPointX(pane, k, n);
                points[k].Y =
                    spectrumLevelY(pane, static_cast<float>(hold.level(signal, k, seconds)));
            }
            gdip::GdipDrawLinesI(canvas.graphics,
                                 canvas.penOf(signal == 0 ? kPeakColourA : kPeakColourB), points,
                                 n);
        }
    }

    if (referenceTrace.view == shownView) {
        for (std::int32_t signal = 1; signal >= 0; --signal) {
            const PlotPane& pane = signal == 0 ? layout.paneA : layout.paneB;
            std::int32_t run = 0;
            for (std::int32_t k = 0; k <= n; ++k) {
                double value = std::nan("");
                std::int32_t x = 0;
                if (k < n) {
                    value = referenceValueAt(referenceTrace, signal,
                                             referenceIndex(referenceTrace, shownView, rate, k));
                    x = shownView == 0 ? scopeSampleX(pane, k) : spectrumPointX(pane, k, n);
                }
                const bool drawn = !std::isnan(value) && ((x - pane.left) / kDash) % 2 == 0;
                if (drawn) {
                    const auto level = static_cast<float>(value) + tiltTable.offset(k);
                    points[run].X = x;
                    points[run].Y = shownView == 0 ? scopeValueY(pane, static_cast<float>(value))
                                                   : spectrumLevelY(pane, level);
                    ++run;
                }
                if (!drawn && run > 0) {
                    if (run == 1) {
                        points[1] = points[0];
                        run = 2;
                    }
                    gdip::GdipDrawLinesI(canvas.graphics, canvas.penOf(kReferenceColour), points,
                                         run);
                    run = 0;
                }
            }
        }
    }

    const std::string reading = cursorText(layout, split);
    if (!reading.empty()) {
        const bool inB = split && !insidePane(layout.paneA, pointerX, pointerY);
        const PlotPane& pane = inB ? layout.paneB : layout.paneA;
        gdip::GpPen* pen = canvas.penOf(kCursorColour);
        gdip::GdipDrawLineI(canvas.graphics, pen, pointerX, pane.top + 1, pointerX,
                            pane.bottom - 1);
        gdip::GdipDrawLineI(canvas.graphics, pen, pane.left + 1, pointerY, pane.right - 1,
                            pointerY);
        const auto width = static_cast<std::int32_t>(reading.size()) * kCharWidth + 8;
        canvas.label(reading, std::max(pane.left + 1, pane.right - 1 - width), pane.top + 1,
                     kBoxBack);
    }

    std::int32_t y = layout.paneA.top + 1;
    const std::string status = statusText();
    if (!status.empty()) {
        canvas.label(status, layout.paneA.left + 1, y, kBoxBack);
        y += kLineHeight + 1;
    }
    if (!messageText.empty()) {
        canvas.label(messageText, layout.paneA.left + 1, y, kMessageBack);
        y += kLineHeight + 1;
    }
    if (helpShown) {
        const std::int32_t lines = static_cast<std::int32_t>(std::size(kHelpLines));
        canvas.box(layout.paneA.left + 1, y, 30 * kCharWidth, lines * kLineHeight + 4, kBoxBack);
        for (std::int32_t i = 0; i < lines; ++i) {
            canvas.text(kHelpLines[i], layout.paneA.left + 5, y + 2 + i * kLineHeight);
        }
    }

    if (stripShown) {
        const std::string names[] = {
            "peak",
            "read",
            std::string("tilt ") + tiltText(tiltSetting),
            smoothingText(smoother.smoothing()),
            "freeze",
            "ref",
            "clear",
            "?",
        };
        const bool on[] = {peakHoldOn,
                           readoutOn,
                           tiltSetting != Tilt::kOff,
                           smoother.smoothing() != Smoothing::kOff,
                           isFrozen,
                           !referenceTrace.empty(),
                           false,
                           helpShown};
        for (std::int32_t i = 0; i < static_cast<std::int32_t>(StripButton::kCount); ++i) {
            const PlotPane at = stripButton(static_cast<StripButton>(i), drawnHeight);
            canvas.box(at.left, at.top, kButtonWidth, kButtonHeight,
                       on[i] ? kButtonOn : kButtonBack);
            canvas.text(names[i], at.left + 3, at.top);
        }
    }
}

} // namespace vex::host
