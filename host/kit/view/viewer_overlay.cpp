// What the tools draw over the display's picture: the reference trace, the peak hold, the
// cursor and its reading, the status line, a message, the help and the strip. Positions
// come from the display's own plot geometry, so what is drawn lies where the display would
// draw the same levels.
#include "host/kit/view/viewer_tools.h"

#include "host/kit/view/overlay_pixels.h"

#include "analyzer/display/plot_geometry.h"
#include "platform/gdiplus.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace vex::host {

namespace {

// The tools' look: light lines and boxes that stand out on the default panel without
// hiding the traces under them; the reference in a colour of its own, dashed.
constexpr std::uint32_t kPeakColourA = 0xFFC8D4E8u;
constexpr std::uint32_t kPeakColourB = 0xFFE8D0A8u;
constexpr std::uint32_t kReferenceColour = 0xFFE040E0u;
// Why every colour opaque: a translucent fill or line blends pixel by pixel, and the tools
// must cost a paint little (viewer_tools_bench).
constexpr std::uint32_t kCursorColour = 0xFF8C929Cu;
constexpr std::uint32_t kBoxBack = 0xFF101010u;
constexpr std::uint32_t kText = 0xFFFFFFFFu;
constexpr std::uint32_t kMessageBack = 0xFFA01010u;
constexpr std::uint32_t kButtonBack = 0xFF303848u;
constexpr std::uint32_t kButtonOn = 0xFF407040u;
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

// A box of `width` x `height` in `back` with `lines` of text, drawn by GDI+ once.
std::unique_ptr<PaintSurface> renderTextBox(const std::vector<std::string>& lines,
                                            std::int32_t width, std::int32_t height,
                                            std::uint32_t back) {
    auto box = std::make_unique<PaintSurface>(width, height);
    box->fill(back);
    gdip::GpGraphics* graphics = nullptr;
    gdip::GpFontFamily* family = nullptr;
    gdip::GpFont* font = nullptr;
    gdip::GpSolidFill* ink = nullptr;
    gdip::GdipCreateFromHDC(box->dc(), &graphics);
    gdip::GdipGetGenericFontFamilySansSerif(&family);
    gdip::GdipCreateFont(family, kFontPixels, gdip::FontStyleBold, gdip::UnitPixel, &font);
    gdip::GdipCreateSolidFill(kText, &ink);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::basic_string<WCHAR> wide(lines[i].begin(), lines[i].end());
        const gdip::RectF at{3.0f, static_cast<float>(1 + kLineHeight * static_cast<int>(i)), 0.0f,
                             0.0f};
        gdip::GdipDrawString(graphics, wide.c_str(), -1, font, &at, nullptr, ink);
    }
    gdip::GdipDeleteBrush(ink);
    gdip::GdipDeleteFont(font);
    gdip::GdipDeleteFontFamily(family);
    gdip::GdipDeleteGraphics(graphics);
    return box;
}

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

const PaintSurface& ViewerTools::textBox(const std::vector<std::string>& lines, std::int32_t width,
                                         std::int32_t height, std::uint32_t back) {
    std::string key =
        std::to_string(width) + "x" + std::to_string(height) + "/" + std::to_string(back);
    for (const std::string& line : lines) {
        key += "/" + line;
    }
    auto found = textBoxes.find(key);
    if (found == textBoxes.end()) {
        found = textBoxes.emplace(key, renderTextBox(lines, width, height, back)).first;
    }
    return *found->second;
}

