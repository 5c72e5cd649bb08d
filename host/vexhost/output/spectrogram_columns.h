// The columns of a spectrogram of a stretch of input, one per pixel: each column stands for
// all the audio in its span. The analyses are taken at moments a fixed step apart, their
// windows overlapping by at least half, and each point of each analysis counts in the column
// its window is centred in; a column's level of a point is the mean of those analyses'
// powers, so a click anywhere in a span (between two columns too) shows in its column.
//
// Streaming: the input is fed in order and each column is handed on as soon as no later
// analysis can reach it, so memory depends on the analysis's reach and the column count,
// never on the input's length.
#pragma once

#include "host/vexhost/output/spectrogram_spectra.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace vex::host {

class SpectrogramColumns {
public:
    // Receives column `column` (0 first) with its level of every point (dB); `levels` lives
    // during the call only.
    using Sink = std::function<void(std::int32_t column, const float* levels)>;

    // `columns` columns of `span` samples each (above 0) from sample `from` of the
    // signal on (columns >= 1), analysed by `spectra` (which outlives this and has been fed
    // nothing).
    SpectrogramColumns(MomentSpectra& spectra, double from, double span, std::int32_t columns,
                       Sink sink);

    // The sample to start feeding at (samples before it are not needed) and the one after
    // the last needed; both at or above 0, the end possibly past `to` (feed zeros there).
    std::int64_t firstSample() const { return first; }
    std::int64_t endSample() const { return end; }
    // The next `count` samples, from firstSample() on; analyses at every moment they reach.
    void feed(const float* samples, std::int32_t count);
    // Hands every column not yet handed on to the sink, in order (after feeding to
    // endSample(); earlier, the columns not reached keep the levels of the last one).
    void finish();

private:
    std::int64_t momentOf(std::int64_t j) const;
    void analyseAt(std::int64_t moment);
    // Adds the powers of points begin..end-1 to the column at `at` (in columns from `from`),
    // unless it lies outside the columns or was handed on.
    void addToColumn(double at, std::int32_t begin, std::int32_t end);
    void handOn(std::int32_t column);

    MomentSpectra& spectra;
    Sink sink;
    std::int32_t points;
    std::int32_t columns;
    double from;
    double span;               // samples per column
    double step;               // between moments
    double leastLag = 0.0;     // of any point
    double greatestLag = 0.0;  // of any point
    std::int64_t moments = 0;  // in all
    std::int64_t next = 0;     // the next moment's number
    std::int64_t position = 0; // the next sample to feed
    std::int64_t first = 0;
    std::int64_t end = 0;
    std::int32_t handed = 0;  // columns handed on
    std::int32_t ring = 0;    // columns kept open at once
    std::vector<double> sums; // ring x points powers
    std::vector<std::int32_t> counts;
    std::vector<float> levels; // one analysis
    std::vector<float> powers; // the same as powers
    std::vector<float> column; // one column handed on
    std::vector<double> lags;
    std::vector<double> lagSpans; // the lags in columns
};

// The `rows` rows of a picture's frequency axis from a column's levels of `points` points,
// top row first: the axis runs from point 0 at the bottom edge to point `points` at the top
// edge, so row r from the bottom stands for points r*points/rows up to (r+1)*points/rows; it
// takes the highest level of the points in it, or where it holds none, the level at its
// centre between the two nearest points.
void rowsOfPoints(const float* levels, std::int32_t points, std::int32_t rows, float* out);

} // namespace vex::host
