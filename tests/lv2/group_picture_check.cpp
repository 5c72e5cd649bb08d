// Checks a picture of a group in the log view at the default look: each member's peak
// stands on the grid line of its frequency, in the main colours or shaded.
//   vex_group_picture_check PICTURE.png FRACTION:main|shaded ...
// FRACTION is the grid line's place across the plot, as the test states it (1 kHz at
// 0.5595). A member's peak is the highest pixel of its colour within 5 pixels of its line,
// and must stand in the upper quarter of the picture; the highest pixel of each colour
// anywhere must lie beside one of that colour's lines. Prints what it found either way.
#include "host/kit/view/paint_surface.h"

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

struct Picture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t rgb(std::int32_t x, std::int32_t y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)] &
               0xFFFFFFu;
    }
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
    double fraction;
    int kind; // 1 main, 2 shaded
    std::int32_t x = 0;
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
    if (argc < 3 || !vex::host::readPng(argv[1], picture.width, picture.height, picture.pixels)) {
        std::fprintf(stderr, "usage: %s PICTURE.png FRACTION:main|shaded ...\n", argv[0]);
        return 2;
    }
    // The plot's frame: the outermost columns in the grid colour over most of the height.
    std::int32_t left = -1, right = -1;
    for (std::int32_t x = 0; x < picture.width; ++x) {
        std::int32_t grid = 0;
        for (std::int32_t y = 0; y < picture.height; ++y) {
            grid += picture.rgb(x, y) == kGrid ? 1 : 0;
        }
        if (grid * 2 > picture.height) {
            left = left < 0 ? x : left;
            right = x;
        }
    }
    const std::int32_t pane = right - left;
    bool pass = left >= 0 && pane > picture.width / 2;
    for (Line& line : lines) {
        line.x = static_cast<std::int32_t>(
            left + std::trunc(pane * line.fraction + pane * static_cast<double>(0.045f)));
        std::int32_t at = -1;
        const std::int32_t y = topmost(picture, line.x - 5, line.x + 5, line.kind, &at);
        const bool ok = line.kind != 0 && y >= 0 && y < picture.height / 4;
        std::printf("line %.4f (x = %d, %s): peak at x = %d, y = %d%s\n", line.fraction, line.x,
                    line.kind == 1 ? "main" : "shaded", at, y, ok ? "" : "  <- wrong");
        pass = pass && ok;
    }
    for (int kind = 1; kind <= 2; ++kind) {
        std::int32_t at = -1;
        const std::int32_t y = topmost(picture, 0, picture.width - 1, kind, &at);
        bool beside = false, expected = false;
        for (const Line& line : lines) {
            expected = expected || line.kind == kind;
            beside = beside || (line.kind == kind && std::abs(at - line.x) <= 5);
        }
        std::printf("highest %s pixel at x = %d, y = %d\n", kind == 1 ? "main" : "shaded", at, y);
        pass = pass && (expected ? beside : y < 0 || y >= picture.height / 4);
    }
    return pass ? 0 : 1;
}
