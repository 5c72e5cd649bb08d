#include "host/kit/view/paint_surface.h"

#include "platform/gdiplus.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#ifndef _WIN32
#include <cairo.h>
#endif

namespace vex::host {

#ifdef _WIN32

namespace {

std::wstring widen(const std::string& text) {
    const int count = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (count <= 0) {
        return {};
    }
    std::wstring out(static_cast<std::size_t>(count), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), count);
    out.resize(static_cast<std::size_t>(count - 1));
    return out;
}

} // namespace

bool startGdiplus() {
    // Why never shut down: displays may keep GDI+ objects (the generic font family) until
    // the process ends.
    static const bool started = [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    }();
    return started;
}

PaintSurface::PaintSurface(std::int32_t width, std::int32_t height, double)
    : surfaceWidth(std::max(width, 1)), surfaceHeight(std::max(height, 1)) {
    startGdiplus();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = surfaceWidth;
    info.bmiHeader.biHeight = -surfaceHeight; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) {
        return;
    }
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &dibBits, nullptr, 0);
    if (bitmap == nullptr || dibBits == nullptr) {
        DeleteDC(dc);
        bitmap = nullptr;
        dibBits = nullptr;
        return;
    }
    previousBitmap = SelectObject(dc, bitmap);
    deviceContext = dc;
    fill(0);
}

PaintSurface::~PaintSurface() {
    if (deviceContext != nullptr) {
        SelectObject(deviceContext, previousBitmap);
        DeleteDC(deviceContext);
    }
    if (bitmap != nullptr) {
        DeleteObject(bitmap);
    }
}

bool PaintSurface::valid() const {
    return deviceContext != nullptr;
}

void* PaintSurface::bits() const {
    GdiFlush(); // GDI may still hold drawing for the section
    return dibBits;
}

std::int32_t PaintSurface::stride() const {
    return surfaceWidth * 4;
}

bool readPng(const std::string& path, std::int32_t& width, std::int32_t& height,
             std::vector<std::uint32_t>& pixels) {
    if (!startGdiplus()) {
        return false;
    }
    const std::wstring file = widen(path);
    Gdiplus::GpBitmap* image = nullptr;
    if (Gdiplus::DllExports::GdipCreateBitmapFromFile(file.c_str(), &image) != Gdiplus::Ok) {
        return false;
    }
    UINT w = 0;
    UINT h = 0;
    Gdiplus::DllExports::GdipGetImageWidth(image, &w);
    Gdiplus::DllExports::GdipGetImageHeight(image, &h);
    Gdiplus::Rect all(0, 0, static_cast<INT>(w), static_cast<INT>(h));
    Gdiplus::BitmapData data{};
    bool ok = Gdiplus::DllExports::GdipBitmapLockBits(image, &all, Gdiplus::ImageLockModeRead,
                                                      PixelFormat32bppPARGB, &data) == Gdiplus::Ok;
    if (ok) {
        width = static_cast<std::int32_t>(w);
        height = static_cast<std::int32_t>(h);
        pixels.resize(static_cast<std::size_t>(w) * h);
        for (UINT y = 0; y < h; ++y) {
            std::memcpy(&pixels[static_cast<std::size_t>(y) * w],
                        static_cast<const unsigned char*>(data.Scan0) + y * data.Stride, w * 4);
        }
        Gdiplus::DllExports::GdipBitmapUnlockBits(image, &data);
    }
    Gdiplus::DllExports::GdipDisposeImage(image);
    return ok;
}

#else

bool startGdiplus() {
    return true;
}

PaintSurface::PaintSurface(std::int32_t width, std::int32_t height, double scale)
    : surfaceWidth(std::max(width, 1)), surfaceHeight(std::max(height, 1)),
      drawingScale(platform::usableScale(scale)) {
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, surfaceWidth, surfaceHeight);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return;
    }
    record.surface = surface;
    record.width = surfaceWidth;
    record.height = surfaceHeight;
    record.scale = drawingScale;
    deviceContext = &record;
    fill(0);
}

PaintSurface::~PaintSurface() {
    if (record.surface != nullptr) {
        cairo_surface_destroy(record.surface);
    }
}

bool PaintSurface::valid() const {
    return deviceContext != nullptr;
}

