// What the tools draw over the display's picture: the reference trace, the peak hold, the
// cursor and its reading, the status line, a message, the help and the strip. Positions
// come from the display's own plot geometry, so what is drawn lies where the display would
// draw the same levels.
#include "host/kit/view/viewer_tools.h"

#include "host/kit/view/overlay_pixels.h"
#include "host/kit/view/text_lines.h"

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
constexpr std::int32_t kLineHeight = 17;
constexpr std::int32_t kCharWidth = 7; // a wide character of the bold 12-pixel font
// Dashes of the reference: 4 columns drawn, 4 left out.
constexpr std::int32_t kDash = 4;

constexpr const char* kHelpLines[] = {
    "p  peak hold",
    "c  cursor readout",
    "t  tilt: off, 3, 4.5 dB/oct",
    "a  smoothing: off, fast, slow",
    "space  freeze",
    "r  keep the reference",
    "x  clear the reference",
    "m  analysis: module or fine",
    "d  difference: B against A",
    "v  difference: next reference member",
    "w  spectrogram",
    "l  spectrogram's colour range",
    "h or ?  this help",
};

// A box of `width` x `height` units in `back` with `lines` of text, drawn by GDI+ once at
// `scale`.
std::unique_ptr<PaintSurface> renderTextBox(const std::vector<std::string>& lines,
                                            std::int32_t width, std::int32_t height,
                                            std::uint32_t back, double scale) {
    auto box = std::make_unique<PaintSurface>(PaintSurface::pixelsOf(width, scale),
                                              PaintSurface::pixelsOf(height, scale), scale);
    box->fill(back);
    gdip::GpGraphics* graphics = nullptr;
    gdip::GdipCreateFromHDC(box->dc(), &graphics);
    drawTextLines(graphics, lines, 3.0f, 1.0f, kLineHeight, true, kText);
    gdip::GdipDeleteGraphics(graphics);
    return box;
}

bool insidePane(const PlotPane& pane, std::int32_t x, std::int32_t y) {
    return x >= pane.left && x <= pane.right && y >= pane.top && y < pane.bottom;
}

} // namespace

