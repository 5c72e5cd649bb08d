// The display's hold on GDI+: graphics context, pens, solid brushes and fonts as small
// wrappers that keep their handle and the status of the last failed call, and the colour
// shading of the other voices' traces and of the background frame.
//
// Contract: everything runs on the host's user-interface thread. GDI+ failures are never
// reported: each leaves its status in the wrapper concerned and drawing goes on; a wrapper
// whose handle is null makes the calls that use it fail the same way. The library never
// starts GDI+; the host has.
#pragma once

#include "framework/audio/abi.h"
#include "platform/gdiplus.h"
#include "platform/win_types.h"

#include <cstddef>
#include <cstdint>
#include <new>

namespace vex {

// Wrapper memory comes from GdipAlloc and goes back through GdipFree.
class GdipAllocated {
public:
    static void* operator new(std::size_t size);
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
    static void operator delete(void* memory) noexcept;
};

// A pen of world units (pixels). Only its colour changes after construction.
class PenWrapper : public GdipAllocated {
public:
    PenWrapper(std::uint32_t colour, float width);
    ~PenWrapper();
    PenWrapper(const PenWrapper&) = delete;
    PenWrapper& operator=(const PenWrapper&) = delete;

    void setColour(std::uint32_t colour);

    gdip::GpPen* handle = nullptr;
    std::int32_t status = 0; // of creation, then of the last failed call
};

// A solid brush. Destroy and clone are its virtual operations, in that order.
class BrushWrapper : public GdipAllocated {
public:
    explicit BrushWrapper(std::uint32_t colour);
    virtual ~BrushWrapper();
    BrushWrapper(const BrushWrapper&) = delete;
    BrushWrapper& operator=(const BrushWrapper&) = delete;

    // A new wrapper around a copy of the brush, carrying this wrapper's status; null when
    // no memory is left for the wrapper (the copied handle is then deleted). A failed
    // copy leaves its status here and gives a wrapper with a null handle.
    virtual BrushWrapper* clone();

    void setColour(std::uint32_t colour);

    gdip::GpBrush* handle = nullptr;
    // 6 (not implemented) until the creation call has answered, then its status and
    // that of later failures.
    std::int32_t status = gdip::NotImplemented;

private:
    BrushWrapper(gdip::GpBrush* cloned, std::int32_t sourceStatus);
};

// A font by family name, falling back to the generic sans-serif family when the family
// or the font cannot be made. The handle stays null when neither works; the status then
// says why.
class FontWrapper : public GdipAllocated {
public:
    FontWrapper(const MpChar* familyName, float size, std::int32_t style, std::int32_t unit);
    ~FontWrapper();
    FontWrapper(const FontWrapper&) = delete;
    FontWrapper& operator=(const FontWrapper&) = delete;

    gdip::GpFont* handle = nullptr;
    std::int32_t status = 0;
};

// A graphics context on the device context of one paint. Every failed drawing call
// leaves its status here; a later success does not clear it. Null pens, brushes and fonts
// are passed on as null handles.
class GraphicsWrapper : public GdipAllocated {
public:
    explicit GraphicsWrapper(HDC dc);
    ~GraphicsWrapper();
    GraphicsWrapper(const GraphicsWrapper&) = delete;
    GraphicsWrapper& operator=(const GraphicsWrapper&) = delete;

    void fillRectangle(const BrushWrapper* brush, std::int32_t x, std::int32_t y,
                       std::int32_t width, std::int32_t height);
    void drawRectangle(const PenWrapper* pen, std::int32_t x, std::int32_t y, std::int32_t width,
                       std::int32_t height);
    void drawLine(const PenWrapper* pen, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                  std::int32_t y2);
    // An open polyline through `count` points.
    void drawLines(const PenWrapper* pen, const gdip::GpPoint* points, std::int32_t count);
    // `length` code units of `text` (-1: up to the terminator) with the text's top-left
    // corner at (x, y); nothing wraps or clips.
    void drawText(const MpChar* text, std::int32_t length, const FontWrapper* font, float x,
                  float y, const BrushWrapper* brush);
    // The font's line height in pixels for this context; 0 when it cannot be had.
    float fontHeight(const FontWrapper* font);

    gdip::GpGraphics* handle = nullptr;
    std::int32_t status = 0;

private:
    void keep(gdip::GpStatus result) {
        if (result != gdip::Ok) {
            status = result;
        }
    }
};

// The generic sans-serif family, fetched from GDI+ on first use (thread-safe) and kept,
// with the status of fetching it, until the process ends. Never deleted.
struct SansSerifFamily {
    gdip::GpFontFamily* family;
    std::int32_t status;
};
const SansSerifFamily& genericSansSerif();

// Colour shading of ARGB colours in place; alpha stays. With k = 1 / (amount + 1), each of
// red, green and blue becomes trunc(255 - k (255 - c)) (lighten, toward white) or
// trunc(k c) (darken, toward black). `amount` >= 0; 0, a negative amount or NaN leaves
// the colour as it is.
void lighten(std::uint32_t& colour, float amount);
void darken(std::uint32_t& colour, float amount);

} // namespace vex
