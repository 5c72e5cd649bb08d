#include "host/kit/view/difference_overlay.h"

#include "host/kit/view/overlay_pixels.h"
#include "host/kit/view/text_lines.h"

#include "platform/gdiplus.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace vex::host {

namespace {

// A sky blue of its own, apart from the module's traces (green A, orange B), the peak
// hold's pale steps and the reference's magenta; the scale's lines darker, so that they read
// as a scale and not as a curve. Opaque, as every tool's colour.
constexpr std::uint32_t kCurveColour = 0xFF58B8FFu;
constexpr std::uint32_t kZeroColour = 0xFF4A80B0u;
constexpr std::uint32_t kLineColour = 0xFF355A7Au;
constexpr std::uint32_t kLabelBack = 0xFF101010u;
constexpr std::int32_t kLabelWidth = 52;
constexpr std::int32_t kLabelHeight = 15;
// The scale's other lines dotted: 2 columns drawn of every 6.
constexpr std::int32_t kDot = 2;
constexpr std::int32_t kDotPeriod = 6;

} // namespace

std::int32_t DifferenceOverlay::rowOf(const PlotPane& pane, double db) {
    const double middle = 0.5 * (pane.top + pane.bottom - 1);
    const double half = 0.5 * (pane.bottom - 1 - pane.top);
    const double clamped = std::clamp(std::isfinite(db) ? db : 0.0, -kSpanDb, kSpanDb);
    return static_cast<std::int32_t>(std::lround(middle - clamped / kSpanDb * half));
}

double DifferenceOverlay::dbAt(const PlotPane& pane, std::int32_t y) {
    const double middle = 0.5 * (pane.top + pane.bottom - 1);
    const double half = 0.5 * (pane.bottom - 1 - pane.top);
    return half > 0.0 ? (middle - y) / half * kSpanDb : 0.0;
}

void DifferenceOverlay::prepare(double scale) {
    if (!labels.empty() && scale == labelScale) {
        return;
    }
    labels.clear();
    labelScale = scale;
    for (const double db : kLines) {
        char text[16];
        // Why U+2212: the minus sign lines up with the plus in the bold font; a hyphen is
        // half as wide.
        if (db < 0.0) {
            std::snprintf(text, sizeof text, "\xE2\x88\x92%.0f dB", -db);
        } else {
            std::snprintf(text, sizeof text, db > 0.0 ? "+%.0f dB" : "0 dB", db);
        }
        auto label =
            std::make_unique<PaintSurface>(PaintSurface::pixelsOf(kLabelWidth, scale),
                                           PaintSurface::pixelsOf(kLabelHeight, scale), scale);
        label->fill(kLabelBack);
        gdip::GpGraphics* graphics = nullptr;
        gdip::GdipCreateFromHDC(label->dc(), &graphics);
        drawTextLines(graphics, {text}, 2.0f, 0.0f, kLabelHeight, true, kCurveColour);
        gdip::GdipDeleteGraphics(graphics);
        labels.push_back(std::move(label));
    }
}

void DifferenceOverlay::draw(Pixels& pixels, const PlotPane& pane,
                             const std::vector<std::int32_t>& columns,
                             const std::vector<float>& values) const {
    for (std::size_t i = 0; i < std::size(kLines); ++i) {
        const std::int32_t y = rowOf(pane, kLines[i]);
        if (kLines[i] == 0.0) {
            pixels.line(pane.left + 1, y, pane.right - 1, y, kZeroColour);
        } else {
            for (std::int32_t x = pane.left + 1; x < pane.right; x += kDotPeriod) {
                pixels.line(x, y, std::min(x + kDot - 1, pane.right - 1), y, kLineColour);
            }
        }
        if (i < labels.size()) {
            pixels.paste(*labels[i], pane.right - 1 - kLabelWidth, y - kLabelHeight / 2);
        }
    }
    const std::size_t n = std::min(values.size(), columns.empty() ? 0 : columns.size() - 1);
    bool joined = false;
    std::int32_t lastX = 0;
    std::int32_t lastY = 0;
    for (std::size_t k = 0; k < n; ++k) {
        if (std::isnan(values[k])) {
            joined = false;
            continue;
        }
        const std::int32_t x = columns[k];
        const std::int32_t y = rowOf(pane, values[k]);
        const std::int32_t fromX = joined ? lastX : x;
        const std::int32_t fromY = joined ? lastY : y;
        // Two rows thick, so that the curve reads over the display's own traces. Why only
        // where it is shallow: a steep step already lights a column of pixels, and a second
        // one beside it would double the cost of a jagged curve for nothing seen.
        pixels.line(fromX, fromY, x, y, kCurveColour);
        if (std::abs(y - fromY) <= x - fromX) {
            pixels.line(fromX, std::min(fromY + 1, pane.bottom - 1), x,
                        std::min(y + 1, pane.bottom - 1), kCurveColour);
        }
        joined = true;
        lastX = x;
        lastY = y;
    }
}

} // namespace vex::host
