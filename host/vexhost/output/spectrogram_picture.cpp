#include "host/vexhost/output/spectrogram_picture.h"

#include "host/kit/host_error.h"
#include "host/kit/view/overlay_pixels.h"
#include "host/kit/view/paint_surface.h"
#include "host/kit/view/text_lines.h"
#include "platform/gdiplus.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vex::host {

namespace {

constexpr std::uint32_t kBackground = 0xFF0A0D13u;
constexpr std::uint32_t kInk = 0xFFC8CCD4u;
constexpr std::uint32_t kFrame = 0xFF5A606Cu;
constexpr std::int32_t kTextHeight = 15;
constexpr std::int32_t kCharWidth = 7; // about, in the 12-pixel font
constexpr std::int32_t kTick = 4;
// The colour scale: a bar this far right of the plot, this wide.
constexpr std::int32_t kScaleGap = 12;
constexpr std::int32_t kScaleWidth = 14;
// Labels of an axis lie at least this far apart.
constexpr double kTimeLabelSpacing = 90.0;
constexpr double kLevelLabelSpacing = 24.0;

// The smallest of 1, 2 or 5 times a power of ten at or above `least`.
double niceStep(double least) {
    const double decade = std::pow(10.0, std::floor(std::log10(least)));
    for (const double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * decade >= least * (1.0 - 1e-9)) {
            return m * decade;
        }
    }
    return 10.0 * decade;
}

// `value` with as many decimals as `step` needs.
std::string numberText(double value, double step) {
    const int decimals = std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals,
                  std::fabs(value) < step * 1e-6 ? 0.0 : value);
    return text;
}

// "50", "500", "5k", "12.5k".
std::string hzText(double hz) {
    char text[32];
    if (hz >= 1000.0) {
        std::snprintf(text, sizeof text, "%gk", hz / 1000.0);
    } else {
        std::snprintf(text, sizeof text, "%g", hz);
    }
    return text;
}

// The frequencies the axis labels.
std::vector<double> frequencyLabels(const SpectrogramPlot& plot) {
    if (plot.view == View::kLog) {
        return {20.0, 50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0, 10000.0, 20000.0};
    }
    const double top = plot.sampleRate / 2.0;
    const double step = niceStep(top * kLevelLabelSpacing * 1.5 / plot.rows);
    std::vector<double> labels;
    for (double hz = step; hz < top; hz += step) {
        labels.push_back(hz);
    }
    return labels;
}

// The row (from the plot's top, fractional) of `hz`.
double rowOfHz(const SpectrogramPlot& plot, double hz) {
    const double point = hzPoint(plot.view, hz, plot.sampleRate);
    return plot.rows - point * plot.rows / pointsOf(plot.view);
}

std::uint32_t colourOf(double fraction) {
    const auto v = static_cast<std::uint32_t>(std::clamp(fraction, 0.0, 1.0) * 255.0 + 0.5);
    return 0xFF000000u | v << 16 | v << 8 | v;
}

// A text and where its box's top-left corner lies.
struct Label {
    std::string text;
    float x;
    float y;
};