void ViewerTools::draw(PaintSurface& surface, const PlotLayout& layout, bool split,
                       double seconds) {
    changed = false;
    drawnHeight = surface.height();
    // The text boxes are drawn before the surface's pixels are taken. Why a bound, and
    // here: the readout's text changes with every pointer position, and a draw holds up to
    // twelve boxes at once.
    if (textBoxes.size() >= 64) {
        textBoxes.clear();
    }
    const std::string reading = cursorText(layout, split);
    const std::string status = statusText();
    const auto widthOf = [](const std::string& text) {
        return static_cast<std::int32_t>(text.size()) * kCharWidth + 8;
    };
    const PaintSurface* readingBox =
        reading.empty() ? nullptr : &textBox({reading}, widthOf(reading), kLineHeight, kBoxBack);
    const PaintSurface* statusBox =
        status.empty() ? nullptr : &textBox({status}, widthOf(status), kLineHeight, kBoxBack);
    const PaintSurface* messageBox =
        messageText.empty()
            ? nullptr
            : &textBox({messageText}, widthOf(messageText), kLineHeight, kMessageBack);
    const PaintSurface* helpBox = nullptr;
    if (helpShown) {
        const std::vector<std::string> lines(std::begin(kHelpLines), std::end(kHelpLines));
        helpBox = &textBox(lines, 30 * kCharWidth,
                           static_cast<std::int32_t>(lines.size()) * kLineHeight + 4, kBoxBack);
    }
    const PaintSurface* buttons[static_cast<std::size_t>(StripButton::kCount)] = {};
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
        for (std::size_t i = 0; i < std::size(names); ++i) {
            buttons[i] =
                &textBox({names[i]}, kButtonWidth, kButtonHeight, on[i] ? kButtonOn : kButtonBack);
        }
    }

    const std::int32_t n = plot::pointsOfView(shownView);
    // The column of every point, and one past the last, worked out when the plot's width or
    // the view changes. Why kept: a column is a division per point.
    if (columnsLeft != layout.paneA.left || columnsRight != layout.paneA.right ||
        static_cast<std::int32_t>(columns.size()) != n + 1 || columnsView != shownView) {
        columnsLeft = layout.paneA.left;
        columnsRight = layout.paneA.right;
        columnsView = shownView;
        columns.resize(static_cast<std::size_t>(n) + 1);
        for (std::int32_t k = 0; k < n; ++k) {
            columns[static_cast<std::size_t>(k)] =
                shownView == 0 ? scopeSampleX(layout.paneA, k) : spectrumPointX(layout.paneA, k, n);
        }
        columns[static_cast<std::size_t>(n)] = columns[static_cast<std::size_t>(n) - 1] + 1;
    }
    Pixels pixels(surface);

    // The peak hold as steps: each point's held level from its column to the next point's.
    // Why no rising and falling edges: over a jagged spectrum they would cost as much as a
    // trace, and the steps alone show the held levels. The reference goes over them.
    if (peakHoldOn && shownView != 0 && hold.points() == n) {
        for (std::int32_t signal = 1; signal >= 0; --signal) {
            if (!hold.holds(signal)) {
                continue;
            }
            const PlotPane& pane = signal == 0 ? layout.paneA : layout.paneB;
            const std::uint32_t colour = signal == 0 ? kPeakColourA : kPeakColourB;
            for (std::int32_t k = 0; k < n; ++k) {
                const std::int32_t x = columns[static_cast<std::size_t>(k)];
                const std::int32_t next = columns[static_cast<std::size_t>(k) + 1];
                const std::int32_t y =
                    spectrumLevelY(pane, static_cast<float>(hold.level(signal, k, seconds)));
                pixels.line(x, y, std::max(x, next - 1), y, colour);
            }
        }
    }

    if (referenceTrace.view == shownView) {
        const auto samePane = [](const PlotPane& a, const PlotPane& b) {
            return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
        };
        if (drawnGeneration != referenceGeneration || !samePane(drawnPanes[0], layout.paneA) ||
            !samePane(drawnPanes[1], layout.paneB)) {
            drawnGeneration = referenceGeneration;
            drawnPanes[0] = layout.paneA;
            drawnPanes[1] = layout.paneB;
            for (std::int32_t signal = 0; signal < 2; ++signal) {
                const PlotPane& pane = signal == 0 ? layout.paneA : layout.paneB;
                std::vector<std::int32_t>& rows = referenceRows[signal];
                rows.assign(static_cast<std::size_t>(n), kNotDrawn);
                for (std::int32_t k = 0; k < n; ++k) {
                    const double value = referenceValueAt(
                        referenceTrace, signal, referenceIndex(referenceTrace, shownView, rate, k));
                    if (std::isnan(value)) {
                        continue;
                    }
                    rows[static_cast<std::size_t>(k)] =
                        shownView == 0
                            ? scopeValueY(pane, static_cast<float>(value))
                            : spectrumLevelY(pane, static_cast<float>(value) + tiltTable.offset(k));
                }
            }
        }
        // Steps like the peak hold's, two rows thick and dashed: drawn in 4 columns of 8.
        for (std::int32_t signal = 1; signal >= 0; --signal) {
            const PlotPane& pane = signal == 0 ? layout.paneA : layout.paneB;
            const std::vector<std::int32_t>& rows = referenceRows[signal];
            for (std::int32_t k = 0; k < n; ++k) {
                const std::int32_t y = rows[static_cast<std::size_t>(k)];
                const std::int32_t x = columns[static_cast<std::size_t>(k)];
                if (y == kNotDrawn || ((x - pane.left) / kDash) % 2 != 0) {
                    continue;
                }
                const std::int32_t next = columns[static_cast<std::size_t>(k) + 1];
                const std::int32_t dashEnd = x - (x - pane.left) % kDash + kDash - 1;
                const std::int32_t end = std::max(x, std::min(next - 1, dashEnd));
                pixels.line(x, y, end, y, kReferenceColour);
                // Two rows thick, so that the dashes read as a line over a jagged curve.
                pixels.line(x, std::min(y + 1, pane.bottom - 1), end,
                            std::min(y + 1, pane.bottom - 1), kReferenceColour);
            }
        }
    }

    if (readingBox != nullptr) {
        const bool inB = split && !insidePane(layout.paneA, pointerX, pointerY);
        const PlotPane& pane = inB ? layout.paneB : layout.paneA;
        pixels.line(pointerX, pane.top + 1, pointerX, pane.bottom - 1, kCursorColour);
        pixels.line(pane.left + 1, pointerY, pane.right - 1, pointerY, kCursorColour);
        pixels.paste(*readingBox, std::max(pane.left + 1, pane.right - 1 - readingBox->width()),
                     pane.top + 1);
    }
    std::int32_t y = layout.paneA.top + 1;
    for (const PaintSurface* box : {statusBox, messageBox, helpBox}) {
        if (box != nullptr) {
            pixels.paste(*box, layout.paneA.left + 1, y);
            y += box->height() + 1;
        }
    }
    for (std::int32_t i = 0; stripShown && i < static_cast<std::int32_t>(StripButton::kCount);
         ++i) {
        const PlotPane at = stripButton(static_cast<StripButton>(i), drawnHeight);
        pixels.paste(*buttons[i], at.left, at.top);
    }
}

} // namespace vex::host
