// Checks a screenshot of a window showing the spectrogram (log view) of a steady tone:
//   vex_spectrogram_screenshot_check SHOT.png HZ
// The spectrogram's plot in a window of W x H: 20 pixels left and above (the labels), its
// right edge 46 pixels in from the window's (5 of the display's margin, 6 of a gap and 35
// of the colour scale: a 10-pixel bar, 3 of gap and 4 characters of 5 pixels and 2), 5
// below. Upright, as the display lays its frequency axis across: log band b (10 * 2^(b/48)
// Hz, 528 of them) on row bottom - 1 - floor(b (h - 1) / 528), h = bottom - top; the axis's
// labelled line of frequency f has its tick (the labels' colour, RGB(150,162,184)) 1 to 3
// pixels left of the plot on row bottom - floor(1 + b(f) (h - 1) / 528).
// The tone's band must be the brightest row (viridis: green rises from end to end) of each
// of the newest columns checked, within one row, on rows clear of the boxes over the plot's
// top (status, readout) and the strip at the window's bottom; and the 1 kHz tick must be
// where the axis says. Status 0 when all hold; prints what it found either way.
#include "tests/support/screenshot.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SHOT.png HZ\n", argv[0]);
        return 2;
    }
    vex::test::Screenshot shot;
    if (!shot.load(argv[1])) {
        return 2;
    }
    const double hz = std::atof(argv[2]);
    const std::int32_t left = 20;
    const std::int32_t top = 20;
    const std::int32_t right = shot.width - 46;
    const std::int32_t bottom = shot.height - 5;
    const std::int32_t h = bottom - top;
    const auto bandRow = [&](std::int32_t band) { return bottom - 1 - band * (h - 1) / 528; };
    const double band = 48.0 * std::log2(hz / 10.0);
    const std::int32_t expected = bandRow(static_cast<std::int32_t>(std::lround(band)));
    bool ok = true;

    const std::int32_t tickRow = bottom - static_cast<std::int32_t>(1.0 + 318.9 * (h - 1) / 528.0);
    const std::uint32_t tick = shot.rgb(left - 2, tickRow);
    std::printf("1 kHz tick at row %d: %06X\n", tickRow, tick);
    ok = ok && tick == 0x96A2B8u;

    for (const std::int32_t back : {2, 8, 16}) {
        const std::int32_t x = right - 1 - back;
        // The middle of the rows that share the brightest colour (a loud tone may reach
        // the top of the range on more than one).
        std::uint32_t most = 0;
        std::int32_t first = -1;
        std::int32_t last = -1;
        for (std::int32_t y = top + 40; y < bottom - 40; ++y) {
            const std::uint32_t green = (shot.rgb(x, y) >> 8) & 0xFFu;
            if (green > most) {
                most = green;
                first = y;
            }
            last = green == most ? y : last;
        }
        const std::int32_t brightest = (first + last) / 2;
        std::printf("column %d: brightest row %d (green %u), the tone's %d\n", x, brightest, most,
                    expected);
        ok = ok && std::abs(brightest - expected) <= 1;
    }
    return ok ? 0 : 1;
}