// The plot, the colour bar, the frame and the ticks, drawn into the pixels; the labels to
// write collected into `labels`.
void drawPixels(PaintSurface& surface, const SpectrogramPlot& plot, std::vector<Label>& labels) {
    Pixels pixels(surface);
    std::uint32_t* data = surface.pixelsToWrite();
    const std::int32_t stride = surface.rowBytes() / 4;
    const double span = plot.high - plot.low;
    for (std::int32_t y = 0; y < plot.rows; ++y) {
        std::uint32_t* row =
            data + static_cast<std::ptrdiff_t>(kSpectrogramTop + y) * stride + kSpectrogramLeft;
        const float* levels = plot.levels.data() + static_cast<std::size_t>(y) * plot.columns;
        for (std::int32_t c = 0; c < plot.columns; ++c) {
            row[c] = colourOf((levels[c] - plot.low) / span);
        }
        const std::int32_t barLeft = kSpectrogramLeft + plot.columns + kScaleGap;
        std::fill(row + plot.columns + kScaleGap, row + plot.columns + kScaleGap + kScaleWidth,
                  colourOf(static_cast<double>(plot.rows - 1 - y) / (plot.rows - 1)));
        (void)barLeft;
    }
    const std::int32_t left = kSpectrogramLeft - 1;
    const std::int32_t top = kSpectrogramTop - 1;
    const std::int32_t right = kSpectrogramLeft + plot.columns;
    const std::int32_t bottom = kSpectrogramTop + plot.rows;
    pixels.line(left, top, right, top, kFrame);
    pixels.line(left, bottom, right, bottom, kFrame);
    pixels.line(left, top, left, bottom, kFrame);
    pixels.line(right, top, right, bottom, kFrame);

    // Time: seconds at every step that keeps the labels apart.
    const double seconds = plot.toSeconds - plot.fromSeconds;
    const double step = niceStep(seconds * kTimeLabelSpacing / plot.columns);
    for (double t = std::ceil(plot.fromSeconds / step - 1e-9) * step; t <= plot.toSeconds + 1e-9;
         t += step) {
        const auto x = static_cast<std::int32_t>(
            std::lround(kSpectrogramLeft + (t - plot.fromSeconds) / seconds * plot.columns));
        pixels.line(x, bottom, x, bottom + kTick, kFrame);
        const std::string text = numberText(t, step) + " s";
        labels.push_back(
            {text, static_cast<float>(x - static_cast<std::int32_t>(text.size()) * kCharWidth / 2),
             static_cast<float>(bottom + kTick + 2)});
    }
    // Frequency: the view's labels inside the axis.
    for (const double hz : frequencyLabels(plot)) {
        const double r = rowOfHz(plot, hz);
        if (r < 0.0 || r > plot.rows) {
            continue;
        }
        const auto y = static_cast<std::int32_t>(std::lround(kSpectrogramTop + r));
        pixels.line(left - kTick, y, left, y, kFrame);
        const std::string text = hzText(hz);
        labels.push_back({text,
                          static_cast<float>(left - kTick - 3 -
                                             static_cast<std::int32_t>(text.size()) * kCharWidth),
                          static_cast<float>(y - kTextHeight / 2)});
    }
    // The colour scale's levels.
    const double dbStep = niceStep(span * kLevelLabelSpacing / plot.rows);
    const std::int32_t barRight = right + kScaleGap + kScaleWidth;
    for (double db = std::ceil(plot.low / dbStep - 1e-9) * dbStep; db <= plot.high + 1e-9;
         db += dbStep) {
        const auto y = static_cast<std::int32_t>(
            std::lround(kSpectrogramTop + (plot.high - db) / span * (plot.rows - 1)));
        pixels.line(barRight, y, barRight + kTick, y, kFrame);
        labels.push_back({numberText(db, dbStep), static_cast<float>(barRight + kTick + 3),
                          static_cast<float>(y - kTextHeight / 2)});
    }
    labels.push_back({"dB", static_cast<float>(right + kScaleGap),
                      static_cast<float>(kSpectrogramTop - kTextHeight - 4)});
    labels.push_back({"Hz", 6.0f, static_cast<float>(kSpectrogramTop - kTextHeight - 4)});
}

} // namespace

Picture drawSpectrogram(const SpectrogramPlot& plot) {
    const std::int32_t width = kSpectrogramLeft + plot.columns + kSpectrogramRight;
    const std::int32_t height = kSpectrogramTop + plot.rows + kSpectrogramBottom;
    PaintSurface surface(width, height);
    if (!surface.valid()) {
        throw HostError("no surface of " + std::to_string(width) + "x" + std::to_string(height) +
                        " pixels could be made");
    }
    surface.fill(kBackground);
    std::vector<Label> labels;
    drawPixels(surface, plot, labels);
    labels.push_back({plot.title + "  (" + analysisName(plot.analysis) + " analysis)",
                      static_cast<float>(kSpectrogramLeft), 6.0f});

    gdip::GpGraphics* graphics = nullptr;
    gdip::GdipCreateFromHDC(surface.dc(), &graphics);
    if (graphics != nullptr) {
        for (const Label& label : labels) {
            drawTextLines(graphics, {label.text}, label.x, label.y, kTextHeight, false, kInk);
        }
        gdip::GdipDeleteGraphics(graphics);
    }
    return Picture{width, height, surface.pixels()};
}

} // namespace vex::host
