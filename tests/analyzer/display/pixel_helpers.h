// Reading drawn pixels back for tests.
#pragma once

#include "host/kit/view/paint_surface.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <utility>

namespace vex::test {

using Pixel = std::pair<std::int32_t, std::int32_t>; // x, y
using PixelSet = std::set<Pixel>;

// Every pixel whose value differs from `background`.
inline PixelSet changedPixels(const host::PaintSurface& surface, std::uint32_t background = 0) {
    PixelSet out;
    const std::vector<std::uint32_t> all = surface.pixels();
    for (std::int32_t y = 0; y < surface.height(); ++y) {
        for (std::int32_t x = 0; x < surface.width(); ++x) {
            if (all[static_cast<std::size_t>(y) * surface.width() + x] != background) {
                out.insert({x, y});
            }
        }
    }
    return out;
}

// Pixels of `colour` exactly.
inline PixelSet pixelsOf(const host::PaintSurface& surface, std::uint32_t colour) {
    PixelSet out;
    const std::vector<std::uint32_t> all = surface.pixels();
    for (std::int32_t y = 0; y < surface.height(); ++y) {
        for (std::int32_t x = 0; x < surface.width(); ++x) {
            if (all[static_cast<std::size_t>(y) * surface.width() + x] == colour) {
                out.insert({x, y});
            }
        }
    }
    return out;
}

// Bounding box of a pixel set: left, top, right, bottom (inclusive); empty set gives
// {0, 0, -1, -1}.
struct InkBox {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = -1;
    std::int32_t bottom = -1;
    std::int32_t width() const { return right - left + 1; }
    std::int32_t height() const { return bottom - top + 1; }
};

inline InkBox boxOf(const PixelSet& pixels) {
    InkBox box;
    bool first = true;
    for (const Pixel& p : pixels) {
        if (first) {
            box = {p.first, p.second, p.first, p.second};
            first = false;
        }
        box.left = std::min(box.left, p.first);
        box.right = std::max(box.right, p.first);
        box.top = std::min(box.top, p.second);
        box.bottom = std::max(box.bottom, p.second);
    }
    return box;
}

// Pixels of the box [left, right] x [top, bottom], inclusive.
inline PixelSet boxPixels(std::int32_t left, std::int32_t top, std::int32_t right,
                          std::int32_t bottom) {
    PixelSet out;
    for (std::int32_t y = top; y <= bottom; ++y) {
        for (std::int32_t x = left; x <= right; ++x) {
            out.insert({x, y});
        }
    }
    return out;
}

} // namespace vex::test
