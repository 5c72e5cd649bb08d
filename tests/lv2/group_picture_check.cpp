// Checks a picture of a group in the log view at the default look: each member's peak
// stands where the view puts its frequency, in the main colours or shaded.
//   vex_group_picture_check PICTURE.png HERTZ:main|shaded ...
// The log view's 528 points span 11 octaves from 10 Hz, 48 to an octave: a frequency f is at
// point k = 48 log2(f / 10 Hz), drawn at x = left + 1 + k (w - 1) / 528 in a plot of width
// w. The analysis resolves a frequency to a bin of 48000 / 1024 Hz at the tests' 48 kHz, so
// a member's peak is the highest pixel of its colour in the columns of f - 46.875 Hz to
// f + 46.875 Hz, widened by 5 pixels for the drawing (wide at 100 Hz, 3 pixels at 1 kHz),
// and must stand in the upper quarter of the picture; the highest pixel of each colour
// anywhere must lie in one of that colour's ranges. Prints what it found either way.
#include "tests/support/screenshot.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The grid's colour in vexhost's default look: RGB(46,56,76).
constexpr std::uint32_t kGrid = 0x2E384C;

struct Picture : vex::test::Screenshot {
    // Signal A's green in the main pen (green above 180) or shaded (green 90..160), both
    // far greener than the blue-grey panel.
    int kind(std::int32_t x, std::int32_t y) const {
        const std::uint32_t c = rgb(x, y);
        const int g = static_cast<int>((c >> 8) & 0xFF), b = static_cast<int>(c & 0xFF);
        if (g < b + 25) {
            return 0;
        }
        return g > 180 ? 1 : g >= 90 && g <= 160 ? 2 : 0;
    }
};

struct Line {
    double hertz;
    int kind;           // 1 main, 2 shaded
    std::int32_t x = 0; // where f is drawn
    std::int32_t from = 0, to = 0;
};

// The topmost row in columns [from, to] holding a pixel of `kind`, or -1.
std::int32_t topmost(const Picture& picture, std::int32_t from, std::int32_t to, int kind,
                     std::int32_t* column) {
    for (std::int32_t y = 0; y < picture.height; ++y) {
        for (std::int32_t x = std::max(0, from); x <= to && x < picture.width; ++x) {
            if (picture.kind(x, y) == kind) {
                if (column != nullptr) {
                    *column = x;
                }
                return y;
            }
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    Picture picture;
    std::vector<Line> lines;
    for (int i = 2; i < argc; ++i) {
        const char* colon = std::strchr(argv[i], ':');
        if (colon == nullptr) {
            return 2;
        }
        const std::string kind = colon + 1;
        lines.push_back({std::atof(argv[i]), kind == "main" ? 1 : kind == "shaded" ? 2 : 0});
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s PICTURE.png HERTZ:main|shaded ...\n", argv[0]);
        return 2;
    }
    if (!picture.load(argv[1])) {
        return 2;
    }
    // The plot's frame: the outermost columns in the grid colour over most of the height.
    std::int32_t left = -1, right = -1;
    picture.outermostLines(true, kGrid, left, right);
    const std::int32_t pane = right - left;
    bool pass = left >= 0 && pane > picture.width / 2;
    for (Line& line : lines) {
        const auto column = [&](double hertz) {
            const double point = 48.0 * std::log2(std::max(hertz, 10.0) / 10.0);
            return left + 1 + static_cast<std::int32_t>(point * (pane - 1) / 528.0);
        };
        const double bin = 48000.0 / 1024.0;
        line.x = column(line.hertz);
        line.from = column(line.hertz - bin) - 5;
        line.to = column(line.hertz + bin) + 5;
        std::int32_t at = -1;
        const std::int32_t y = topmost(picture, line.from, line.to, line.kind, &at);
        const bool ok = line.kind != 0 && y >= 0 && y < picture.height / 4;
        std::printf("%.0f Hz (x = %d, %s): peak at x = %d, y = %d%s\n", line.hertz, line.x,
                    line.kind == 1 ? "main" : "shaded", at, y, ok ? "" : "  <- wrong");
        pass = pass && ok;
    }
    for (int kind = 1; kind <= 2; ++kind) {
        std::int32_t at = -1;
        const std::int32_t y = topmost(picture, 0, picture.width - 1, kind, &at);
        bool beside = false, expected = false;
        for (const Line& line : lines) {
            expected = expected || line.kind == kind;
            beside = beside || (line.kind == kind && at >= line.from && at <= line.to);
        }
        std::printf("highest %s pixel at x = %d, y = %d\n", kind == 1 ? "main" : "shaded", at, y);
        pass = pass && (expected ? beside : y < 0 || y >= picture.height / 4);
    }
    return pass ? 0 : 1;
}
