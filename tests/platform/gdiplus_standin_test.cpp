// The GDI+ stand-in at the edges of its input range: coordinates anywhere in 32 bits,
// malformed text, objects that never existed; and on a scaled device context.
#include "host/kit/view/paint_surface.h"
#include "platform/gdiplus.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace vex {
namespace {

using PixelSet = std::set<std::pair<int, int>>;

PixelSet lit(const host::PaintSurface& surface) {
    PixelSet out;
    for (int y = 0; y < surface.height(); ++y) {
        for (int x = 0; x < surface.width(); ++x) {
            if (surface.pixel(x, y) != 0) {
                out.insert({x, y});
            }
        }
    }
    return out;
}

// The 1-pixel line rule in 128-bit arithmetic, for x-major lines with x0 < x1.
PixelSet referenceXMajor(__int128 x0, __int128 y0, __int128 x1, __int128 y1, int width,
                         int height) {
    PixelSet out;
    const __int128 dx = x1 - x0;
    const __int128 dy = y1 - y0;
    for (int x = 0; x < width; ++x) {
        const __int128 num = 2 * dy * (x - x0) + dx;
        __int128 q = num / (2 * dx);
        if (num % (2 * dx) != 0 && num < 0) {
            --q;
        }
        const __int128 y = y0 + q;
        if (y >= 0 && y < height) {
            out.insert({x, static_cast<int>(y)});
        }
    }
    return out;
}

class StandInTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(gdip::GdipCreateFromHDC(surface.dc(), &graphics), gdip::Ok);
        ASSERT_EQ(gdip::GdipCreatePen1(0xffffffffu, 1.0f, gdip::UnitWorld, &pen), gdip::Ok);
    }
    void TearDown() override {
        gdip::GdipDeletePen(pen);
        gdip::GdipDeleteGraphics(graphics);
    }
    host::PaintSurface surface{40, 30};
    gdip::GpGraphics* graphics = nullptr;
    gdip::GpPen* pen = nullptr;
};

TEST_F(StandInTest, LinesSpanningTheWholeIntegerRangeAreExactAndClipped) {
    ASSERT_EQ(gdip::GdipDrawLineI(graphics, pen, INT_MIN, INT_MIN, INT_MAX, INT_MAX), gdip::Ok);
    PixelSet diagonal;
    for (int i = 0; i < 30; ++i) {
        diagonal.insert({i, i});
    }
    EXPECT_EQ(lit(surface), diagonal);

    surface.fill(0);
    ASSERT_EQ(gdip::GdipDrawLineI(graphics, pen, INT_MAX, 29, INT_MIN, 0), gdip::Ok);
    const PixelSet expected = referenceXMajor(INT_MIN, 0, INT_MAX, 29, 40, 30);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(lit(surface), expected);

    // Entirely off the surface, and steep across it.
    surface.fill(0);
    EXPECT_EQ(gdip::GdipDrawLineI(graphics, pen, INT_MIN, -5, INT_MAX, -1), gdip::Ok);
    EXPECT_TRUE(lit(surface).empty());
    EXPECT_EQ(gdip::GdipDrawLineI(graphics, pen, 7, INT_MIN, 7, INT_MAX), gdip::Ok);
    EXPECT_EQ(lit(surface).size(), 30u);
}

