// Checks a screenshot of a window showing the log view of a steady signal with the tools
// on, against a reference file of that signal's levels made by vexhost:
//   vex_tools_screenshot_check SHOT.png REFERENCE --tilt SLOPE [--pointer X,Y] [--no-peaks]
//                              [--status TEXT] [--strip]
// Where the display puts level L of band k (x of the point, y of L plus the tilt,
// slope * log2(f / 1 kHz) with f = 10 * 2^(k / 48) Hz), the screenshot must show
// the reference's colour on the dashes (4 columns on, 4 off from the pane's left edge) and
// the peak hold's colour in their gaps; with a pointer, the crosshair's column and the
// readout's dark box in the pane's top right corner. With --status, points under the status
// line showing TEXT (a box one pixel in from the pane's top left corner, 17 pixels high and
// 7 per character plus 8 wide) are not counted. Status 0 when all hold; prints what it
// found either way. With --strip, points on the rows of the tools' strip (16 pixels high,
// its bottom 8 pixels above the window's) are not counted either.
#include "host/kit/view/reference_trace.h"
#include "tests/support/screenshot.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The tools' colours as stated for them: reference RGB(224,64,224), peak hold of signal A
// RGB(200,212,232).
constexpr std::uint32_t kReference = 0xE040E0;
constexpr std::uint32_t kPeak = 0xC8D4E8;

// The log view's plot in a window of W x H with labels, one pane, as the display's geometry
// states it: 20 pixels left and above for the labels, 5 right and below; 528 points, point
// k at x = left + 1 + k (w - 1) / 528; level v at y = top + 1 - trunc((v - 7) h / 77),
// clamped into [top, bottom - 1] (the constant 1/77 is the 32-bit float 0.012987013).
struct Plot {
    std::int32_t left, top, right, bottom;
    Plot(std::int32_t width, std::int32_t height)
        : left(20), top(20), right(width - 5), bottom(height - 5) {}
    std::int32_t pointX(std::int32_t k) const { return left + 1 + k * (right - left - 1) / 528; }
    std::int32_t levelY(double level) const {
        const double h = bottom - top;
        const double below = (level - 7.0) * static_cast<double>(0.012987013f) * h;
        const std::int32_t y = top + 1 - static_cast<std::int32_t>(below);
        return y < top ? top : y > bottom - 1 ? bottom - 1 : y;
    }
};

struct Image : vex::test::Screenshot {
    // The colour within one pixel of (x, y).
    bool near(std::int32_t x, std::int32_t y, std::uint32_t colour) const {
        for (std::int32_t v = y - 1; v <= y + 1; ++v) {
            for (std::int32_t u = x - 1; u <= x + 1; ++u) {
                if (rgb(u, v) == colour) {
                    return true;
                }
            }
        }
        return false;
    }
    std::int32_t brightness(std::int32_t x, std::int32_t y) const {
        const std::uint32_t c = rgb(x, y);
        return static_cast<std::int32_t>((c >> 16) + ((c >> 8) & 0xFF) + (c & 0xFF));
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 5 || std::strcmp(argv[3], "--tilt") != 0) {
        std::fprintf(stderr,
                     "usage: %s SHOT.png REFERENCE --tilt SLOPE [--pointer X,Y] "
                     "[--no-peaks]\n",
                     argv[0]);
        return 2;
    }
    const double slope = std::atof(argv[4]);
    bool pointer = false;
    bool peaks = true;
    std::int32_t statusWidth = 0;
    bool strip = false;
    int px = 0;
    int py = 0;
    for (int i = 5; i < argc; ++i) {
        if (std::strcmp(argv[i], "--pointer") == 0 && i + 1 < argc &&
            std::sscanf(argv[i + 1], "%d,%d", &px, &py) == 2) {
            pointer = true;
            ++i;
        } else if (std::strcmp(argv[i], "--no-peaks") == 0) {
            peaks = false;
        } else if (std::strcmp(argv[i], "--status") == 0 && i + 1 < argc) {
            statusWidth = static_cast<std::int32_t>(std::strlen(argv[++i])) * 7 + 8;
        } else if (std::strcmp(argv[i], "--strip") == 0) {
            strip = true;
        }
    }
    Image shot;
    if (!shot.load(argv[1])) {
        return 2;
    }
    vex::host::ReferenceTrace reference;
    std::string error;
    if (!vex::host::loadReference(argv[2], reference, error) || reference.view != 2) {
        std::fprintf(stderr, "%s\n", error.empty() ? "not a log reference" : error.c_str());
        return 2;
    }

    const Plot pane(shot.width, shot.height);
    std::int32_t dashes = 0, dashHits = 0, tiltedDashes = 0, tiltedHits = 0, gaps = 0, gapHits = 0;
    for (std::int32_t k = 0; k < 528; ++k) {
        const double hz = 10.0 * std::pow(2.0, k / 48.0);
        const double level = reference.values[0][static_cast<std::size_t>(k)];
        const std::int32_t x = pane.pointX(k);
        const std::int32_t y =
            pane.levelY(static_cast<float>(level + slope * std::log2(hz / 1000.0)));
        const std::int32_t flat = pane.levelY(static_cast<float>(level));
        // Why the margin of a pixel: a point is looked for within one pixel of its place.
        if (statusWidth > 0 && x <= pane.left + 2 + statusWidth && y <= pane.top + 1 + 17) {
            continue;
        }
        if (strip && y >= shot.height - 8 - 16 - 1) {
            continue;
        }
        if (((x - pane.left) / 4) % 2 == 0) {
            ++dashes;
            dashHits += shot.near(x, y, kReference) ? 1 : 0;
            if (std::abs(y - flat) >= 4) {
                ++tiltedDashes;
                tiltedHits += shot.near(x, y, kReference) ? 1 : 0;
            }
        } else if (((x - pane.left) / 4) % 2 == 1 && (x - pane.left) % 4 >= 1 &&
                   (x - pane.left) % 4 <= 2) {
            // Columns in the middle of a gap: neither dash's end reaches them.
            ++gaps;
            gapHits += shot.near(x, y, kPeak) ? 1 : 0;
        }
    }
    std::printf("%dx%d: reference on %d of %d dash points (%d of %d where the tilt moves it 4 "
                "pixels or more); peak hold on %d of %d gap points\n",
                shot.width, shot.height, dashHits, dashes, tiltedHits, tiltedDashes, gapHits, gaps);
    bool pass = dashHits * 10 >= dashes * 9 && tiltedHits * 10 >= tiltedDashes * 9 &&
                (slope == 0.0 || tiltedDashes >= 20);
    if (peaks) {
        pass = pass && gapHits * 10 >= gaps * 8;
    }

    if (pointer) {
        // The crosshair lightens its column; the readout's box darkens the top right.
        std::int32_t rows = 0, lighter = 0;
        for (std::int32_t y = pane.top + 40; y < pane.bottom - 40; ++y) {
            ++rows;
            lighter += shot.brightness(px, y) > shot.brightness(px + 3, y) + 30 ? 1 : 0;
        }
        const std::int32_t box = shot.brightness(pane.right - 3, pane.top + 3);
        std::printf("crosshair lightens %d of %d rows at x = %d; readout box brightness %d\n",
                    lighter, rows, px, box);
        pass = pass && lighter * 10 >= rows * 8 && box < 60;
    }
    return pass ? 0 : 1;
}
