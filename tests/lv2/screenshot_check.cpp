// Compares a screenshot of the plug-in's window with vexhost's render of the same view at
// the same size, both showing a 1 kHz sine:
//   vex_lv2_screenshot_check [--scope] [--status TEXT] SCREENSHOT.png RENDER.png
// Passes (status 0) when every pixel that differs lies on or beside a trace (the grid,
// the frame, the labels and the background are equal), and, in the logarithmic spectrum,
// the trace's peak stands on the 1 kHz grid line; with --scope, when the screenshot shows
// a trace at all. With --status, the window's status line showing TEXT lies where the
// viewer's tools put it, which the render does not show: a box of RGB(16,16,16) in the
// pane's upper left corner, one pixel in from its frame, 17 pixels high and 7 per
// character plus 8 wide (so its width tells texts of other lengths apart), with white
// text in it; its pixels are not compared. Prints what it found either way.
#include "host/kit/view/paint_surface.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Image {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels; // premultiplied 0xAARRGGBB: RGB over black

    std::uint32_t rgb(std::int32_t x, std::int32_t y) const {
        return pixels[static_cast<std::size_t>(y) * width + x] & 0xFFFFFFu;
    }
    // A trace's colour: the green of signal A or the amber of signal B (or most of either
    // over the background); the background, grid and labels are blue-grey.
    bool trace(std::int32_t x, std::int32_t y) const {
        const std::uint32_t c = rgb(x, y);
        const int r = static_cast<int>(c >> 16), g = static_cast<int>((c >> 8) & 0xFF),
                  b = static_cast<int>(c & 0xFF);
        return g > b + 40 || r > b + 40;
    }
    bool nearTrace(std::int32_t x, std::int32_t y, std::int32_t reach) const {
        for (std::int32_t v = y - reach; v <= y + reach; ++v) {
            for (std::int32_t u = x - reach; u <= x + reach; ++u) {
                if (u >= 0 && v >= 0 && u < width && v < height && trace(u, v)) {
                    return true;
                }
            }
        }
        return false;
    }
};

// The grid's colour as vexhost's default look gives it: RGB(46,56,76).
constexpr std::uint32_t kGrid = 0x2E384C;
constexpr std::uint32_t kBoxBack = 0x101010;

