#include "host/kit/view/spectrogram_view.h"

#include "host/kit/view/overlay_pixels.h"

#include "platform/device_context.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vex::host {

namespace {

// The default look's panel and grid (host/kit/view/display_session.cpp's defaultLook).
constexpr std::uint32_t kBackground = 0xFF10141Cu;
constexpr std::uint32_t kGrid = 0xFF2E384Cu;
// Room between the plot and the colour scale.
constexpr std::int32_t kScaleGap = 6;
// The frequency labels' ticks, left of the plot.
constexpr std::int32_t kTickLength = 3;
// 10 s of frames at the fastest rate frames come (40 a second).
constexpr std::int32_t kTenSeconds = 400;

} // namespace

spectrogram::LevelRange spectrogramLevels(SpectrogramRange range) {
    switch (range) {
    case SpectrogramRange::kNarrow:
        return {-50.0, 0.0};
    case SpectrogramRange::kWide:
        return {-120.0, 7.0};
    default:
        return spectrogram::displayRange();
    }
}

std::string spectrogramRangeName(SpectrogramRange range) {
    const spectrogram::LevelRange levels = spectrogramLevels(range);
    char text[16];
    std::snprintf(text, sizeof text, "%.0f dB", levels.high - levels.low);
    return text;
}

// Why the display's layout in units with its edges scaled: the plot lies where the display's
// would at the window's scale, and the columns and rows are the surface's own pixels.
SpectrogramView::Placement SpectrogramView::place(std::int32_t width, std::int32_t height,
                                                  const spectrogram::AxisLook& look) {
    const double scale = platform::usableScale(look.scale);
    const PlotPane units = plotLayout(PaintSurface::unitsOf(width, scale),
                                      PaintSurface::unitsOf(height, scale), true, false)
                               .paneA;
    const auto edge = [scale](std::int32_t at) {
        return static_cast<std::int32_t>(platform::scaledEdge(at, scale));
    };
    Placement at;
    at.plot = PlotPane{edge(units.left), edge(units.top), edge(units.right), edge(units.bottom)};
    const std::int32_t scaleWidth = spectrogram::colourScaleWidth(look);
    const std::int32_t gap = edge(kScaleGap);
    at.plot.right = std::max(at.plot.left + 2, at.plot.right - scaleWidth - gap);
    at.scale = PlotPane{at.plot.right + gap, at.plot.top + 1, at.plot.right + gap + scaleWidth,
                        at.plot.bottom};
    return at;
}

SpectrogramView::SpectrogramView() : frames(kTenSeconds) {}

void SpectrogramView::setAxisLook(const spectrogram::AxisLook& axisLook) {
    look = axisLook;
    frame.reset();
}

void SpectrogramView::arrange(const Geometry& wanted) {
    shown = wanted;
    look.scale = wanted.scale;
    placement = place(wanted.width, wanted.height, look);
    const PlotPane& plot = placement.plot;
    axis =
        std::make_unique<spectrogram::FrequencyAxis>(wanted.view, wanted.rate, plot, wanted.scale);
    colours = std::make_unique<spectrogram::LevelColours>(spectrogramLevels(wanted.range));
    // Why the window's edges too: a window narrower or lower than the margins has a plot
    // that reaches past it.
    columns = std::max(0, std::min(plot.right, wanted.width) - plot.left - 1);
    rows = std::max(0, std::min(plot.bottom, wanted.height) - plot.top - 1);
    frames.reserve(std::max(columns, kTenSeconds));
    // Each row shows the loudest of the points drawn on it, or the point read there when
    // none is (more rows than points).
    firstPoint.assign(static_cast<std::size_t>(rows), -1);
    lastPoint.assign(static_cast<std::size_t>(rows), -1);
    for (std::int32_t k = 0; k < axis->points(); ++k) {
        const std::int32_t row = axis->pointRow(k) - plot.top - 1;
        if (row >= 0 && row < rows) {
            auto& first = firstPoint[static_cast<std::size_t>(row)];
            first = first < 0 ? k : first;
            lastPoint[static_cast<std::size_t>(row)] = k;
        }
    }
    for (std::int32_t row = 0; row < rows; ++row) {
        if (firstPoint[static_cast<std::size_t>(row)] < 0) {
            const auto k =
                static_cast<std::int32_t>(std::lround(axis->pointAt(plot.top + 1 + row)));
            firstPoint[static_cast<std::size_t>(row)] = k;
            lastPoint[static_cast<std::size_t>(row)] = k;
        }
    }
    drawFrame();
    image.assign(static_cast<std::size_t>(rows) * columns, kBackground);
    drawnRestarts = ~std::uint64_t{0};
}

void SpectrogramView::drawFrame() {
    frame = std::make_unique<PaintSurface>(shown.width, shown.height);
    frame->fill(kBackground);
    const auto tick = static_cast<std::int32_t>(platform::scaledEdge(kTickLength, shown.scale));
    spectrogram::drawFrequencyLabels(*frame, *axis, placement.plot.left - tick - 1, look);
    spectrogram::drawColourScale(*frame, placement.scale, colours->range(), look);
    Pixels pixels(*frame);
    const PlotPane& plot = placement.plot;
    pixels.line(plot.left, plot.top, plot.right, plot.top, kGrid);
    pixels.line(plot.left, plot.bottom, plot.right, plot.bottom, kGrid);
    pixels.line(plot.left, plot.top, plot.left, plot.bottom, kGrid);
    pixels.line(plot.right, plot.top, plot.right, plot.bottom, kGrid);
}

