// The device context the display paints into.
//
// On Windows an HDC is the system's. Elsewhere it is this plain record around a Cairo
// ARGB32 image surface, made by the host and handed to the plug-in's paint. The plug-in
// and the host each link their own copy of the platform library, so the record carries
// everything the drawing calls need and no state lives anywhere else; both copies use
// the same shared libcairo.
#pragma once

#include "platform/win_types.h"

#include <cmath>
#include <cstdint>

namespace vex::platform {

// The factor a device context scales drawing by: `scale` when it is within 1..4, else 1
// (not a number, infinite, 0 for a record that never set one).
inline double usableScale(double scale) {
    return std::isfinite(scale) && scale >= 1.0 && scale <= 4.0 ? scale : 1.0;
}

// The pixel edge that edge `at` of a scaled drawing falls on: at x scale, rounded half up.
// One rule for the stand-in and the host's own drawing, so what both draw lines up.
inline std::int64_t scaledEdge(std::int64_t at, double scale) {
    return scale == 1.0 ? at : static_cast<std::int64_t>(std::floor(at * scale + 0.5));
}

} // namespace vex::platform

#ifndef _WIN32

struct _cairo_surface;

struct HDC__ {
    // ARGB32 image surface (premultiplied, 0xAARRGGBB per pixel); owned by whoever made
    // the device context, which outlives every graphics context made on it.
    _cairo_surface* surface;
    std::int32_t width;
    std::int32_t height;
    // Every graphics context made on the record draws at this many pixels per unit: text,
    // lines and rectangles given in units of a picture scale times smaller (1..4; anything
    // else, 0 included, is 1 and draws as ever).
    double scale;
};
#endif