TEST_F(StandInTest, RectanglesAtTheIntegerLimitsDoNotOverflow) {
    gdip::GpSolidFill* brush = nullptr;
    ASSERT_EQ(gdip::GdipCreateSolidFill(0xff00ff00u, &brush), gdip::Ok);
    EXPECT_EQ(gdip::GdipFillRectangleI(graphics, brush, INT_MAX - 3, 0, INT_MAX, 10), gdip::Ok);
    EXPECT_EQ(gdip::GdipFillRectangleI(graphics, brush, INT_MIN, INT_MIN, INT_MAX, INT_MAX),
              gdip::Ok);
    EXPECT_TRUE(lit(surface).empty());
    EXPECT_EQ(gdip::GdipFillRectangleI(graphics, brush, -5, -5, INT_MAX, 8), gdip::Ok);
    EXPECT_EQ(lit(surface).size(), 40u * 3u);
    gdip::GdipDeleteBrush(brush);

    surface.fill(0);
    gdip::GpPen* wide = nullptr;
    ASSERT_EQ(gdip::GdipCreatePen1(0xffffffffu, 5.0f, gdip::UnitWorld, &wide), gdip::Ok);
    EXPECT_EQ(gdip::GdipDrawRectangleI(graphics, wide, -1000000, 10, INT_MAX, INT_MAX), gdip::Ok);
    // Only the top edge crosses the surface: rows 8..12.
    EXPECT_EQ(lit(surface).size(), 40u * 5u);
    gdip::GdipDeletePen(wide);
}

TEST_F(StandInTest, TextOfAnyUtf16IsDrawnAndBadArgumentsAnswerInvalidParameter) {
    gdip::GpFontFamily* family = nullptr;
    ASSERT_EQ(gdip::GdipCreateFontFamilyFromName(u"Liberation Sans", nullptr, &family), gdip::Ok);
    gdip::GpFont* font = nullptr;
    ASSERT_EQ(gdip::GdipCreateFont(family, 9.0f, gdip::FontStyleBold, gdip::UnitPixel, &font),
              gdip::Ok);
    gdip::GpSolidFill* brush = nullptr;
    ASSERT_EQ(gdip::GdipCreateSolidFill(0xffffffffu, &brush), gdip::Ok);
    const gdip::RectF at{2.0f, 2.0f, 0.0f, 0.0f};
    const char16_t broken[] = {u'A', 0xD800, u'B', 0xDC00, 0xD83D, 0xDE00, 0};
    EXPECT_EQ(gdip::GdipDrawString(graphics, broken, -1, font, &at, nullptr, brush), gdip::Ok);
    EXPECT_FALSE(lit(surface).empty());
    // Far outside the surface, nothing and no failure.
    const gdip::RectF away{1e9f, -1e9f, 0.0f, 0.0f};
    surface.fill(0);
    EXPECT_EQ(gdip::GdipDrawString(graphics, u"12", 2, font, &away, nullptr, brush), gdip::Ok);
    for (const float far : {3e38f, -3e38f, std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity()}) {
        const gdip::RectF nowhere{far, far, 0.0f, 0.0f};
        EXPECT_EQ(gdip::GdipDrawString(graphics, u"12", 2, font, &nowhere, nullptr, brush),
                  gdip::Ok);
    }
    EXPECT_TRUE(lit(surface).empty());
    EXPECT_EQ(gdip::GdipDrawString(graphics, u"12", 0, font, &at, nullptr, brush), gdip::Ok);
    EXPECT_EQ(gdip::GdipCreateFont(family, 0.0f, 0, gdip::UnitPixel, &font),
              gdip::InvalidParameter);
    EXPECT_EQ(gdip::GdipCreateFont(family, 9.0f, 0, static_cast<gdip::Unit>(7), &font),
              gdip::InvalidParameter);
    EXPECT_EQ(gdip::GdipCreatePen1(0, 1.0f, gdip::UnitDisplay, &pen), gdip::NotImplemented);
    EXPECT_EQ(gdip::GdipCreateFromHDC(nullptr, &graphics), gdip::OutOfMemory);
    EXPECT_EQ(gdip::GdipDeleteFontFamily(nullptr), gdip::InvalidParameter);
    EXPECT_EQ(gdip::GdipDeleteFont(nullptr), gdip::InvalidParameter);
    gdip::GdipDeleteBrush(brush);
    gdip::GdipDeleteFont(font);
    gdip::GdipDeleteFontFamily(family);

    // The generic family is one shared object; deleting it changes nothing.
    gdip::GpFontFamily* first = nullptr;
    gdip::GpFontFamily* second = nullptr;
    ASSERT_EQ(gdip::GdipGetGenericFontFamilySansSerif(&first), gdip::Ok);
    EXPECT_EQ(gdip::GdipDeleteFontFamily(first), gdip::Ok);
    ASSERT_EQ(gdip::GdipGetGenericFontFamilySansSerif(&second), gdip::Ok);
    EXPECT_EQ(first, second);
    EXPECT_EQ(gdip::GdipCreateFont(second, 9.0f, 0, gdip::UnitPixel, &font), gdip::Ok);
    gdip::GdipDeleteFont(font);
}