float SpectrogramView::rowLevel(const float* column, std::int32_t row) const {
    const auto r = static_cast<std::size_t>(row);
    float loudest = column[firstPoint[r]];
    for (std::int32_t k = firstPoint[r] + 1; k <= lastPoint[r]; ++k) {
        // Why not std::max: a NaN point must not hide the others.
        loudest = column[k] > loudest || std::isnan(loudest) ? column[k] : loudest;
    }
    return loudest;
}

void SpectrogramView::colourColumn(std::int32_t back, std::int32_t slot) {
    const float* column = frames.column(back);
    std::uint32_t* at = image.data() + slot;
    for (std::int32_t row = 0; row < rows; ++row, at += columns) {
        *at = (*colours)(rowLevel(column, row));
    }
}

// The columns that came since the last paint coloured into the ring; everything again when
// the history started over or the geometry changed.
void SpectrogramView::update() {
    if (columns == 0 || rows == 0 || frames.points() != axis->points()) {
        std::fill(image.begin(), image.end(), kBackground);
        drawnAdded = frames.added();
        return;
    }
    std::int32_t fresh = static_cast<std::int32_t>(
        std::min<std::uint64_t>(frames.added() - drawnAdded, static_cast<std::uint64_t>(columns)));
    if (drawnRestarts != frames.restarts()) {
        std::fill(image.begin(), image.end(), kBackground);
        drawnRestarts = frames.restarts();
        fresh = std::min(columns, frames.size());
        head = (2 * columns - 1 - fresh) % columns; // the newest lands in the last slot
    }
    fresh = std::min(fresh, frames.size());
    for (std::int32_t back = fresh - 1; back >= 0; --back) {
        head = (head + 1) % columns;
        colourColumn(back, head);
    }
    drawnAdded = frames.added();
}

void SpectrogramView::paint(PaintSurface& surface, View view, double sampleRate,
                            SpectrogramRange range) {
    const Geometry wanted{surface.width(), surface.height(), view, sampleRate,
                          range,           surface.scale()};
    if (!(wanted == shown) || frame == nullptr) {
        arrange(wanted);
    }
    update();
    std::uint8_t* data = reinterpret_cast<std::uint8_t*>(surface.pixelsToWrite());
    if (data == nullptr) {
        return;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(shown.width) * 4;
    for (std::int32_t y = 0; y < shown.height; ++y) {
        std::memcpy(data + static_cast<std::ptrdiff_t>(y) * surface.rowBytes(), frame->row(y),
                    rowBytes);
    }
    // The ring from the oldest slot (after the head) to the newest, left to right.
    const std::int32_t oldest = columns > 0 ? (head + 1) % columns : 0;
    const std::int32_t left = placement.plot.left + 1;
    for (std::int32_t row = 0; columns > 0 && row < rows; ++row) {
        auto* out = reinterpret_cast<std::uint32_t*>(
                        data + static_cast<std::ptrdiff_t>(placement.plot.top + 1 + row) *
                                   surface.rowBytes()) +
                    left;
        const std::uint32_t* in = image.data() + static_cast<std::ptrdiff_t>(row) * columns;
        std::memcpy(out, in + oldest, static_cast<std::size_t>(columns - oldest) * 4);
        std::memcpy(out + (columns - oldest), in, static_cast<std::size_t>(oldest) * 4);
    }
    surface.written();
}

PlotPane SpectrogramView::placedInUnits() const {
    const double scale = shown.scale;
    const auto unit = [scale](std::int32_t pixel) {
        return static_cast<std::int32_t>(std::lround(pixel / scale));
    };
    const PlotPane& plot = placement.plot;
    return PlotPane{unit(plot.left), unit(plot.top), unit(plot.right), unit(plot.bottom)};
}

std::string SpectrogramView::readout(std::int32_t unitX, std::int32_t unitY, double seconds) const {
    // The pixel in the middle of the unit.
    const auto x = static_cast<std::int32_t>(std::floor((unitX + 0.5) * shown.scale));
    const auto y = static_cast<std::int32_t>(std::floor((unitY + 0.5) * shown.scale));
    const PlotPane& plot = placement.plot;
    const std::int32_t back = plot.left + columns - x; // the newest column at left + columns
    const std::int32_t row = y - plot.top - 1;
    if (axis == nullptr || x <= plot.left || back < 0 || row < 0 || row >= rows ||
        back >= std::min(frames.size(), columns) || frames.points() != axis->points()) {
        return std::string();
    }
    const double hz = axis->hzAt(y);
    const double ago = std::max(0.0, seconds - frames.time(back));
    char text[96];
    std::snprintf(text, sizeof text, "%.2f s ago  %.0f Hz  %s  %.1f dB", ago, hz,
                  noteText(hz).c_str(), static_cast<double>(rowLevel(frames.column(back), row)));
    return text;
}

} // namespace vex::host