void* PaintSurface::bits() const {
    cairo_surface_flush(record.surface);
    return cairo_image_surface_get_data(record.surface);
}

std::int32_t PaintSurface::stride() const {
    return cairo_image_surface_get_stride(record.surface);
}

bool readPng(const std::string& path, std::int32_t& width, std::int32_t& height,
             std::vector<std::uint32_t>& pixels) {
    cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
    bool ok = cairo_surface_status(image) == CAIRO_STATUS_SUCCESS;
    if (ok) {
        // PNGs without alpha load as RGB24, whose unused byte is not 0xFF.
        const bool opaque = cairo_image_surface_get_format(image) == CAIRO_FORMAT_RGB24;
        ok = opaque || cairo_image_surface_get_format(image) == CAIRO_FORMAT_ARGB32;
        if (ok) {
            cairo_surface_flush(image);
            width = cairo_image_surface_get_width(image);
            height = cairo_image_surface_get_height(image);
            const int imageStride = cairo_image_surface_get_stride(image);
            const unsigned char* data = cairo_image_surface_get_data(image);
            pixels.resize(static_cast<std::size_t>(width) * height);
            for (std::int32_t y = 0; y < height; ++y) {
                std::memcpy(&pixels[static_cast<std::size_t>(y) * width], data + y * imageStride,
                            static_cast<std::size_t>(width) * 4);
            }
            if (opaque) {
                for (std::uint32_t& p : pixels) {
                    p |= 0xff000000u;
                }
            }
        }
    }
    cairo_surface_destroy(image);
    return ok;
}

#endif

// Why the margin of a millionth: a product or quotient that is whole in exact arithmetic
// (30 x 1.1) may come out a hair either side of it in binary.
std::int32_t PaintSurface::pixelsOf(std::int32_t units, double scale) {
    const double s = kScales ? platform::usableScale(scale) : 1.0;
    return static_cast<std::int32_t>(std::floor(units * s + 1e-6));
}

std::int32_t PaintSurface::unitsOf(std::int32_t pixels, double scale) {
    const double s = kScales ? platform::usableScale(scale) : 1.0;
    return static_cast<std::int32_t>(std::ceil(pixels / s - 1e-6));
}

void PaintSurface::written() {
#ifndef _WIN32
    cairo_surface_mark_dirty(record.surface);
#endif
}

void PaintSurface::fill(std::uint32_t argb) {
    if (!valid()) {
        return;
    }
    auto* data = static_cast<unsigned char*>(bits());
    // Why the two ways: a value of four equal bytes (0 above all) is a byte fill.
    const bool byteFill = argb == (argb & 0xffu) * 0x01010101u;
    for (std::int32_t y = 0; y < surfaceHeight; ++y) {
        unsigned char* row = data + static_cast<std::ptrdiff_t>(y) * stride();
        if (byteFill) {
            std::memset(row, static_cast<int>(argb & 0xffu),
                        static_cast<std::size_t>(surfaceWidth) * 4);
        } else {
            auto* pixels = reinterpret_cast<std::uint32_t*>(row);
            std::fill(pixels, pixels + surfaceWidth, argb);
        }
    }
#ifndef _WIN32
    cairo_surface_mark_dirty(record.surface);
#endif
}

std::uint32_t PaintSurface::pixel(std::int32_t x, std::int32_t y) const {
    if (!valid() || x < 0 || y < 0 || x >= surfaceWidth || y >= surfaceHeight) {
        return 0;
    }
    const auto* data = static_cast<const unsigned char*>(bits());
    std::uint32_t value;
    std::memcpy(&value, data + static_cast<std::ptrdiff_t>(y) * stride() + x * 4, 4);
    return value;
}

std::vector<std::uint32_t> PaintSurface::pixels() const {
    std::vector<std::uint32_t> out;
    if (!valid()) {
        return out;
    }
    out.reserve(static_cast<std::size_t>(surfaceWidth) * surfaceHeight);
    const auto* data = static_cast<const unsigned char*>(bits());
    for (std::int32_t y = 0; y < surfaceHeight; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(
            data + static_cast<std::ptrdiff_t>(y) * stride());
        out.insert(out.end(), row, row + surfaceWidth);
    }
    return out;
}

} // namespace vex::host