// A string drawn again, by the same font or another of the same family, style and size,
// anywhere and among hundreds of others, matches its first drawing pixel for pixel.
// The pixels lit in `surface` by a rectangle filled at units (2, 2) 4 x 2 and a thin line
// from unit (2, 8) to (10, 8).
PixelSet rectangleAndLine(const host::PaintSurface& surface) {
    gdip::GpGraphics* graphics = nullptr;
    gdip::GpPen* pen = nullptr;
    gdip::GpSolidFill* brush = nullptr;
    EXPECT_EQ(gdip::GdipCreateFromHDC(surface.dc(), &graphics), gdip::Ok);
    gdip::GdipCreatePen1(0xffffffffu, 1.0f, gdip::UnitWorld, &pen);
    gdip::GdipCreateSolidFill(0xffffffffu, &brush);
    EXPECT_EQ(gdip::GdipFillRectangleI(graphics, brush, 2, 2, 4, 2), gdip::Ok);
    EXPECT_EQ(gdip::GdipDrawLineI(graphics, pen, 2, 8, 10, 8), gdip::Ok);
    gdip::GdipDeleteBrush(brush);
    gdip::GdipDeletePen(pen);
    gdip::GdipDeleteGraphics(graphics);
    return lit(surface);
}

PixelSet box(int left, int top, int right, int bottom) {
    PixelSet out;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            out.insert({x, y});
        }
    }
    return out;
}

// A scaled surface: edges at the units times the scale, rounded half up (units 2 and 6 at
// 1.5 are pixels 3 and 9), a thin line as many pixels wide as the scale and covering its
// end units (units 2 to 10 at 2 are pixels 4 to 21). A scale that is not one (9, NaN,
// 0.5) draws as 1.
TEST(StandInScale, UnitsAreDrawnAtTheirScaledPixels) {
    PixelSet rectangle;
    for (const auto& pixel : rectangleAndLine(host::PaintSurface(40, 30, 1.5))) {
        if (pixel.second < 10) { // the line's rows start at 12
            rectangle.insert(pixel);
        }
    }
    EXPECT_EQ(rectangle, box(3, 3, 9, 6));

    PixelSet expected = box(4, 4, 12, 8);
    PixelSet line = box(4, 16, 22, 18);
    expected.insert(line.begin(), line.end());
    EXPECT_EQ(rectangleAndLine(host::PaintSurface(40, 30, 2.0)), expected);

    expected = box(2, 2, 6, 4);
    line = box(2, 8, 11, 9);
    expected.insert(line.begin(), line.end());
    // Coordinates at the 32-bit limits at the largest scale: drawn and clipped, no overflow.
    const host::PaintSurface large(40, 30, 4.0);
    gdip::GpGraphics* graphics = nullptr;
    gdip::GpPen* pen = nullptr;
    gdip::GpSolidFill* brush = nullptr;
    ASSERT_EQ(gdip::GdipCreateFromHDC(large.dc(), &graphics), gdip::Ok);
    gdip::GdipCreatePen1(0xffffffffu, 1.0f, gdip::UnitWorld, &pen);
    gdip::GdipCreateSolidFill(0xff808080u, &brush);
    EXPECT_EQ(gdip::GdipFillRectangleI(graphics, brush, INT_MIN / 2, 3, INT_MAX, 2), gdip::Ok);
    EXPECT_EQ(gdip::GdipDrawLineI(graphics, pen, INT_MIN, INT_MIN, INT_MAX, INT_MAX), gdip::Ok);
    gdip::GdipDeleteBrush(brush);
    gdip::GdipDeletePen(pen);
    gdip::GdipDeleteGraphics(graphics);
    EXPECT_EQ(large.pixel(5, 12), 0xff808080u) << "the fill's rows 12 to 19 at scale 4";
    EXPECT_EQ(large.pixel(25, 25), 0xffffffffu) << "the diagonal";
    EXPECT_EQ(large.pixel(35, 5), 0u);

    for (const double scale : {9.0, std::nan(""), 0.5}) {
        const host::PaintSurface surface(40, 30, scale);
        EXPECT_EQ(surface.scale(), 1.0);
        EXPECT_EQ(rectangleAndLine(surface), expected) << scale;
    }
}