std::string ViewerTools::statusText() const {
    std::string status;
    const auto add = [&status](const std::string& part) {
        status += status.empty() ? part : "  " + part;
    };
    // Why only in the spectra: the scope is always the module's.
    if (isSpectrum(viewOf(shownView))) {
        add(std::string(analysisName(analysisShown)) + " analysis" +
            (fineUnavailable.empty() ? "" : " only"));
    }
    // Why only in the spectra: the scope's samples take no tilt.
    if (tiltSetting != Tilt::kOff && isSpectrum(viewOf(shownView))) {
        add(std::string("tilt ") + tiltName(tiltSetting) + " dB/oct");
    }
    if (smoother.smoothing() != Smoothing::kOff) {
        add(std::string("smoothing ") + smoothingName(smoother.smoothing()));
    }
    if (differenceOn && isSpectrum(viewOf(shownView))) {
        const std::string problem = differenceProblem();
        add("difference " + (problem.empty() ? differenceAgainst() : "(" + problem + ")"));
    }
    if (spectrogramOn) {
        add(isSpectrum(viewOf(shownView)) ? "spectrogram " + spectrogramRangeName(spectrogramRange)
                                          : std::string("spectrogram: in the spectra only"));
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
    if (spectrogramShown()) {
        return spectrogramView.readout(pointerX, pointerY, latestSeconds);
    }
    const CursorReading reading = readCursor(shownView, layout, split, pointerX, pointerY, rate);
    const std::vector<float>& differences = spectrumDifference.values();
    const auto n = static_cast<std::int32_t>(differences.size());
    if (reading.inside && differenceOn && n > 0 && differenceProblem().empty()) {
        const PlotPane pane = differencePane(layout, split);
        const auto k = std::clamp(
            static_cast<std::int32_t>(std::lround(spectrumPointAt(pane, pointerX, n))), 0, n - 1);
        return differenceText(pointHz(viewOf(shownView), k, rate),
                              differences[static_cast<std::size_t>(k)], differenceAgainst());
    }
    std::string text = reading.text;
    if (!text.empty() && isSpectrum(viewOf(shownView)) && tiltSetting != Tilt::kOff) {
        text += std::string(" (tilted ") + tiltName(tiltSetting) + ")";
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
        found = textBoxes.emplace(key, renderTextBox(lines, width, height, back, drawnScale)).first;
    }
    return *found->second;
}

void ViewerTools::draw(PaintSurface& surface, const PlotLayout& displayLayout, bool split,
                       double seconds) {
    changed = false;
    drawnWidth = surface.logicalWidth();
    drawnHeight = surface.logicalHeight();
    // The spectrogram paints the whole window; the boxes go over its plot, and neither peak
    // hold, reference nor difference is drawn over it.
    const bool spectrogramDrawn = spectrogramShown();
    PlotLayout layout = displayLayout;
    if (spectrogramDrawn) {
        spectrogramView.paint(surface, viewOf(shownView), rate, spectrogramRange);
        layout.paneA = spectrogramView.placedInUnits();
        layout.paneB = layout.paneA;
        split = false;
    }
    // The text boxes are drawn before the surface's pixels are taken. Why a bound, and
    // here: the readout's text changes with every pointer position, and a draw holds up to
    // twelve boxes at once. Boxes of another scale are of no more use.
    if (textBoxes.size() >= 64 || surface.scale() != drawnScale) {
        textBoxes.clear();
    }
    drawnScale = surface.scale();
    Boxes boxes;
    prepareBoxes(layout, split, boxes);
    if (stripShown) {
        prepareStrip(boxes.buttons);
    }
    prepareColumns(layout);
    const bool drawDifference = !spectrogramDrawn && differenceOn &&
                                isSpectrum(viewOf(shownView)) && differenceProblem().empty();
    if (drawDifference) {
        differenceOverlay.prepare(drawnScale);
    }
    Pixels pixels(surface);
    if (!spectrogramDrawn) {
        drawPeakHold(pixels, layout, seconds);
        if (referenceTrace.view == shownView) {
            prepareReferenceRows(layout);
            drawReference(pixels, layout);
        }
    }
    if (drawDifference) {
        differenceOverlay.draw(pixels, differencePane(layout, split), columns,
                               spectrumDifference.values());
    }
    drawBoxes(pixels, layout, split, boxes);
    if (stripShown) {
        drawStrip(pixels, boxes.buttons);
    }
}

void ViewerTools::prepareBoxes(const PlotLayout& layout, bool split, Boxes& boxes) {
    const std::string reading = cursorText(layout, split);
    const std::string status = statusText();
    // Why m and w count twice: they are about twice as wide as the others in the bold font
    // (a long line of them was cut short).
    const auto widthOf = [](const std::string& text) {
        const auto wide =
            std::count_if(text.begin(), text.end(), [](char c) { return c == 'm' || c == 'w'; });
        return static_cast<std::int32_t>(text.size() + static_cast<std::size_t>(wide)) *
                   kCharWidth +
               8;
    };
    if (!reading.empty()) {
        boxes.reading = &textBox({reading}, widthOf(reading), kLineHeight, kBoxBack);
    }
    if (!status.empty()) {
        boxes.status = &textBox({status}, widthOf(status), kLineHeight, kBoxBack);
    }
    if (!messageText.empty()) {
        boxes.message = &textBox({messageText}, widthOf(messageText), kLineHeight, kMessageBack);
    }
    if (helpShown) {
        const std::vector<std::string> lines(std::begin(kHelpLines), std::end(kHelpLines));
        boxes.help = &textBox(lines, 30 * kCharWidth,
                              static_cast<std::int32_t>(lines.size()) * kLineHeight + 4, kBoxBack);
    }
}

// The column of every point, and one past the last, worked out when the plot's width or the
// view changes. Why kept: a column is a division per point.
void ViewerTools::prepareColumns(const PlotLayout& layout) {
    const std::int32_t n = plot::pointsOfView(shownView);
    if (columnsLeft == layout.paneA.left && columnsRight == layout.paneA.right &&
        static_cast<std::int32_t>(columns.size()) == n + 1 && columnsView == shownView) {
        return;
    }
    columnsLeft = layout.paneA.left;
    columnsRight = layout.paneA.right;
    columnsView = shownView;
    columns.resize(static_cast<std::size_t>(n) + 1);
    for (std::int32_t k = 0; k < n; ++k) {
        columns[static_cast<std::size_t>(k)] = viewOf(shownView) == View::kScope
                                                   ? scopeSampleX(layout.paneA, k)
                                                   : spectrumPointX(layout.paneA, k, n);
    }
    columns[static_cast<std::size_t>(n)] = columns[static_cast<std::size_t>(n) - 1] + 1;
}

// The peak hold as steps: each point's held level from its column to the next point's.
// Why no rising and falling edges: over a jagged spectrum they would cost as much as a
// trace, and the steps alone show the held levels. The reference goes over them.
void ViewerTools::drawPeakHold(Pixels& pixels, const PlotLayout& layout, double seconds) const {
    const std::int32_t n = plot::pointsOfView(shownView);
    if (!peakHoldOn || !isSpectrum(viewOf(shownView)) || hold.points() != n) {
        return;
    }
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

// The reference's rows, worked out again when the reference, the view, the tilt, the rate
// or the panes changed.
void ViewerTools::prepareReferenceRows(const PlotLayout& layout) {
    const auto samePane = [](const PlotPane& a, const PlotPane& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    };
    if (drawnGeneration == referenceGeneration && samePane(drawnPanes[0], layout.paneA) &&
        samePane(drawnPanes[1], layout.paneB)) {
        return;
    }
    drawnGeneration = referenceGeneration;
    drawnPanes[0] = layout.paneA;
    drawnPanes[1] = layout.paneB;
    const std::int32_t n = plot::pointsOfView(shownView);
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
                viewOf(shownView) == View::kScope
                    ? scopeValueY(pane, static_cast<float>(value))
                    : spectrumLevelY(pane, static_cast<float>(value) + tiltTable.offset(k));
        }
    }
}

