// Graphics contexts, pens, solid brushes, lines, rectangles and memory of the GDI+
// stand-in.
#include "gdiplus_objects.h"
#include "platform/device_context.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace vex::platform {

void setSourceArgb(cairo_t* cr, ARGB colour) {
    const unsigned alpha = colour >> 24;
    if (alpha == 0) {
        cairo_set_source_rgba(cr, 0.0, 0.0, 0.0, 0.0);
        return;
    }
    // Why: Cairo premultiplies the double colour and rounds on its own; handing it the
    // premultiplied 8-bit value GDI+ uses makes both round the same way.
    const auto component = [alpha](unsigned c) {
        const unsigned premultiplied = (c * alpha + 127) / 255;
        return static_cast<double>(premultiplied) / alpha;
    };
    cairo_set_source_rgba(cr, component((colour >> 16) & 0xff), component((colour >> 8) & 0xff),
                          component(colour & 0xff), alpha / 255.0);
}

namespace {

GraphicsObject* graphicsOf(GpGraphics* graphics) {
    return static_cast<GraphicsObject*>(graphics);
}
PenObject* penOf(GpPen* pen) {
    return static_cast<PenObject*>(pen);
}
SolidFillObject* fillOf(GpBrush* brush) {
    return static_cast<SolidFillObject*>(brush);
}

// Thin pens draw 1-pixel geometry whatever their exact width.
bool isThin(REAL width) {
    return static_cast<double>(width) * width < 2.0001;
}

// round(a * b / 255) for bytes, exactly.
inline std::uint32_t multiplyBytes(std::uint32_t a, std::uint32_t b) {
    const std::uint32_t t = a * b + 0x80u;
    return (t + (t >> 8)) >> 8;
}

// `colour` as the 8-bit premultiplied pixel GDI+ blends with.
std::uint32_t premultiplied(ARGB colour) {
    const std::uint32_t alpha = colour >> 24;
    return (alpha << 24) | (multiplyBytes((colour >> 16) & 0xffu, alpha) << 16) |
           (multiplyBytes((colour >> 8) & 0xffu, alpha) << 8) |
           multiplyBytes(colour & 0xffu, alpha);
}

// Per channel round(C A / 255) + round(D (255 - A) / 255), as GDI+ blends into a 32-bpp
// surface; `source` is premultiplied and `keep` is 255 - A.
inline std::uint32_t blendOver(std::uint32_t d, std::uint32_t source, std::uint32_t keep) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 24; shift += 8) {
        const std::uint32_t channel =
            ((source >> shift) & 0xffu) + multiplyBytes((d >> shift) & 0xffu, keep);
        out |= channel << shift;
    }
    return out;
}

// `count` pixels from `row` on set to `value`: a few one by one, then copies of what is
// already there, doubling (a long run in a handful of block copies).
void fillRun(std::uint32_t* row, std::size_t count, std::uint32_t value) {
    const std::size_t first = std::min<std::size_t>(count, 16);
    std::fill(row, row + first, value);
    for (std::size_t done = first; done < count;) {
        const std::size_t copy = std::min(done, count - done);
        std::memcpy(row + done, row, copy * sizeof(std::uint32_t));
        done += copy;
    }
}

// The pixels of the image surface behind `g`, flushed for direct access; null when the
// surface has none.
std::uint32_t* pixelsOf(GraphicsObject* g, int& stride) {
    cairo_surface_t* surface = cairo_get_target(g->cr);
    cairo_surface_flush(surface);
    stride = cairo_image_surface_get_stride(surface);
    return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface));
}

// Blends `colour` once over every pixel of the united pixel set of `g`.
// Why not a Cairo fill of the runs: it gives the same pixels, but tessellating a thousand
// rectangles per polyline made a paint of many voices a hundred times slower.
void fillPixels(GraphicsObject* g, ARGB colour) {
    const std::uint32_t alpha = colour >> 24;
    // An opaque colour covers a pixel the same however often it is drawn.
    const std::vector<PixelSpan>& spans = alpha == 255 ? g->pixels.runs() : g->pixels.unite();
    if (spans.empty() || alpha == 0) {
        return;
    }
    int stride = 0;
    auto* data = reinterpret_cast<unsigned char*>(pixelsOf(g, stride));
    if (data == nullptr) {
        return;
    }
    const std::uint32_t source = premultiplied(colour);
    const std::uint32_t keep = 255u - alpha;
    std::int32_t top = spans.front().y;
    std::int32_t bottom = top;
    std::int32_t left = spans.front().x0;
    std::int32_t right = spans.front().x1;
    for (const PixelSpan& span : spans) {
        top = std::min(top, span.y);
        bottom = std::max(bottom, span.y);
        auto* row =
            reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(span.y) * stride);
        left = std::min(left, span.x0);
        right = std::max(right, span.x1);
        if (keep == 0) {
            fillRun(row + span.x0, static_cast<std::size_t>(span.x1 - span.x0) + 1, source);
            continue;
        }
        for (std::int32_t x = span.x0; x <= span.x1; ++x) {
            row[x] = blendOver(row[x], source, keep);
        }
    }
    cairo_surface_mark_dirty_rectangle(cairo_get_target(g->cr), left, top, right - left + 1,
                                       bottom - top + 1);
}

} // namespace

