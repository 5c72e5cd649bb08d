// A drawing surface the host paints a display into: a device context over 32-bit ARGB
// pixels and their read-back, and PNG files read back (they are written by one encoder,
// host/vexhost/output/png_writer.h).
//
// On Windows: a memory device context with a top-down 32-bpp DIB section, drawn by the
// system's GDI+ (which the host starts; the plug-in never does). Elsewhere: a Cairo ARGB32
// image surface behind the stand-in's device-context record. Pixels read the same on both:
// 0xAARRGGBB with premultiplied colour, alpha real (0 where nothing was drawn).
#pragma once

#include "platform/device_context.h"
#include "platform/win_types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vex::host {

// Starts GDI+ for the process on Windows, once (thread-safe first use), and keeps it for
// the process's life. True when GDI+ is usable; always true elsewhere.
bool startGdiplus();

// Whether a surface's drawing can be scaled: with the stand-in, not with the system's GDI+
// (which a display draws with at one pixel per unit whatever the host says).
#ifdef _WIN32
inline constexpr bool kSurfacesScale = false;
#else
inline constexpr bool kSurfacesScale = true;
#endif

class PaintSurface {
public:
    static constexpr bool kScales = kSurfacesScale;

    // A width x height surface, every pixel 0. Sizes below 1 are taken as 1. Drawing on it
    // is scaled by `scale` (see platform/device_context.h): a picture of logicalWidth() x
    // logicalHeight() units; a factor outside 1..4, or any where kScales is false, is 1.
    PaintSurface(std::int32_t width, std::int32_t height, double scale = 1.0);
    ~PaintSurface();
    PaintSurface(const PaintSurface&) = delete;
    PaintSurface& operator=(const PaintSurface&) = delete;

    // False when the surface could not be made; dc() is then null.
    bool valid() const;
    // The device context to hand to a display's paint. Owned by the surface.
    HDC dc() const { return deviceContext; }
    std::int32_t width() const { return surfaceWidth; }
    std::int32_t height() const { return surfaceHeight; }
    // The scale its drawing is at, and the units of the picture it holds: the pixels over
    // the scale, a part of a unit counted whole.
    double scale() const { return drawingScale; }
    std::int32_t logicalWidth() const { return unitsOf(surfaceWidth, drawingScale); }
    std::int32_t logicalHeight() const { return unitsOf(surfaceHeight, drawingScale); }
    // The pixels of `units` at `scale`, a part of a pixel dropped: a surface of that many
    // pixels holds a picture of `units` units.
    static std::int32_t pixelsOf(std::int32_t units, double scale);
    static std::int32_t unitsOf(std::int32_t pixels, double scale);

    // Every pixel set to `argb` (premultiplied).
    void fill(std::uint32_t argb);
    // One pixel; 0 outside the surface.
    std::uint32_t pixel(std::int32_t x, std::int32_t y) const;
    // All pixels, rows top to bottom.
    std::vector<std::uint32_t> pixels() const;
    // The pixels in place, without a copy: rowBytes() apart, valid while the surface is.
    const std::uint32_t* row(std::int32_t y) const {
        return reinterpret_cast<const std::uint32_t*>(static_cast<const unsigned char*>(bits()) +
                                                      static_cast<std::ptrdiff_t>(y) * stride());
    }
    std::int32_t rowBytes() const { return stride(); }
    // The pixels to write in place, rows rowBytes() apart, for a host that draws over a
    // paint itself (no GDI+ object of the surface may be alive meanwhile); written() when
    // done, so the surface's own drawing sees them.
    std::uint32_t* pixelsToWrite() { return static_cast<std::uint32_t*>(bits()); }
    void written();

private:
    void* bits() const;
    std::int32_t stride() const;

    std::int32_t surfaceWidth;
    std::int32_t surfaceHeight;
    double drawingScale = 1.0;
    HDC deviceContext = nullptr;
#ifdef _WIN32
    HBITMAP bitmap = nullptr;
    HGDIOBJ previousBitmap = nullptr;
    void* dibBits = nullptr;
#else
    HDC__ record{};
#endif
};

// Reads a PNG file into premultiplied 0xAARRGGBB pixels, rows top to bottom.
bool readPng(const std::string& path, std::int32_t& width, std::int32_t& height,
             std::vector<std::uint32_t>& pixels);

} // namespace vex::host
