// The stand-in's objects behind the opaque GDI+ handles.
#pragma once

#include "pixel_spans.h"
#include "platform/device_context.h"
#include "platform/gdiplus.h"

#include <cairo.h>

#include <string>

namespace vex::platform {

using namespace Gdiplus;

struct GraphicsObject : GpGraphics {
    cairo_t* cr = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    // Pixels per unit of everything drawn (the device context's; 1 draws as GDI+ does).
    double scale = 1.0;
    PixelSpanSet pixels; // scratch for the shape being drawn

    // The pixel edge of unit edge `at`.
    std::int64_t edge(std::int64_t at) const { return scaledEdge(at, scale); }
};

struct PenObject : GpPen {
    ARGB colour = 0;
    REAL width = 1.0f; // in pixels
};

struct SolidFillObject : GpSolidFill {
    ARGB colour = 0;
};

struct FontFamilyObject : GpFontFamily {
    std::string name;    // the installed family, UTF-8
    bool shared = false; // the process-wide generic family: never deleted
};

struct FontObject : GpFont {
    std::string family;
    INT style = 0;
    REAL pixelSize = 0.0f;
    double ascent = 0.0;                   // unhinted, pixels
    double lineSpacing = 0.0;              // unhinted, pixels
    cairo_scaled_font_t* glyphs = nullptr; // hinted, for drawing
    // The glyphs for a scaled graphics context, made on its first string: hinted at
    // pixelSize x glyphScale, with that size's unhinted ascent. Why kept with the font: a
    // display draws every label of a paint with one font, on one scaled context.
    mutable cairo_scaled_font_t* scaledGlyphs = nullptr;
    mutable double glyphScale = 0.0;
    mutable double scaledAscent = 0.0;
};

// Sets `cr`'s source to `colour` pre-rounded to the 8-bit premultiplied value GDI+ blends
// with, so Cairo's OVER gives round(C A / 255) + round(D (255 - A) / 255) per channel.
void setSourceArgb(cairo_t* cr, ARGB colour);

// Blends `colour` over the pixels of `g` through a coverage mask of `width` x `height` bytes
// (rows `stride` apart) whose top left is at (left, top), clipped to the surface: per
// channel S' = round(S M / 255) of the premultiplied colour S and mask byte M, then
// S' + round(D (255 - A') / 255), as Cairo's OVER through an 8-bit mask.
void blendThroughMask(GraphicsObject* g, ARGB colour, const unsigned char* mask, int width,
                      int height, int stride, int left, int top);

// Pixels per `unit` at 96 dots per inch (world and pixel units are pixels); false for a unit
// that is not a length. The display unit is left to the caller: pens and fonts differ on it.
bool pixelsPerUnit(GpUnit unit, double& scale);

} // namespace vex::platform