// The status line's box: left and top inclusive, right and bottom exclusive.
struct Box {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool holds(std::int32_t x, std::int32_t y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
};

// The outermost columns (rows) drawn in the grid colour over most of the height (width).
void frameOf(const Image& image, std::int32_t& left, std::int32_t& right, std::int32_t& top) {
    left = right = top = -1;
    for (std::int32_t x = 0; x < image.width; ++x) {
        std::int32_t grid = 0;
        for (std::int32_t y = 0; y < image.height; ++y) {
            grid += image.rgb(x, y) == kGrid ? 1 : 0;
        }
        if (grid * 2 > image.height) {
            left = left < 0 ? x : left;
            right = x;
        }
    }
    for (std::int32_t y = 0; y < image.height && top < 0; ++y) {
        std::int32_t grid = 0;
        for (std::int32_t x = 0; x < image.width; ++x) {
            grid += image.rgb(x, y) == kGrid ? 1 : 0;
        }
        top = grid * 2 > image.width ? y : -1;
    }
}

// Whether `shot` shows the status box `box`: mostly its background, some white text, and
// the column right of it not the box's (the width is the one stated).
bool showsStatus(const Image& shot, const Box& box) {
    std::int32_t back = 0, text = 0, beyond = 0;
    for (std::int32_t y = box.top; y < box.bottom; ++y) {
        for (std::int32_t x = box.left; x < box.right; ++x) {
            back += shot.rgb(x, y) == kBoxBack ? 1 : 0;
            text += shot.rgb(x, y) == 0xFFFFFF ? 1 : 0;
        }
        beyond += shot.rgb(box.right, y) == kBoxBack ? 1 : 0;
    }
    const std::int32_t area = (box.right - box.left) * (box.bottom - box.top);
    std::printf("status box %d..%d x %d..%d: %d of %d pixels its background, %d white, %d of "
                "the column beyond it the background\n",
                box.left, box.right, box.top, box.bottom, back, area, text, beyond);
    return back * 2 > area && text >= 20 && beyond * 4 < box.bottom - box.top;
}

bool load(const char* path, Image& image) {
    if (!vex::host::readPng(path, image.width, image.height, image.pixels)) {
        std::fprintf(stderr, "cannot read %s\n", path);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    bool scope = false;
    const char* status = nullptr;
    int arg = 1;
    for (; arg + 2 < argc; ++arg) {
        if (std::strcmp(argv[arg], "--scope") == 0) {
            scope = true;
        } else if (std::strcmp(argv[arg], "--status") == 0 && arg + 3 < argc) {
            status = argv[++arg];
        } else {
            break;
        }
    }
    Image shot, render;
    if (arg + 2 != argc || !load(argv[argc - 2], shot) || !load(argv[argc - 1], render)) {
        std::fprintf(stderr, "usage: %s [--scope] [--status TEXT] SCREENSHOT.png RENDER.png\n",
                     argv[0]);
        return 2;
    }
    if (shot.width != render.width || shot.height != render.height) {
        std::printf("sizes differ: %dx%d and %dx%d\n", shot.width, shot.height, render.width,
                    render.height);
        return 1;
    }
    const std::int32_t w = shot.width, h = shot.height;
    std::int32_t left = -1, right = -1, top = -1;
    frameOf(render, left, right, top);
    Box box;
    bool statusShown = true;
    if (status != nullptr) {
        const auto width = static_cast<std::int32_t>(std::strlen(status)) * 7 + 8;
        box = Box{left + 1, top + 1, left + 1 + width, top + 1 + 17};
        statusShown = left >= 0 && top >= 0 && box.right < w && showsStatus(shot, box);
    }

    // Every pixel off the traces (and off the status box) is equal.
    std::int64_t differing = 0, offTrace = 0, traced = 0;
    for (std::int32_t y = 0; y < h; ++y) {
        for (std::int32_t x = 0; x < w; ++x) {
            traced += shot.trace(x, y) ? 1 : 0;
            if (shot.rgb(x, y) != render.rgb(x, y) && !box.holds(x, y)) {
                ++differing;
                if (!shot.nearTrace(x, y, 2) && !render.nearTrace(x, y, 2)) {
                    ++offTrace;
                }
            }
        }
    }

    if (scope) {
        std::printf("%dx%d scope: %lld pixels differ, %lld of them off the traces; %lld trace "
                    "pixels\n",
                    w, h, static_cast<long long>(differing), static_cast<long long>(offTrace),
                    static_cast<long long>(traced));
        return offTrace == 0 && traced >= 100 && statusShown ? 0 : 1;
    }

    // The pane's frame: the outermost columns drawn in the grid colour over most of the
    // height. The 1 kHz line stands at 0.5595 of the pane's width past the axis's start,
    // 0.045 of the width in from the left edge.
    const std::int32_t pane = right - left;
    const auto line1k =
        static_cast<std::int32_t>(left + std::trunc(pane * static_cast<double>(0.5595f) +
                                                    pane * static_cast<double>(0.045f)));
    std::int32_t lineInShot = 0;
    for (std::int32_t y = 0; y < h; ++y) {
        lineInShot += shot.rgb(line1k, y) == kGrid || shot.trace(line1k, y) ? 1 : 0;
    }

    // The trace's peak: its highest pixels in the screenshot.
    std::int32_t peakTop = h, peakFirst = -1, peakLast = -1;
    for (std::int32_t y = 0; y < h && peakFirst < 0; ++y) {
        for (std::int32_t x = 0; x < w; ++x) {
            if (shot.trace(x, y)) {
                peakTop = y;
                peakFirst = peakFirst < 0 ? x : peakFirst;
                peakLast = x;
            }
        }
    }
    const double peak = (peakFirst + peakLast) / 2.0;

    std::printf("%dx%d: %lld pixels differ, %lld of them off the traces; pane %d..%d, 1 kHz "
                "line at x = %d (%d pixels of it in the screenshot); trace peak at x = %.1f, "
                "y = %d\n",
                w, h, static_cast<long long>(differing), static_cast<long long>(offTrace), left,
                right, line1k, lineInShot, peak, peakTop);
    const bool framed = left >= 0 && pane > w / 2;
    const bool peakOnLine = peakFirst >= 0 && std::fabs(peak - line1k) <= 3.0;
    return framed && offTrace == 0 && lineInShot * 2 > h && peakOnLine && statusShown ? 0 : 1;
}
