#include "host/vexhost/output/spectrogram_columns.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vex::host {

namespace {

// Levels in dB (finite, within +-360, as MomentSpectra gives them) as powers, fast: 2^x as
// 2^floor(x) times a polynomial of the rest (within 3e-6 of the power, far below what a colour
// shows). Why not exp: every point of every analysis passes here, and this loop vectorises.
void powersOf(const float* levels, std::int32_t count, float* powers) {
    constexpr float kLog2Of10Over10 = 0.33219280948873623f;
    constexpr float kLn2 = 0.69314718055994531f;
    constexpr float kRootTwo = 1.41421356237309505f;
    for (std::int32_t k = 0; k < count; ++k) {
        float x = levels[k] * kLog2Of10Over10;
        const auto whole = static_cast<std::int32_t>(x + 128.0f) - 128; // floor
        const float g = (x - static_cast<float>(whole) - 0.5f) * kLn2;  // |g| <= ln2 / 2
        const float part =
            kRootTwo *
            (1.0f + g * (1.0f + g * (0.5f + g * (1.0f / 6.0f +
                                                 g * (1.0f / 24.0f + g * (1.0f / 120.0f))))));
        const std::uint32_t bits = static_cast<std::uint32_t>(whole + 127) << 23;
        float scale = 0.0f;
        std::memcpy(&scale, &bits, sizeof scale);
        powers[k] = part * scale;
    }
}

float levelOf(double power) {
    return static_cast<float>(10.0 * std::log10(power));
}

} // namespace

SpectrogramColumns::SpectrogramColumns(MomentSpectra& source, double fromSample, double columnSpan,
                                       std::int32_t columnCount, Sink columnSink)
    : spectra(source), sink(std::move(columnSink)), points(source.points()),
      columns(std::max<std::int32_t>(1, columnCount)), from(fromSample),
      span(columnSpan > 0.0 ? columnSpan : 1.0) {
    lags.resize(static_cast<std::size_t>(points));
    for (std::int32_t k = 0; k < points; ++k) {
        lags[static_cast<std::size_t>(k)] = spectra.lag(k);
    }
    leastLag = *std::min_element(lags.begin(), lags.end());
    greatestLag = *std::max_element(lags.begin(), lags.end());
    // Why the least lag bounds the step: it is half the shortest window, and Hann windows
    // half their length apart sum to a constant, so every sample weighs alike. A column
    // narrower than that takes one moment, so that each has an analysis of its own.
    const double longestStep = std::max(1.0, leastLag);
    const double perColumn = std::ceil(span / longestStep);
    step = span / perColumn;
    // Moment j centres the least-lagging points at from + (j + 0.5) * step; the last
    // moment centres the most-lagging ones before the last column's end.
    const double reach = (columns * span + greatestLag - leastLag) / step - 0.5;
    moments = std::max<std::int64_t>(1, static_cast<std::int64_t>(std::ceil(reach)));
    first = std::max<std::int64_t>(0, momentOf(0) - spectra.reach());
    end = momentOf(moments - 1);
    position = first;

    // Open columns: those between the most- and the least-lagging centres of a moment, and
    // one either side.
    ring = static_cast<std::int32_t>(std::min<double>(
        columns, std::ceil((greatestLag - leastLag + 2.0 * step + 2.0) / span) + 2));
    sums.assign(static_cast<std::size_t>(ring) * points, 0.0);
    counts.assign(static_cast<std::size_t>(ring) * points, 0);
    levels.assign(static_cast<std::size_t>(points), 0.0f);
    powers.assign(static_cast<std::size_t>(points), 0.0f);
    lagSpans.resize(lags.size());
    for (std::size_t k = 0; k < lags.size(); ++k) {
        lagSpans[k] = lags[k] / span;
    }
    column.assign(static_cast<std::size_t>(points), -200.0f);
}

std::int64_t SpectrogramColumns::momentOf(std::int64_t j) const {
    // The sample after the newest one the analysis reads.
    return std::llround(from + (static_cast<double>(j) + 0.5) * step + leastLag) + 1;
}

void SpectrogramColumns::feed(const float* samples, std::int32_t count) {
    while (count > 0 && next < moments) {
        const std::int64_t moment = momentOf(next);
        const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(count, moment - position));
        if (n > 0) {
            spectra.feed(samples, n);
            samples += n;
            count -= n;
            position += n;
        }
        if (position >= moment) {
            analyseAt(moment);
        }
    }
}

void SpectrogramColumns::analyseAt(std::int64_t moment) {
    // Columns no analysis from this one on reaches are done.
    const double earliest = static_cast<double>(moment - 1) - greatestLag;
    while (handed < columns && from + (handed + 1) * span <= earliest) {
        handOn(handed);
    }
    spectra.analyse(levels.data());
    powersOf(levels.data(), points, powers.data());
    // Why the same powers for every moment that rounds to this sample: a column narrower
    // than a sample takes them all the same.
    for (; next < moments && momentOf(next) == moment; ++next) {
        const double shift = (static_cast<double>(moment - 1) - from) / span;
        if (leastLag == greatestLag) {
            addToColumn(shift - lagSpans[0], 0, points);
            continue;
        }
        for (std::int32_t k = 0; k < points; ++k) {
            addToColumn(shift - lagSpans[static_cast<std::size_t>(k)], k, k + 1);
        }
    }
}

void SpectrogramColumns::addToColumn(double at, std::int32_t begin, std::int32_t end) {
    if (!(at >= handed) || !(at < columns)) {
        return;
    }
    const auto c = static_cast<std::int32_t>(at);
    while (c >= handed + ring) {
        handOn(handed); // a column the ring cannot hold open any longer
    }
    const std::size_t base = static_cast<std::size_t>(c % ring) * points;
    for (std::int32_t k = begin; k < end; ++k) {
        sums[base + k] += powers[static_cast<std::size_t>(k)];
        ++counts[base + k];
    }
}

void SpectrogramColumns::handOn(std::int32_t c) {
    const std::size_t base = static_cast<std::size_t>(c % ring) * points;
    for (std::int32_t k = 0; k < points; ++k) {
        const std::size_t slot = base + k;
        // A point no analysis reached keeps the last column's level.
        if (counts[slot] > 0) {
            column[static_cast<std::size_t>(k)] = levelOf(sums[slot] / counts[slot]);
        }
        sums[slot] = 0.0;
        counts[slot] = 0;
    }
    sink(c, column.data());
    ++handed;
}

void SpectrogramColumns::finish() {
    while (handed < columns) {
        handOn(handed);
    }
}

void rowsOfPoints(const float* levels, std::int32_t points, std::int32_t rows, float* out) {
    const double perRow = static_cast<double>(points) / rows;
    for (std::int32_t r = 0; r < rows; ++r) {
        const double low = r * perRow;
        const double high = (r + 1) * perRow;
        const auto k0 = static_cast<std::int32_t>(std::ceil(low));
        float value = 0.0f;
        if (k0 < high && k0 < points) {
            value = levels[k0];
            for (std::int32_t k = k0 + 1; k < high && k < points; ++k) {
                value = std::max(value, levels[k]);
            }
        } else {
            const double centre = std::min<double>((low + high) * 0.5, points - 1);
            const auto k = static_cast<std::int32_t>(centre);
            const auto f = static_cast<float>(centre - k);
            value = k + 1 < points ? levels[k] * (1.0f - f) + levels[k + 1] * f : levels[k];
        }
        out[rows - 1 - r] = value;
    }
}

} // namespace vex::host