void blendThroughMask(GraphicsObject* g, ARGB colour, const unsigned char* mask, int width,
                      int height, int stride, int left, int top) {
    const int x0 = std::max(left, 0);
    const int y0 = std::max(top, 0);
    const int x1 = std::min<std::int64_t>(std::int64_t{left} + width, g->width);
    const int y1 = std::min<std::int64_t>(std::int64_t{top} + height, g->height);
    int rowBytes = 0;
    auto* data = reinterpret_cast<unsigned char*>(pixelsOf(g, rowBytes));
    if (data == nullptr || x0 >= x1 || y0 >= y1 || (colour >> 24) == 0) {
        return;
    }
    const std::uint32_t source = premultiplied(colour);
    for (int y = y0; y < y1; ++y) {
        auto* row =
            reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * rowBytes);
        const unsigned char* coverage = mask + static_cast<std::ptrdiff_t>(y - top) * stride - left;
        for (int x = x0; x < x1; ++x) {
            const std::uint32_t m = coverage[x];
            if (m == 0) {
                continue;
            }
            std::uint32_t masked = 0;
            for (int shift = 0; shift <= 24; shift += 8) {
                masked |= multiplyBytes((source >> shift) & 0xffu, m) << shift;
            }
            row[x] = blendOver(row[x], masked, 255u - (masked >> 24));
        }
    }
    cairo_surface_mark_dirty_rectangle(cairo_get_target(g->cr), x0, y0, x1 - x0, y1 - y0);
}

namespace {

// Which pixels the shape being drawn has lit already, so that a translucent polyline
// blends each pixel of its union once, in a single pass: a pixel is lit when its mark
// equals the current shape's number.
// Why per thread and kept: a paint makes a new graphics context, and clearing a
// surface-sized buffer per polyline would cost more than drawing it. Numbers only grow,
// so old marks never match; the buffer is cleared when they wrap.
class PixelMarks {
public:
    // Starts a new shape on a surface of `pixels` pixels.
    void begin(std::size_t pixels) {
        if (marks.size() < pixels) {
            marks.assign(pixels, 0);
            current = 0;
        }
        if (current == 0xffffu) {
            std::fill(marks.begin(), marks.end(), std::uint16_t{0});
            current = 0;
        }
        ++current;
    }
    // True the first time pixel `index` is seen in this shape.
    bool firstVisit(std::size_t index) {
        if (marks[index] == current) {
            return false;
        }
        marks[index] = current;
        return true;
    }

private:
    std::vector<std::uint16_t> marks;
    std::uint16_t current = 0;
};

PixelMarks& threadMarks() {
    thread_local PixelMarks marks;
    return marks;
}

// A thin polyline, written straight into the surface's pixels: an opaque colour pixel by
// pixel as the lines are walked, a translucent one blended once per pixel of the union.
GpStatus drawThinPolyline(GraphicsObject* g, ARGB colour, const GpPoint* points, INT count) {
    const std::uint32_t alpha = colour >> 24;
    if (alpha == 0 || g->width <= 0 || g->height <= 0) {
        return Ok;
    }
    int stride = 0;
    auto* data = reinterpret_cast<unsigned char*>(pixelsOf(g, stride));
    if (data == nullptr) {
        return Ok;
    }
    const auto pixelAt = [data, stride](std::int64_t x, std::int64_t y) -> std::uint32_t& {
        return reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride)[x];
    };
    const std::uint32_t source = premultiplied(colour);
    if (alpha == 255) {
        for (INT i = 1; i < count; ++i) {
            forEachThinLinePixel(points[i - 1].X, points[i - 1].Y, points[i].X, points[i].Y,
                                 g->width, g->height,
                                 [&](std::int64_t x, std::int64_t y) { pixelAt(x, y) = source; });
        }
    } else {
        PixelMarks& marks = threadMarks();
        const auto width = static_cast<std::size_t>(g->width);
        marks.begin(width * static_cast<std::size_t>(g->height));
        const std::uint32_t keep = 255u - alpha;
        for (INT i = 1; i < count; ++i) {
            forEachThinLinePixel(points[i - 1].X, points[i - 1].Y, points[i].X, points[i].Y,
                                 g->width, g->height, [&](std::int64_t x, std::int64_t y) {
                                     if (marks.firstVisit(static_cast<std::size_t>(y) * width +
                                                          static_cast<std::size_t>(x))) {
                                         std::uint32_t& pixel = pixelAt(x, y);
                                         pixel = blendOver(pixel, source, keep);
                                     }
                                 });
        }
    }
    // Everything drawn lies within the points' bounds on the surface.
    std::int64_t left = points[0].X;
    std::int64_t right = left;
    std::int64_t top = points[0].Y;
    std::int64_t bottom = top;
    for (INT i = 1; i < count; ++i) {
        left = std::min<std::int64_t>(left, points[i].X);
        right = std::max<std::int64_t>(right, points[i].X);
        top = std::min<std::int64_t>(top, points[i].Y);
        bottom = std::max<std::int64_t>(bottom, points[i].Y);
    }
    left = std::max<std::int64_t>(left, 0);
    top = std::max<std::int64_t>(top, 0);
    right = std::min<std::int64_t>(right, g->width - 1);
    bottom = std::min<std::int64_t>(bottom, g->height - 1);
    if (left <= right && top <= bottom) {
        cairo_surface_mark_dirty_rectangle(
            cairo_get_target(g->cr), static_cast<int>(left), static_cast<int>(top),
            static_cast<int>(right - left + 1), static_cast<int>(bottom - top + 1));
    }
    return Ok;
}

