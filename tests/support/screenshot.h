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
};

} // namespace vex::test