// Steps like the peak hold's, two rows thick and dashed: drawn in 4 columns of 8.
void ViewerTools::drawReference(Pixels& pixels, const PlotLayout& layout) const {
    const std::int32_t n = plot::pointsOfView(shownView);
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
            pixels.line(x, std::min(y + 1, pane.bottom - 1), end, std::min(y + 1, pane.bottom - 1),
                        kReferenceColour);
        }
    }
}

PlotPane ViewerTools::differencePane(const PlotLayout& layout, bool split) {
    PlotPane pane = layout.paneA;
    if (split) {
        pane.bottom = layout.paneB.bottom;
    }
    return pane;
}

// The cursor's cross and reading in the pane under the pointer, then the status line, the
// message and the help down the plot's upper left corner.
void ViewerTools::drawBoxes(Pixels& pixels, const PlotLayout& layout, bool split,
                            const Boxes& boxes) const {
    if (boxes.reading != nullptr) {
        const bool inB = split && !insidePane(layout.paneA, pointerX, pointerY);
        const PlotPane& pane = inB ? layout.paneB : layout.paneA;
        pixels.line(pointerX, pane.top + 1, pointerX, pane.bottom - 1, kCursorColour);
        pixels.line(pane.left + 1, pointerY, pane.right - 1, pointerY, kCursorColour);
        pixels.paste(*boxes.reading,
                     std::max(pane.left + 1, pane.right - 1 - boxes.reading->logicalWidth()),
                     pane.top + 1);
    }
    std::int32_t y = layout.paneA.top + 1;
    for (const PaintSurface* box : {boxes.status, boxes.message, boxes.help}) {
        if (box != nullptr) {
            pixels.paste(*box, layout.paneA.left + 1, y);
            y += box->logicalHeight() + 1;
        }
    }
}

} // namespace vex::host
