// Thin polylines are written straight into the surface's pixels. They must light exactly
// the pixels of the plain path (each segment's pixel set, united) and blend a translucent
// colour once per pixel of that union, however often the polyline crosses itself.
#include "host/kit/view/paint_surface.h"
#include "platform/gdiplus.h"
#include "platform/gdiplus/pixel_spans.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vex {
namespace {

// Source over destination, premultiplied, each product rounded to nearest (never a tie
// for bytes over 255).
std::uint32_t blendReference(std::uint32_t destination, std::uint32_t argb) {
    const std::uint32_t alpha = argb >> 24;
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t c = shift == 24 ? 255u : (argb >> shift) & 0xffu;
        const std::uint32_t d = (destination >> shift) & 0xffu;
        out |= ((c * alpha + 127) / 255 + (d * (255 - alpha) + 127) / 255) << shift;
    }
    return out;
}

// The plain path: the union of the segments' pixels as sorted runs, each pixel blended once.
void drawReference(std::vector<std::uint32_t>& pixels, int width, int height,
                   const std::vector<gdip::GpPoint>& points, std::uint32_t argb) {
    platform::PixelSpanSet set;
    set.reset(width, height);
    for (std::size_t i = 1; i < points.size(); ++i) {
        set.addThinLine(points[i - 1].X, points[i - 1].Y, points[i].X, points[i].Y);
    }
    if ((argb >> 24) == 0) {
        return;
    }
    for (const platform::PixelSpan& span : set.unite()) {
        for (int x = span.x0; x <= span.x1; ++x) {
            std::uint32_t& p = pixels[static_cast<std::size_t>(span.y) * width + x];
            p = blendReference(p, argb);
        }
    }
}

TEST(ThinPolyline, RandomPolylinesMatchThePlainUnionBlendedOnce) {
    constexpr int kWidth = 97;
    constexpr int kHeight = 61;
    host::PaintSurface surface(kWidth, kHeight);
    surface.fill(0x80402010u);
    std::vector<std::uint32_t> expected = surface.pixels();
    gdip::GpGraphics* graphics = nullptr;
    gdip::GpPen* pen = nullptr;
    ASSERT_EQ(gdip::GdipCreateFromHDC(surface.dc(), &graphics), gdip::Ok);
    ASSERT_EQ(gdip::GdipCreatePen1(0xffffffffu, 1.0f, gdip::UnitPixel, &pen), gdip::Ok);

    std::mt19937 random(77);
    std::uniform_int_distribution<int> xs(-40, kWidth + 40);
    std::uniform_int_distribution<int> ys(-30, kHeight + 30);
    std::uniform_int_distribution<int> lengths(2, 40);
    std::uniform_int_distribution<int> bytes(0, 255);
    int translucent = 0;
    for (int line = 0; line < 300; ++line) {
        std::vector<gdip::GpPoint> points(static_cast<std::size_t>(lengths(random)));
        for (gdip::GpPoint& p : points) {
            p = {xs(random), ys(random)};
            if (bytes(random) < 4) {
                p.Y = bytes(random) < 128 ? 1000000000 : -1000000000; // far off the surface
            }
        }
        const int kind = line % 4; // opaque, two translucent, fully transparent
        const std::uint32_t alpha = kind == 0 ? 255u : (kind == 3 ? 0u : 1u + bytes(random) % 254);
        const std::uint32_t argb = (alpha << 24) |
                                   (static_cast<std::uint32_t>(bytes(random)) << 16) |
                                   (static_cast<std::uint32_t>(bytes(random)) << 8) |
                                   static_cast<std::uint32_t>(bytes(random));
        translucent += alpha > 0 && alpha < 255 ? 1 : 0;
        ASSERT_EQ(gdip::GdipSetPenColor(pen, argb), gdip::Ok);
        ASSERT_EQ(
            gdip::GdipDrawLinesI(graphics, pen, points.data(), static_cast<int>(points.size())),
            gdip::Ok);
        drawReference(expected, kWidth, kHeight, points, argb);
        ASSERT_EQ(surface.pixels(), expected) << "after polyline " << line;
    }
    EXPECT_GT(translucent, 100);
    gdip::GdipDeletePen(pen);
    gdip::GdipDeleteGraphics(graphics);
}

// A later polyline blends again what an earlier one lit, however many polylines came in
// between: the bookkeeping of which pixels the current polyline has lit must never take a
// pixel lit long ago for one of its own (each round below draws 65535 polylines, the
// period of that bookkeeping).
TEST(ThinPolyline, PixelsLitLongAgoAreBlendedAgain) {
    host::PaintSurface surface(12, 4);
    gdip::GpGraphics* graphics = nullptr;
    gdip::GpPen* pen = nullptr;
    ASSERT_EQ(gdip::GdipCreateFromHDC(surface.dc(), &graphics), gdip::Ok);
    const std::uint32_t argb = 0x80ff8040u;
    ASSERT_EQ(gdip::GdipCreatePen1(argb, 1.0f, gdip::UnitPixel, &pen), gdip::Ok);
    const gdip::GpPoint rowTwo[3] = {{1, 2}, {9, 2}, {1, 2}}; // doubles back over itself
    const gdip::GpPoint rowOne[2] = {{1, 1}, {9, 1}};
    std::uint32_t expected = 0xff204060u;
    surface.fill(expected);
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(gdip::GdipDrawLinesI(graphics, pen, rowTwo, 3), gdip::Ok);
        expected = blendReference(expected, argb);
        for (int x = 1; x <= 9; ++x) {
            ASSERT_EQ(surface.pixel(x, 2), expected) << "round " << round << ", x " << x;
        }
        for (int n = 0; n < 65534; ++n) {
            ASSERT_EQ(gdip::GdipDrawLinesI(graphics, pen, rowOne, 2), gdip::Ok);
        }
    }
    EXPECT_NE(surface.pixel(1, 1), 0xff204060u);
    EXPECT_EQ(surface.pixel(0, 2), 0xff204060u);
    EXPECT_EQ(surface.pixel(10, 2), 0xff204060u);
    gdip::GdipDeletePen(pen);
    gdip::GdipDeleteGraphics(graphics);
}

} // namespace
} // namespace vex
