#include "analyzer/display/drawing_resources.h"

namespace vex {

void* GdipAllocated::operator new(std::size_t size) {
    void* memory = gdip::GdipAlloc(size);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

void* GdipAllocated::operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return gdip::GdipAlloc(size);
}

void GdipAllocated::operator delete(void* memory) noexcept {
    if (memory != nullptr) {
        gdip::GdipFree(memory);
    }
}

PenWrapper::PenWrapper(std::uint32_t colour, float width) {
    status = gdip::GdipCreatePen1(colour, width, gdip::UnitWorld, &handle);
}

PenWrapper::~PenWrapper() {
    if (handle != nullptr) {
        gdip::GdipDeletePen(handle);
    }
}

void PenWrapper::setColour(std::uint32_t colour) {
    const gdip::GpStatus result = gdip::GdipSetPenColor(handle, colour);
    if (result != gdip::Ok) {
        status = result;
    }
}

BrushWrapper::BrushWrapper(std::uint32_t colour) {
    gdip::GpSolidFill* fill = nullptr;
    status = gdip::GdipCreateSolidFill(colour, &fill);
    handle = fill;
}

BrushWrapper::BrushWrapper(gdip::GpBrush* cloned, std::int32_t sourceStatus)
    : handle(cloned), status(sourceStatus) {}

BrushWrapper::~BrushWrapper() {
    if (handle != nullptr) {
        gdip::GdipDeleteBrush(handle);
    }
}

BrushWrapper* BrushWrapper::clone() {
    gdip::GpBrush* copy = nullptr;
    const gdip::GpStatus result = gdip::GdipCloneBrush(handle, &copy);
    if (result != gdip::Ok) {
        status = result;
        copy = nullptr;
    }
    auto* wrapper = new (std::nothrow) BrushWrapper(copy, status);
    if (wrapper == nullptr && copy != nullptr) {
        gdip::GdipDeleteBrush(copy);
    }
    return wrapper;
}

void BrushWrapper::setColour(std::uint32_t colour) {
    const gdip::GpStatus result =
        gdip::GdipSetSolidFillColor(static_cast<gdip::GpSolidFill*>(handle), colour);
    if (result != gdip::Ok) {
        status = result;
    }
}

const SansSerifFamily& genericSansSerif() {
    static const SansSerifFamily shared = [] {
        SansSerifFamily fetched{nullptr, gdip::Ok};
        fetched.status = gdip::GdipGetGenericFontFamilySansSerif(&fetched.family);
        if (fetched.status != gdip::Ok) {
            fetched.family = nullptr;
        }
        return fetched;
    }();
    return shared;
}

FontWrapper::FontWrapper(const MpChar* familyName, float size, std::int32_t style,
                         std::int32_t unit) {
    const auto gdipUnit = static_cast<gdip::Unit>(unit);
    gdip::GpFontFamily* named = nullptr;
    status = gdip::GdipCreateFontFamilyFromName(familyName, nullptr, &named);
    if (status != gdip::Ok) {
        named = nullptr;
    }
    const gdip::GpFontFamily* family = named;
    bool ready = true;
    if (named == nullptr) {
        const SansSerifFamily& fallback = genericSansSerif();
        status = fallback.status;
        family = fallback.family;
        ready = family != nullptr;
    }
    if (ready) {
        status = gdip::GdipCreateFont(family, size, style, gdipUnit, &handle);
        if (status != gdip::Ok) {
            handle = nullptr;
            const SansSerifFamily& fallback = genericSansSerif();
            if (fallback.family == nullptr) {
                status = fallback.status;
            } else {
                status = gdip::GdipCreateFont(fallback.family, size, style, gdipUnit, &handle);
                if (status != gdip::Ok) {
                    handle = nullptr;
                }
            }
        }
    }
    if (named != nullptr) {
        gdip::GdipDeleteFontFamily(named);
    }
}

FontWrapper::~FontWrapper() {
    if (handle != nullptr) {
        gdip::GdipDeleteFont(handle);
    }
}

GraphicsWrapper::GraphicsWrapper(HDC dc) {
    status = gdip::GdipCreateFromHDC(dc, &handle);
    if (status != gdip::Ok) {
        handle = nullptr;
    }
}

GraphicsWrapper::~GraphicsWrapper() {
    if (handle != nullptr) {
        gdip::GdipDeleteGraphics(handle);
    }
}

void GraphicsWrapper::fillRectangle(const BrushWrapper* brush, std::int32_t x, std::int32_t y,
                                    std::int32_t width, std::int32_t height) {
    keep(gdip::GdipFillRectangleI(handle, brush != nullptr ? brush->handle : nullptr, x, y, width,
                                  height));
}

void GraphicsWrapper::drawRectangle(const PenWrapper* pen, std::int32_t x, std::int32_t y,
                                    std::int32_t width, std::int32_t height) {
    keep(gdip::GdipDrawRectangleI(handle, pen != nullptr ? pen->handle : nullptr, x, y, width,
                                  height));
}

void GraphicsWrapper::drawLine(const PenWrapper* pen, std::int32_t x1, std::int32_t y1,
                               std::int32_t x2, std::int32_t y2) {
    keep(gdip::GdipDrawLineI(handle, pen != nullptr ? pen->handle : nullptr, x1, y1, x2, y2));
}

void GraphicsWrapper::drawLines(const PenWrapper* pen, const gdip::GpPoint* points,
                                std::int32_t count) {
    if (points == nullptr) {
        // Why: GDI+ does not check the array before reading it.
        keep(gdip::InvalidParameter);
        return;
    }
    keep(gdip::GdipDrawLinesI(handle, pen != nullptr ? pen->handle : nullptr, points, count));
}

void GraphicsWrapper::drawText(const MpChar* text, std::int32_t length, const FontWrapper* font,
                               float x, float y, const BrushWrapper* brush) {
    const gdip::RectF layout{x, y, 0.0f, 0.0f};
    keep(gdip::GdipDrawString(handle, text, length, font != nullptr ? font->handle : nullptr,
                              &layout, nullptr, brush != nullptr ? brush->handle : nullptr));
}

float GraphicsWrapper::fontHeight(const FontWrapper* font) {
    gdip::REAL height = 0.0f;
    const gdip::GpStatus result =
        gdip::GdipGetFontHeight(font != nullptr ? font->handle : nullptr, handle, &height);
    keep(result);
    return result == gdip::Ok ? height : 0.0f;
}

namespace {

// Why float: the shading amount arrives as a 32-bit float pin value and the factor is
// kept at that precision.
std::uint32_t shade(std::uint32_t colour, float amount, bool toWhite) {
    // Why: a NaN or negative amount would make the factor NaN or unbounded and the
    // conversion to a byte undefined; such an amount shades nothing.
    if (!(amount > 0.0f)) {
        return colour;
    }
    const float k = 1.0f / (amount + 1.0f);
    std::uint32_t out = colour & 0xff000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
        const float c = static_cast<float>((colour >> shift) & 0xffu);
        float shaded = toWhite ? 255.0f - k * (255.0f - c) : k * c;
        shaded = shaded < 0.0f ? 0.0f : (shaded > 255.0f ? 255.0f : shaded);
        out |= static_cast<std::uint32_t>(shaded) << shift;
    }
    return out;
}

} // namespace

void lighten(std::uint32_t& colour, float amount) {
    colour = shade(colour, amount, true);
}

void darken(std::uint32_t& colour, float amount) {
    colour = shade(colour, amount, false);
}

} // namespace vex
