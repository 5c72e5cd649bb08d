// The GDI+ flat interface the analyzer display draws with.
//
// On Windows this is the system's gdiplus. Elsewhere it is our stand-in over Cairo and
// fontconfig with the same names, signatures, status codes and pixel geometry, for the
// operations the display calls (and no others). Code uses the names through `vex::gdip`,
// which reads the same on both builds: `gdip::GdipCreatePen1(colour, 1.0f, gdip::UnitWorld,
// &pen)`.
//
// Contract (both builds): every operation runs on the thread that owns the objects
// involved; nothing is locked. The library never starts GDI+; on Windows the host process
// must have called GdiplusStartup before the first call.
#pragma once

#include "platform/win_types.h"

#ifdef _WIN32
#include <objidl.h>

#include <gdiplus.h>
#else
#include <cstddef>
#include <cstdint>

namespace Gdiplus {

using REAL = float;
using INT = int;
using ARGB = std::uint32_t;

enum Status {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
    ProfileNotFound = 21,
};
using GpStatus = Status;

enum Unit {
    UnitWorld = 0,
    UnitDisplay = 1,
    UnitPixel = 2,
    UnitPoint = 3,
    UnitInch = 4,
    UnitDocument = 5,
    UnitMillimeter = 6,
};
using GpUnit = Unit;

enum FontStyle {
    FontStyleRegular = 0,
    FontStyleBold = 1,
    FontStyleItalic = 2,
    FontStyleBoldItalic = 3,
    FontStyleUnderline = 4,
    FontStyleStrikeout = 8,
};

struct Point {
    INT X;
    INT Y;
};
using GpPoint = Point;

struct RectF {
    REAL X;
    REAL Y;
    REAL Width;
    REAL Height;
};

// Opaque handles; the stand-in's objects derive from them.
class GpGraphics {};
class GpPen {};
class GpBrush {};
class GpSolidFill : public GpBrush {};
class GpFontFamily {};
class GpFontCollection {};
class GpFont {};
class GpStringFormat {};

namespace DllExports {

// Graphics context drawing into `hdc`'s surface, origin at its top-left, one unit per
// pixel, aliased. A null `hdc` answers OutOfMemory. A record whose scale is N (1..4, not 1)
// draws at N pixels per unit instead: rectangles from edge to scaled edge, lines stroked N
// pixels wide, text from glyphs N times the font's size; sizes and font heights answered
// stay in units.
GpStatus GdipCreateFromHDC(HDC hdc, GpGraphics** graphics);
GpStatus GdipDeleteGraphics(GpGraphics* graphics);

// Pens of `width` world units (pixels); UnitDisplay and unknown units answer NotImplemented.
GpStatus GdipCreatePen1(ARGB colour, REAL width, GpUnit unit, GpPen** pen);
GpStatus GdipSetPenColor(GpPen* pen, ARGB colour);
GpStatus GdipDeletePen(GpPen* pen);

GpStatus GdipCreateSolidFill(ARGB colour, GpSolidFill** brush);
GpStatus GdipSetSolidFillColor(GpSolidFill* brush, ARGB colour);
GpStatus GdipCloneBrush(GpBrush* brush, GpBrush** clone);
GpStatus GdipDeleteBrush(GpBrush* brush);

// Families by name through fontconfig: FontFamilyNotFound (and a null family) unless the
// name, or a name fontconfig substitutes for it ("Arial" -> "Liberation Sans"), is
// installed. The generic sans-serif family is one process-wide object; deleting it is a
// no-op.
GpStatus GdipCreateFontFamilyFromName(const WCHAR* name, GpFontCollection* collection,
                                      GpFontFamily** family);
GpStatus GdipGetGenericFontFamilySansSerif(GpFontFamily** family);
GpStatus GdipDeleteFontFamily(GpFontFamily* family);
GpStatus GdipCreateFont(const GpFontFamily* family, REAL size, INT style, Unit unit, GpFont** font);
GpStatus GdipDeleteFont(GpFont* font);
// The font's line spacing in pixels (96 dpi); `graphics` may be null.
GpStatus GdipGetFontHeight(const GpFont* font, const GpGraphics* graphics, REAL* height);

GpStatus GdipFillRectangleI(GpGraphics* graphics, GpBrush* brush, INT x, INT y, INT width,
                            INT height);
GpStatus GdipDrawRectangleI(GpGraphics* graphics, GpPen* pen, INT x, INT y, INT width, INT height);
GpStatus GdipDrawLineI(GpGraphics* graphics, GpPen* pen, INT x1, INT y1, INT x2, INT y2);
GpStatus GdipDrawLinesI(GpGraphics* graphics, GpPen* pen, const GpPoint* points, INT count);
// `length` -1: up to the terminator. Only a layout rectangle of size 0 (text from its
// top-left corner, no wrapping) and a null string format are supported.
GpStatus GdipDrawString(GpGraphics* graphics, const WCHAR* text, INT length, const GpFont* font,
                        const RectF* layout, const GpStringFormat* format, const GpBrush* brush);

void* GdipAlloc(std::size_t size);
void GdipFree(void* memory);

} // namespace DllExports
} // namespace Gdiplus
#endif

namespace vex::gdip {
using namespace Gdiplus;
using namespace Gdiplus::DllExports;
} // namespace vex::gdip