// Lines of a pen wider than thin: stroked along pixel centres with flat caps and mitred
// joins. Only points within Cairo's coordinate range are stroked.
GpStatus strokeWide(GraphicsObject* g, const PenObject* pen, const GpPoint* points, INT count) {
    constexpr INT kLimit = 1 << 22;
    for (INT i = 0; i < count; ++i) {
        if (std::abs(static_cast<long long>(points[i].X)) > kLimit ||
            std::abs(static_cast<long long>(points[i].Y)) > kLimit) {
            return NotImplemented;
        }
    }
    cairo_save(g->cr);
    cairo_translate(g->cr, 0.5, 0.5);
    cairo_move_to(g->cr, points[0].X, points[0].Y);
    for (INT i = 1; i < count; ++i) {
        cairo_line_to(g->cr, points[i].X, points[i].Y);
    }
    cairo_set_line_width(g->cr, pen->width);
    cairo_set_line_cap(g->cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(g->cr, CAIRO_LINE_JOIN_MITER);
    setSourceArgb(g->cr, pen->colour);
    cairo_stroke(g->cr);
    cairo_restore(g->cr);
    return Ok;
}

// Adds the part of the line from a to b within [-limit, limit] on both axes to `cr`'s path
// (Liang and Barsky's clipping), joined to the path when `joined` and its start is a; nothing
// when none of it is inside. Answers whether the part ends at b, so the next one may join.
bool addClippedSegment(cairo_t* cr, double ax, double ay, double bx, double by, double limit,
                       bool joined) {
    double t0 = 0.0;
    double t1 = 1.0;
    const double dx = bx - ax;
    const double dy = by - ay;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {ax + limit, limit - ax, ay + limit, limit - ay};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) {
                return false;
            }
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
    }
    if (t0 > t1) {
        return false;
    }
    if (!joined || t0 > 0.0) {
        cairo_move_to(cr, ax + t0 * dx, ay + t0 * dy);
    }
    if (t1 < 1.0) {
        cairo_line_to(cr, ax + t1 * dx, ay + t1 * dy);
        return false;
    }
    cairo_line_to(cr, bx, by);
    return true;
}

