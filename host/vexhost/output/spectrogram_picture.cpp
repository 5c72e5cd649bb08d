#include "host/vexhost/output/spectrogram_picture.h"

#include "host/kit/host_error.h"
#include "host/kit/view/overlay_pixels.h"
#include "host/kit/view/paint_surface.h"
#include "host/kit/view/spectrogram_colours.h"
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
// The colour scale lies this far right of the plot.
constexpr std::int32_t kScaleGap = 12;
// Labels of an axis lie at least this far apart.
constexpr double kTimeLabelSpacing = 90.0;

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
    const spectrogram::LevelColours colours(spectrogram::LevelRange{plot.low, plot.high});
    for (std::int32_t y = 0; y < plot.rows; ++y) {
        std::uint32_t* row =
            data + static_cast<std::ptrdiff_t>(kSpectrogramTop + y) * stride + kSpectrogramLeft;
        const float* levels = plot.levels.data() + static_cast<std::size_t>(y) * plot.columns;
        for (std::int32_t c = 0; c < plot.columns; ++c) {
            row[c] = colours(levels[c]);
        }
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
    labels.push_back({"dB", static_cast<float>(right + kScaleGap),
                      static_cast<float>(kSpectrogramTop - kTextHeight - 4)});
    labels.push_back({"Hz", static_cast<float>(left - 3 * kCharWidth),
                      static_cast<float>(kSpectrogramTop - kTextHeight - 4)});
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
    // The frequency axis as the display labels its own, over the plot's rows (its outline
    // one row above and below them), and the colour scale beside it.
    const PlotPane pane{kSpectrogramLeft - 1, kSpectrogramTop - 1, kSpectrogramLeft + plot.columns,
                        kSpectrogramTop + plot.rows};
    const spectrogram::AxisLook look{kInk, 1.0};
    const spectrogram::FrequencyAxis axis(plot.view, plot.sampleRate, pane);
    spectrogram::drawFrequencyLabels(surface, axis, pane.left - kTick, look);
    const std::int32_t scaleLeft = pane.right + kScaleGap;
    spectrogram::drawColourScale(surface,
                                 PlotPane{scaleLeft, kSpectrogramTop,
                                          scaleLeft + spectrogram::colourScaleWidth(look),
                                          kSpectrogramTop + plot.rows},
                                 spectrogram::LevelRange{plot.low, plot.high}, look);
    return Picture{width, height, surface.pixels()};
}

} // namespace vex::host
