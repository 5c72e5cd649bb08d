// The device context the display paints into.
//
// On Windows an HDC is the system's. Elsewhere it is this plain record around a Cairo
// ARGB32 image surface, made by the host and handed to the plug-in's paint. The plug-in
// and the host each link their own copy of the platform library, so the record carries
// everything the drawing calls need and no state lives anywhere else; both copies use
// the same shared libcairo.
#pragma once

#include "platform/win_types.h"

#ifndef _WIN32
#include <cstdint>

struct _cairo_surface;

struct HDC__ {
    // ARGB32 image surface (premultiplied, 0xAARRGGBB per pixel); owned by whoever made
    // the device context, which outlives every graphics context made on it.
    _cairo_surface* surface;
    std::int32_t width;
    std::int32_t height;
};
#endif