TEST(StandInText, StringsDrawnAgainMatchTheirFirstDrawing) {
    gdip::GpFontFamily* family = nullptr;
    ASSERT_EQ(gdip::GdipCreateFontFamilyFromName(u"Liberation Sans", nullptr, &family), gdip::Ok);
    gdip::GpFont* fonts[2] = {};
    for (gdip::GpFont*& font : fonts) {
        ASSERT_EQ(gdip::GdipCreateFont(family, 9.0f, gdip::FontStyleBold, gdip::UnitPixel, &font),
                  gdip::Ok);
    }
    gdip::GpSolidFill* brush = nullptr;
    ASSERT_EQ(gdip::GdipCreateSolidFill(0xffc0e0ffu, &brush), gdip::Ok);
    const auto draw = [&](gdip::GpFont* font, const std::u16string& text, float x, float y) {
        host::PaintSurface surface{60, 24};
        gdip::GpGraphics* graphics = nullptr;
        EXPECT_EQ(gdip::GdipCreateFromHDC(surface.dc(), &graphics), gdip::Ok);
        const gdip::RectF at{x, y, 0.0f, 0.0f};
        EXPECT_EQ(gdip::GdipDrawString(graphics, text.c_str(), -1, font, &at, nullptr, brush),
                  gdip::Ok);
        gdip::GdipDeleteGraphics(graphics);
        return surface.pixels();
    };
    for (int n = 0; n < 600; ++n) {
        std::u16string text = u"-000 dB";
        text[1] = static_cast<char16_t>(text[1] + n / 100);
        text[2] = static_cast<char16_t>(text[2] + n / 10 % 10);
        text[3] = static_cast<char16_t>(text[3] + n % 10);
        const std::vector<std::uint32_t> first = draw(fonts[0], text, 7.0f, -3.0f);
        EXPECT_NE(std::count(first.begin(), first.end(), 0u), static_cast<long>(first.size()));
        draw(fonts[0], text, 1.0f, 1.0f);
        ASSERT_EQ(draw(fonts[0], text, 7.0f, -3.0f), first) << n;
        ASSERT_EQ(draw(fonts[1], text, 7.0f, -3.0f), first) << n;
    }
    gdip::GdipDeleteBrush(brush);
    for (gdip::GpFont* font : fonts) {
        gdip::GdipDeleteFont(font);
    }
    gdip::GdipDeleteFontFamily(family);
}

