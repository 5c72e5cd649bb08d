// The height of the display's label text in a picture, for the tests of scaled painting.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vex::test {

// The rows from the first to the last that hold label ink within columns [x0, x1) and rows
// [y0, y1) of a `width`-pixel-wide picture (0xAARRGGBB): 0 when none do. Ink is a pixel
// at least halfway from the default panel's green (20) to the default label colour's (162):
// the strokes' cores, not the edges their smoothing spreads.
inline std::int32_t labelInkHeight(const std::vector<std::uint32_t>& pixels, std::int32_t width,
                                   std::int32_t x0, std::int32_t y0, std::int32_t x1,
                                   std::int32_t y1) {
    constexpr std::uint32_t kHalfway = (20 + 162) / 2;
    const auto height = static_cast<std::int32_t>(pixels.size()) / std::max(width, 1);
    std::int32_t first = -1;
    std::int32_t last = -1;
    for (std::int32_t y = std::max(y0, 0); y < std::min(y1, height); ++y) {
        for (std::int32_t x = std::max(x0, 0); x < std::min(x1, width); ++x) {
            const std::uint32_t pixel =
                pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                       static_cast<std::size_t>(x)];
            if (((pixel >> 8) & 0xFFu) >= kHalfway) {
                first = first < 0 ? y : first;
                last = y;
                break;
            }
        }
    }
    return first < 0 ? 0 : last - first + 1;
}

} // namespace vex::test