// Lines on a scaled graphics context, stroked by Cairo at the scale: a thin pen one unit
// wide (so as many pixels as the scale) with square ends, as a thin line covers both end
// pixels, and round joins, which keep a jagged curve free of mitre spikes; a wider pen
// as strokeWide does. Why not pixels lit per unit: the picture is to have the scale's
// resolution, not a unit's blocks. Points are clipped to a million units around the
// origin, inside Cairo's coordinate range at any scale.
GpStatus strokeScaled(GraphicsObject* g, const PenObject* pen, const GpPoint* points, INT count) {
    constexpr double kLimit = 1 << 20;
    const bool thin = isThin(pen->width);
    cairo_save(g->cr);
    cairo_new_path(g->cr);
    cairo_scale(g->cr, g->scale, g->scale);
    cairo_translate(g->cr, 0.5, 0.5);
    bool joined = false;
    for (INT i = 1; i < count; ++i) {
        // A zero-length line lights nothing, as unscaled.
        if (points[i].X == points[i - 1].X && points[i].Y == points[i - 1].Y) {
            continue;
        }
        joined = addClippedSegment(g->cr, points[i - 1].X, points[i - 1].Y, points[i].X,
                                   points[i].Y, kLimit, joined);
    }
    cairo_set_line_width(g->cr, thin ? 1.0 : pen->width);
    cairo_set_line_cap(g->cr, thin ? CAIRO_LINE_CAP_SQUARE : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(g->cr, thin ? CAIRO_LINE_JOIN_ROUND : CAIRO_LINE_JOIN_MITER);
    setSourceArgb(g->cr, pen->colour);
    cairo_stroke(g->cr);
    cairo_restore(g->cr);
    return Ok;
}

GpStatus drawPolyline(GraphicsObject* g, const PenObject* pen, const GpPoint* points, INT count) {
    if (g->scale != 1.0) {
        return strokeScaled(g, pen, points, count);
    }
    if (!isThin(pen->width)) {
        return strokeWide(g, pen, points, count);
    }
    return drawThinPolyline(g, pen->colour, points, count);
}

template <typename Work> GpStatus guarded(Work&& work) noexcept {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    } catch (...) {
        return GenericError;
    }
}

} // namespace

bool pixelsPerUnit(GpUnit unit, double& scale) {
    switch (unit) {
    case UnitWorld:
    case UnitPixel:
        scale = 1.0;
        return true;
    case UnitPoint:
        scale = 96.0 / 72.0;
        return true;
    case UnitInch:
        scale = 96.0;
        return true;
    case UnitDocument:
        scale = 96.0 / 300.0;
        return true;
    case UnitMillimeter:
        scale = 96.0 / 25.4;
        return true;
    default:
        return false;
    }
}

} // namespace vex::platform

