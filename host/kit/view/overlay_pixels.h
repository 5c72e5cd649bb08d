// Drawing straight into a paint surface's pixels: lines and pasted boxes, opaque, clipped
// to the surface. Runs on the thread that owns the surface; no GDI+ object of the surface
// may be alive while a Pixels is.
#pragma once

#include "host/kit/view/paint_surface.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace vex::host {

// The surface's pixels, drawn directly. Why not through GDI+: the tools draw a few lines
// and boxes over every paint, and a plain loop over opaque pixels costs a fraction of a
// stroked path (viewer_tools_bench holds a paint with every tool to 1.15 of one without).
// Lines light the pixels of Bresenham's walk, ends included, clipped to the surface. On a
// scaled surface, coordinates are units of its picture: a unit lit is the block of pixels
// between its scaled edges, and a box is pasted at its top left corner's scaled edges.
class Pixels {
public:
    explicit Pixels(PaintSurface& surface)
        : target(surface), data(surface.pixelsToWrite()), stride(surface.rowBytes() / 4),
          width(surface.width()), height(surface.height()), scale(surface.scale()) {}
    ~Pixels() { target.written(); }
    Pixels(const Pixels&) = delete;
    Pixels& operator=(const Pixels&) = delete;

    void line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
              std::uint32_t colour) {
        if (data == nullptr) {
            return;
        }
        if (scale != 1.0) {
            scaledLine(x0, y0, x1, y1, colour);
            return;
        }
        // Why the two ways: a line whose ends lie inside (every curve's, clamped to its
        // pane) needs no test per pixel.
        if (inside(x0, y0) && inside(x1, y1)) {
            std::uint32_t* row = data + static_cast<std::ptrdiff_t>(y0) * stride;
            if (y0 == y1) {
                std::fill(row + std::min(x0, x1), row + std::max(x0, x1) + 1, colour);
                return;
            }
            if (x0 == x1) {
                std::uint32_t* at =
                    data + static_cast<std::ptrdiff_t>(std::min(y0, y1)) * stride + x0;
                for (std::int32_t y = std::min(y0, y1); y <= std::max(y0, y1); ++y, at += stride) {
                    *at = colour;
                }
                return;
            }
            walk(x0, y0, x1, y1, [this, colour](std::int32_t x, std::int32_t y) {
                data[static_cast<std::ptrdiff_t>(y) * stride + x] = colour;
            });
        } else {
            walk(x0, y0, x1, y1,
                 [this, colour](std::int32_t x, std::int32_t y) { set(x, y, colour); });
        }
    }
    template <typename Light>
    static void walk(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                     Light light) {
        const std::int32_t dx = std::abs(x1 - x0);
        const std::int32_t dy = -std::abs(y1 - y0);
        const std::int32_t sx = x0 < x1 ? 1 : -1;
        const std::int32_t sy = y0 < y1 ? 1 : -1;
        std::int32_t error = dx + dy;
        for (;;) {
            light(x0, y0);
            if (x0 == x1 && y0 == y1) {
                return;
            }
            const std::int32_t twice = 2 * error;
            if (twice >= dy) {
                error += dy;
                x0 += sx;
            }
            if (twice <= dx) {
                error += dx;
                y0 += sy;
            }
        }
    }
    // `from`'s pixels with their top left corner at (x, y).
    void paste(const PaintSurface& from, std::int32_t x, std::int32_t y) {
        if (data == nullptr) {
            return;
        }
        x = edge(x);
        y = edge(y);
        const std::int32_t left = std::max(0, -x);
        const std::int32_t right = std::min(from.width(), width - x);
        for (std::int32_t row = std::max(0, -y); row < from.height() && y + row < height; ++row) {
            if (right > left) {
                std::memcpy(data + static_cast<std::ptrdiff_t>(y + row) * stride + x + left,
                            from.row(row) + left, static_cast<std::size_t>(right - left) * 4);
            }
        }
    }

private:
    std::int32_t edge(std::int32_t at) const {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(
            platform::scaledEdge(at, scale), -(std::int64_t{1} << 30), std::int64_t{1} << 30));
    }
    // Units [left, right] x [top, bottom] as their pixels, clipped to the surface.
    void units(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
               std::uint32_t colour) {
        const std::int32_t x0 = std::max(edge(left), 0);
        const std::int32_t x1 = std::min(edge(right + 1), width);
        const std::int32_t y1 = std::min(edge(bottom + 1), height);
        for (std::int32_t y = std::max(edge(top), 0); y < y1 && x0 < x1; ++y) {
            std::uint32_t* row = data + static_cast<std::ptrdiff_t>(y) * stride;
            std::fill(row + x0, row + x1, colour);
        }
    }
    void scaledLine(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                    std::uint32_t colour) {
        if (x0 == x1 || y0 == y1) {
            units(std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1), colour);
            return;
        }
        walk(x0, y0, x1, y1,
             [this, colour](std::int32_t x, std::int32_t y) { units(x, y, x, y, colour); });
    }
    bool inside(std::int32_t x, std::int32_t y) const {
        return x >= 0 && y >= 0 && x < width && y < height;
    }
    void set(std::int32_t x, std::int32_t y, std::uint32_t colour) {
        if (data != nullptr && inside(x, y)) {
            data[static_cast<std::ptrdiff_t>(y) * stride + x] = colour;
        }
    }

    PaintSurface& target;
    std::uint32_t* data;
    std::int32_t stride;
    std::int32_t width;
    std::int32_t height;
    double scale;
};

} // namespace vex::host