// Text in any colour over any pixels blends as Cairo's OVER through the text's coverage,
// taken from the same string drawn white on black.
TEST(StandInText, TextBlendsAsCairoThroughItsCoverage) {
    constexpr int kWidth = 70;
    constexpr int kHeight = 16;
    gdip::GpFontFamily* family = nullptr;
    ASSERT_EQ(gdip::GdipCreateFontFamilyFromName(u"Liberation Sans", nullptr, &family), gdip::Ok);
    gdip::GpFont* font = nullptr;
    ASSERT_EQ(gdip::GdipCreateFont(family, 9.0f, gdip::FontStyleBold, gdip::UnitPixel, &font),
              gdip::Ok);
    const auto drawOver = [&](host::PaintSurface& surface, std::uint32_t colour) {
        gdip::GpGraphics* graphics = nullptr;
        gdip::GpSolidFill* brush = nullptr;
        ASSERT_EQ(gdip::GdipCreateFromHDC(surface.dc(), &graphics), gdip::Ok);
        ASSERT_EQ(gdip::GdipCreateSolidFill(colour, &brush), gdip::Ok);
        const gdip::RectF at{-1.0f, 1.0f, 0.0f, 0.0f};
        EXPECT_EQ(gdip::GdipDrawString(graphics, u"-48 dB 10k", -1, font, &at, nullptr, brush),
                  gdip::Ok);
        gdip::GdipDeleteBrush(brush);
        gdip::GdipDeleteGraphics(graphics);
    };
    host::PaintSurface white{kWidth, kHeight};
    white.fill(0xff000000u);
    drawOver(white, 0xffffffffu);
    std::vector<unsigned char> coverage(static_cast<std::size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            coverage[static_cast<std::size_t>(y * kWidth + x)] = (white.pixel(x, y) >> 16) & 0xffu;
        }
    }
    ASSERT_GT(
        std::count_if(coverage.begin(), coverage.end(), [](int m) { return m > 0 && m < 255; }),
        10);

    // Premultiplied backgrounds: opaque, translucent and clear pixels.
    std::vector<std::uint32_t> background(coverage.size());
    for (std::size_t i = 0; i < background.size(); ++i) {
        const std::uint32_t alpha = i % 3 == 0 ? 255u : (i % 3 == 1 ? 200u : 0u);
        const std::uint32_t bits = static_cast<std::uint32_t>(i) * 2654435761u;
        std::uint32_t pixel = alpha << 24;
        for (int shift = 0; shift < 24; shift += 8) {
            pixel |= (((bits >> shift) & 0xffu) * alpha / 255u) << shift;
        }
        background[i] = pixel;
    }
    for (const std::uint32_t colour : {0xff00c800u, 0x80c0e0ffu, 0x3fff0000u, 0xc8123456u}) {
        host::PaintSurface drawn{kWidth, kHeight};
        std::copy(background.begin(), background.end(), drawn.pixelsToWrite());
        drawOver(drawn, colour);

        std::vector<std::uint32_t> expected = background;
        cairo_surface_t* target =
            cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(expected.data()),
                                                CAIRO_FORMAT_ARGB32, kWidth, kHeight, kWidth * 4);
        const int maskStride = cairo_format_stride_for_width(CAIRO_FORMAT_A8, kWidth);
        std::vector<unsigned char> maskBytes(static_cast<std::size_t>(maskStride) * kHeight);
        for (int y = 0; y < kHeight; ++y) {
            std::copy_n(&coverage[static_cast<std::size_t>(y * kWidth)], kWidth,
                        &maskBytes[static_cast<std::size_t>(y * maskStride)]);
        }
        cairo_surface_t* mask = cairo_image_surface_create_for_data(
            maskBytes.data(), CAIRO_FORMAT_A8, kWidth, kHeight, maskStride);
        cairo_t* cr = cairo_create(target);
        // The colour premultiplied to 8 bits first, round(C A / 255), as Cairo keeps it.
        const double alpha = colour >> 24;
        const auto channel = [&](int shift) {
            return std::round(((colour >> shift) & 0xffu) * alpha / 255.0) / alpha;
        };
        cairo_set_source_rgba(cr, channel(16), channel(8), channel(0), alpha / 255.0);
        cairo_mask_surface(cr, mask, 0, 0);
        cairo_destroy(cr);
        cairo_surface_destroy(mask);
        cairo_surface_destroy(target);
        EXPECT_EQ(drawn.pixels(), expected) << std::hex << colour;
    }
    gdip::GdipDeleteFont(font);
    gdip::GdipDeleteFontFamily(family);
}

} // namespace
} // namespace vex