namespace Gdiplus::DllExports {

using namespace vex::platform;

GpStatus GdipCreateFromHDC(HDC hdc, GpGraphics** graphics) {
    if (graphics == nullptr) {
        return InvalidParameter;
    }
    if (hdc == nullptr || hdc->surface == nullptr ||
        cairo_surface_status(hdc->surface) != CAIRO_STATUS_SUCCESS) {
        return OutOfMemory;
    }
    auto* g = new (std::nothrow) GraphicsObject;
    if (g == nullptr) {
        return OutOfMemory;
    }
    g->cr = cairo_create(hdc->surface);
    if (cairo_status(g->cr) != CAIRO_STATUS_SUCCESS) {
        cairo_destroy(g->cr);
        delete g;
        return OutOfMemory;
    }
    // Why the surface's own size: the record's fields are the host's word for it, and
    // drawing is clipped to what really exists.
    g->width = cairo_image_surface_get_width(hdc->surface);
    g->height = cairo_image_surface_get_height(hdc->surface);
    g->scale = usableScale(hdc->scale);
    cairo_set_antialias(g->cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_operator(g->cr, CAIRO_OPERATOR_OVER);
    *graphics = g;
    return Ok;
}

GpStatus GdipDeleteGraphics(GpGraphics* graphics) {
    if (graphics == nullptr) {
        return InvalidParameter;
    }
    GraphicsObject* g = graphicsOf(graphics);
    cairo_surface_flush(cairo_get_target(g->cr));
    cairo_destroy(g->cr);
    delete g;
    return Ok;
}

GpStatus GdipCreatePen1(ARGB colour, REAL width, GpUnit unit, GpPen** pen) {
    if (pen == nullptr) {
        return InvalidParameter;
    }
    // Widths in pixels at 96 dots per inch.
    double scale = 1.0;
    if (unit == UnitDisplay || !pixelsPerUnit(unit, scale)) {
        return NotImplemented;
    }
    auto* p = new (std::nothrow) PenObject;
    if (p == nullptr) {
        return OutOfMemory;
    }
    p->colour = colour;
    p->width = static_cast<REAL>(std::fabs(width * scale));
    *pen = p;
    return Ok;
}

GpStatus GdipSetPenColor(GpPen* pen, ARGB colour) {
    if (pen == nullptr) {
        return InvalidParameter;
    }
    penOf(pen)->colour = colour;
    return Ok;
}

GpStatus GdipDeletePen(GpPen* pen) {
    if (pen == nullptr) {
        return InvalidParameter;
    }
    delete penOf(pen);
    return Ok;
}

GpStatus GdipCreateSolidFill(ARGB colour, GpSolidFill** brush) {
    if (brush == nullptr) {
        return InvalidParameter;
    }
    auto* b = new (std::nothrow) SolidFillObject;
    if (b == nullptr) {
        return OutOfMemory;
    }
    b->colour = colour;
    *brush = b;
    return Ok;
}

GpStatus GdipSetSolidFillColor(GpSolidFill* brush, ARGB colour) {
    if (brush == nullptr) {
        return InvalidParameter;
    }
    fillOf(brush)->colour = colour;
    return Ok;
}

GpStatus GdipCloneBrush(GpBrush* brush, GpBrush** clone) {
    if (brush == nullptr || clone == nullptr) {
        return InvalidParameter;
    }
    auto* b = new (std::nothrow) SolidFillObject;
    if (b == nullptr) {
        return OutOfMemory;
    }
    b->colour = fillOf(brush)->colour;
    *clone = b;
    return Ok;
}

GpStatus GdipDeleteBrush(GpBrush* brush) {
    if (brush == nullptr) {
        return InvalidParameter;
    }
    delete fillOf(brush);
    return Ok;
}

GpStatus GdipFillRectangleI(GpGraphics* graphics, GpBrush* brush, INT x, INT y, INT width,
                            INT height) {
    if (graphics == nullptr || brush == nullptr) {
        return InvalidParameter;
    }
    return guarded([&] {
        GraphicsObject* g = graphicsOf(graphics);
        g->pixels.reset(g->width, g->height);
        g->pixels.addBox(g->edge(x), g->edge(y), g->edge(static_cast<std::int64_t>(x) + width),
                         g->edge(static_cast<std::int64_t>(y) + height));
        fillPixels(g, fillOf(brush)->colour);
        return Ok;
    });
}

GpStatus GdipDrawRectangleI(GpGraphics* graphics, GpPen* pen, INT x, INT y, INT width, INT height) {
    if (graphics == nullptr || pen == nullptr) {
        return InvalidParameter;
    }
    if (width <= 0 || height <= 0) {
        return Ok;
    }
    return guarded([&] {
        GraphicsObject* g = graphicsOf(graphics);
        const PenObject* p = penOf(pen);
        // An edge at e covers pixels [e + lo, e + hi): round(e - W/2) to round(e + W/2),
        // halves rounded up; a thin pen covers pixel e alone.
        std::int64_t lo = 0;
        std::int64_t hi = 1;
        if (!isThin(p->width)) {
            lo = static_cast<std::int64_t>(std::floor(0.5 - p->width / 2.0));
            hi = static_cast<std::int64_t>(std::floor(0.5 + p->width / 2.0));
        }
        const std::int64_t left = x;
        const std::int64_t top = y;
        const std::int64_t right = left + width;
        const std::int64_t bottom = top + height;
        g->pixels.reset(g->width, g->height);
        // Units to pixels (the same values unscaled).
        const auto box = [g](std::int64_t l, std::int64_t t, std::int64_t r, std::int64_t b) {
            g->pixels.addBox(g->edge(l), g->edge(t), g->edge(r), g->edge(b));
        };
        box(left + lo, top + lo, right + hi, top + hi);       // top edge
        box(left + lo, bottom + lo, right + hi, bottom + hi); // bottom edge
        box(left + lo, top + lo, left + hi, bottom + hi);     // left edge
        box(right + lo, top + lo, right + hi, bottom + hi);   // right edge
        fillPixels(g, p->colour);
        return Ok;
    });
}

GpStatus GdipDrawLineI(GpGraphics* graphics, GpPen* pen, INT x1, INT y1, INT x2, INT y2) {
    if (graphics == nullptr || pen == nullptr) {
        return InvalidParameter;
    }
    const GpPoint points[2] = {{x1, y1}, {x2, y2}};
    return guarded([&] { return drawPolyline(graphicsOf(graphics), penOf(pen), points, 2); });
}

GpStatus GdipDrawLinesI(GpGraphics* graphics, GpPen* pen, const GpPoint* points, INT count) {
    if (graphics == nullptr || pen == nullptr || points == nullptr || count < 2) {
        return InvalidParameter;
    }
    return guarded([&] { return drawPolyline(graphicsOf(graphics), penOf(pen), points, count); });
}

void* GdipAlloc(std::size_t size) {
    return std::malloc(size);
}

void GdipFree(void* memory) {
    std::free(memory);
}

} // namespace Gdiplus::DllExports
