// Checks the difference drawn over a window of the log view at 48 kHz: near HERTZ, its
// curve lies where its scale puts a peaking filter's gain.
//   vex_difference_check PICTURE.png GAIN_DB HERTZ Q
// The difference's scale spans +-30 dB over the plot's height, 0 dB in the middle between
// the frame's top and bottom rows; its curve is drawn in RGB(88,184,255), two rows thick.
// The log view's 528 points span 11 octaves from 10 Hz, 48 to an octave: point k stands for
// 10 Hz * 2^(k / 48) and is drawn at x = left + 1 + k (w - 1) / 528 in a plot of width w.
// Passes when, for every point within a third of an octave of HERTZ, the curve has a pixel
// in its column within 1 dB's worth of rows of the filter's gain there, and the median
// over those points of the curve's middle row in each column lies within 1 dB of it too.
// Prints what it found either way.
#include "tests/lv2/peaking_biquad.h"
#include "tests/support/screenshot.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr std::uint32_t kGrid = 0x2E384C; // the frame's colour in the default look
constexpr std::uint32_t kCurve = 0x58B8FF;
constexpr double kSpanDb = 30.0;
constexpr double kRate = 48000.0;

} // namespace

int main(int argc, char** argv) {
    vex::test::Screenshot picture;
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s PICTURE.png GAIN_DB HERTZ Q\n", argv[0]);
        return 2;
    }
    if (!picture.load(argv[1])) {
        return 2;
    }
    const double hertz = std::atof(argv[3]);
    const vex::test::PeakingBiquad filter(kRate, hertz, std::atof(argv[2]), std::atof(argv[4]));
    // The frame: the outermost columns (rows) in the grid colour over most of the height
    // (width).
    std::int32_t left = -1, right = -1, top = -1, bottom = -1;
    picture.outermostLines(true, kGrid, left, right);
    picture.outermostLines(false, kGrid, top, bottom);
    const std::int32_t width = right - left;
    if (left < 0 || top < 0 || width < picture.width / 2 || bottom - top < picture.height / 2) {
        std::printf("no plot frame found\n");
        return 1;
    }
    const double middle = 0.5 * (top + bottom);
    const double rowsPerDb = 0.5 * (bottom - top) / kSpanDb;
    std::printf("plot %d..%d x %d..%d: 0 dB at row %.1f, %.2f rows per dB\n", left, right, top,
                bottom, middle, rowsPerDb);

    const double centre = 48.0 * std::log2(hertz / 10.0);
    bool pass = true;
    std::vector<double> offsets; // each column's middle row less the expected, in dB
    for (auto k = static_cast<std::int32_t>(std::ceil(centre - 16.0)); k <= centre + 16.0; ++k) {
        const double f = 10.0 * std::pow(2.0, k / 48.0);
        const double gain = filter.gainDbAt(f, kRate);
        const double expected = middle - gain * rowsPerDb;
        const std::int32_t x = left + 1 + static_cast<std::int32_t>(k * (width - 1) / 528.0);
        std::vector<std::int32_t> rows;
        for (std::int32_t y = top + 1; y < bottom; ++y) {
            if (picture.rgb(x, y) == kCurve) {
                rows.push_back(y);
            }
        }
        double nearest = 1e9;
        for (const std::int32_t y : rows) {
            // Why + 0.5: the curve's two rows stand around its value's row and the next.
            nearest = std::min(nearest, std::fabs(y - 0.5 - expected) / rowsPerDb);
        }
        const bool near = nearest <= 1.0;
        if (!rows.empty()) {
            const double mid = 0.5 * (rows.front() + rows.back());
            offsets.push_back((expected - (mid - 0.5)) / rowsPerDb);
        }
        std::printf("%7.1f Hz (x = %d): filter %+.2f dB at row %.1f; curve rows %d..%d%s\n", f, x,
                    gain, expected, rows.empty() ? -1 : rows.front(),
                    rows.empty() ? -1 : rows.back(), near ? "" : "  <- off");
        pass = pass && near;
    }
    if (offsets.empty()) {
        std::printf("no curve near %.0f Hz\n", hertz);
        return 1;
    }
    std::nth_element(offsets.begin(), offsets.begin() + offsets.size() / 2, offsets.end());
    const double median = offsets[offsets.size() / 2];
    std::printf("median: the curve reads %+.2f dB against the filter\n", median);
    return pass && std::fabs(median) <= 1.0 ? 0 : 1;
}
