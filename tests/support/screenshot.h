// A screenshot or render read from a PNG file, for the programs that check pictures.
#pragma once

#include "host/kit/view/paint_surface.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace vex::test {

struct Screenshot {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels; // premultiplied 0xAARRGGBB: RGB over black

    // Reads `path`; false, with a message, when it is no PNG file.
    bool load(const char* path) {
        if (!host::readPng(path, width, height, pixels)) {
            std::fprintf(stderr, "cannot read %s\n", path);
            return false;
        }
        return true;
    }
    // The colour at (x, y) as 0xRRGGBB; black outside the picture.
    std::uint32_t rgb(std::int32_t x, std::int32_t y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) {
            return 0;
        }
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)] &
               0xFFFFFFu;
    }
    // The first and last column (`columns` true) or row holding `colour` (0xRRGGBB) in more
    // than half its pixels, as a plot's frame in the grid colour does; -1 when none does.
    void outermostLines(bool columns, std::uint32_t colour, std::int32_t& first,
                        std::int32_t& last) const {
        first = last = -1;
        const std::int32_t lines = columns ? width : height;
        const std::int32_t along = columns ? height : width;
        for (std::int32_t i = 0; i < lines; ++i) {
            std::int32_t count = 0;
            for (std::int32_t j = 0; j < along; ++j) {
                count += (columns ? rgb(i, j) : rgb(j, i)) == colour ? 1 : 0;
            }
            if (count * 2 > along) {
                first = first < 0 ? i : first;
                last = i;
            }
        }
    }
};

} // namespace vex::test
