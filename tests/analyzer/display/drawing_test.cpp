// GDI+ drawing as the display relies on it: which pixels each operation lights, how alpha
// blends, where text lands, and the wrappers' status on failure. The same expectations
// hold for our stand-in and for the system's gdiplus under wine.
#include "analyzer/display/drawing_resources.h"
#include "host/kit/view/paint_surface.h"
#include "host/vexhost/output/png_writer.h"
#include "tests/analyzer/display/pixel_helpers.h"
#include "tests/support/temp_paths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

namespace vex {
namespace {

using test::boxOf;
using test::boxPixels;
using test::changedPixels;
using test::PixelSet;

constexpr std::uint32_t kOpaqueWhite = 0xffffffffu;

// The pixels GDI+ lights for a 1-pixel line: one per step along the major axis, both ends
// included, at v = v0 + floor((2 dv (u - u0) + du) / (2 du)) with u0 < u1.
PixelSet referenceLine(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                       std::int32_t width, std::int32_t height) {
    PixelSet out;
    const std::int64_t adx = x1 > x0 ? x1 - x0 : x0 - x1;
    const std::int64_t ady = y1 > y0 ? y1 - y0 : y0 - y1;
    if (adx == 0 && ady == 0) {
        return out;
    }
    const bool xMajor = adx >= ady;
    std::int64_t u0 = xMajor ? x0 : y0, v0 = xMajor ? y0 : x0;
    std::int64_t u1 = xMajor ? x1 : y1, v1 = xMajor ? y1 : x1;
    if (u1 < u0) {
        std::swap(u0, u1);
        std::swap(v0, v1);
    }
    for (std::int64_t u = u0; u <= u1; ++u) {
        const std::int64_t num = 2 * (v1 - v0) * (u - u0) + (u1 - u0);
        const std::int64_t den = 2 * (u1 - u0);
        std::int64_t q = num / den;
        if (num % den != 0 && num < 0) {
            --q;
        }
        const std::int64_t x = xMajor ? u : v0 + q;
        const std::int64_t y = xMajor ? v0 + q : u;
        if (x >= 0 && y >= 0 && x < width && y < height) {
            out.insert({static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)});
        }
    }
    return out;
}

class DrawingTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host::startGdiplus()); }

    // `draw` on a fresh surface lights no pixel and is not a failure.
    template <typename Draw> static void expectNothingDrawn(Draw draw) {
        host::PaintSurface empty(20, 20);
        GraphicsWrapper g(empty.dc());
        draw(g);
        EXPECT_EQ(g.status, 0);
        EXPECT_TRUE(changedPixels(empty).empty());
    }
};

TEST_F(DrawingTest, ThinLinesLightBothEndsWithTiesToTheLargerCoordinate) {
    // A tie: (0,0)-(4,1) is half way between rows at x = 2 and moves down there.
    {
        host::PaintSurface surface(8, 4);
        GraphicsWrapper g(surface.dc());
        PenWrapper pen(kOpaqueWhite, 1.0f);
        g.drawLine(&pen, 0, 0, 4, 1);
        EXPECT_EQ(g.status, 0);
        EXPECT_EQ(changedPixels(surface), (PixelSet{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}}));
    }
    struct Line {
        std::int32_t x0, y0, x1, y1;
    };
    const Line lines[] = {
        {2, 3, 30, 3},  {5, 2, 5, 20},   {1, 1, 21, 21},  {3, 18, 33, 7},   {4, 2, 9, 27},
        {30, 25, 2, 4}, {0, 0, 39, 1},   {1, 0, 2, 29},   {10, 10, 17, 13}, {17, 13, 10, 10},
        {6, 20, 36, 5}, {20, 1, 14, 28}, {0, 14, 39, 15}, {7, 7, 8, 8},     {12, 5, 13, 5},
    };
    for (const Line& l : lines) {
        for (bool reversed : {false, true}) {
            host::PaintSurface surface(40, 30);
            GraphicsWrapper g(surface.dc());
            PenWrapper pen(kOpaqueWhite, 1.0f);
            if (reversed) {
                g.drawLine(&pen, l.x1, l.y1, l.x0, l.y0);
            } else {
                g.drawLine(&pen, l.x0, l.y0, l.x1, l.y1);
            }
            EXPECT_EQ(changedPixels(surface), referenceLine(l.x0, l.y0, l.x1, l.y1, 40, 30))
                << l.x0 << "," << l.y0 << " - " << l.x1 << "," << l.y1
                << (reversed ? " reversed" : "");
            EXPECT_EQ(surface.pixel(l.x0, l.y0), kOpaqueWhite);
            EXPECT_EQ(surface.pixel(l.x1, l.y1), kOpaqueWhite);
        }
    }
}

TEST_F(DrawingTest, ZeroLengthLinesDrawNothing) {
    PenWrapper pen(kOpaqueWhite, 1.0f);
    expectNothingDrawn([&](GraphicsWrapper& g) {
        g.drawLine(&pen, 4, 4, 4, 4);
        const gdip::GpPoint same[3] = {{3, 3}, {3, 3}, {3, 3}};
        g.drawLines(&pen, same, 3);
    });
}

TEST_F(DrawingTest, PolylinesBlendTheirUnionOnce) {
    // A retraced path with repeated points and shared vertices, drawn at half alpha over
    // an opaque background: every pixel it touches is blended exactly once.
    const std::uint32_t background = 0xff204060u;
    host::PaintSurface surface(40, 30);
    surface.fill(background);
    GraphicsWrapper g(surface.dc());
    PenWrapper pen(0x80ff0000u, 1.0f);
    const gdip::GpPoint path[] = {{2, 2},  {30, 9}, {30, 9}, {8, 25}, {2, 2},
                                  {30, 9}, {36, 2}, {36, 2}, {20, 28}};
    g.drawLines(&pen, path, 9);
    EXPECT_EQ(g.status, 0);

    PixelSet expected;
    for (std::size_t i = 1; i < 9; ++i) {
        const PixelSet segment =
            referenceLine(path[i - 1].X, path[i - 1].Y, path[i].X, path[i].Y, 40, 30);
        expected.insert(segment.begin(), segment.end());
    }
    EXPECT_EQ(changedPixels(surface, background), expected);
    // 0x80ff0000 over 0xff204060: round(C A / 255) + round(D (255 - A) / 255) per channel.
    EXPECT_EQ(test::pixelsOf(surface, 0xff902030u), expected);
}

TEST_F(DrawingTest, PolylinesNeedTwoPoints) {
    host::PaintSurface surface(10, 10);
    GraphicsWrapper g(surface.dc());
    PenWrapper pen(kOpaqueWhite, 1.0f);
    const gdip::GpPoint one[1] = {{2, 2}};
    g.drawLines(&pen, one, 1);
    EXPECT_EQ(g.status, gdip::InvalidParameter);
    g.status = 0;
    g.drawLines(&pen, one, 0);
    EXPECT_EQ(g.status, gdip::InvalidParameter);
    g.status = 0;
    g.drawLines(&pen, nullptr, 4);
    EXPECT_EQ(g.status, gdip::InvalidParameter);
    EXPECT_TRUE(changedPixels(surface).empty());
}

TEST_F(DrawingTest, PointsFarOutsideTheSurfaceAreClipped) {
    host::PaintSurface surface(40, 30);
    GraphicsWrapper g(surface.dc());
    PenWrapper pen(kOpaqueWhite, 1.0f);
    const gdip::GpPoint path[] = {{-1000, -700}, {1200, 900}, {20, -5000}, {-3000, 29}};
    g.drawLines(&pen, path, 4);
    PixelSet expected;
    for (std::size_t i = 1; i < 4; ++i) {
        const PixelSet segment =
            referenceLine(path[i - 1].X, path[i - 1].Y, path[i].X, path[i].Y, 40, 30);
        expected.insert(segment.begin(), segment.end());
    }
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(changedPixels(surface), expected);
    EXPECT_EQ(g.status, 0);
}

TEST_F(DrawingTest, RectangleOutlinesCoverTheirEdgesInclusive) {
    host::PaintSurface surface(40, 30);
    GraphicsWrapper g(surface.dc());
    PenWrapper pen(kOpaqueWhite, 1.0f);
    g.drawRectangle(&pen, 3, 4, 10, 6);
    PixelSet expected = boxPixels(3, 4, 13, 10);
    const PixelSet hole = boxPixels(4, 5, 12, 9);
    for (const auto& p : hole) {
        expected.erase(p);
    }
    EXPECT_EQ(changedPixels(surface), expected);

    // Empty rectangles draw nothing and are not failures.
    expectNothingDrawn([&](GraphicsWrapper& h) {
        h.drawRectangle(&pen, 3, 3, 0, 5);
        h.drawRectangle(&pen, 3, 3, 5, -1);
    });
}

TEST_F(DrawingTest, FivePixelOutlinesAreCentredOnTheEdgesWithSquareCorners) {
    host::PaintSurface surface(60, 50);
    GraphicsWrapper g(surface.dc());
    PenWrapper pen(0xff808080u, 5.0f);
    const std::int32_t x = 10, y = 8, w = 30, h = 25;
    g.drawRectangle(&pen, x, y, w, h);
    PixelSet expected = boxPixels(x - 2, y - 2, x + w + 2, y + h + 2);
    for (const auto& p : boxPixels(x + 3, y + 3, x + w - 3, y + h - 3)) {
        expected.erase(p);
    }
    EXPECT_EQ(changedPixels(surface), expected);
    EXPECT_EQ(test::pixelsOf(surface, 0xff808080u), expected);
}

TEST_F(DrawingTest, TheDisplayFrameFitsTheArea) {
    // The frame as the display draws it: a 5-pixel outline of x 0, y 0, W - 1, H - 1 and a
    // 1-pixel black one on top; the outer two rows and columns fall outside the area.
    const std::int32_t w = 50, h = 40;
    host::PaintSurface surface(w, h);
    GraphicsWrapper g(surface.dc());
    PenWrapper wide(0xff4c4c4cu, 5.0f);
    PenWrapper black(0xff000000u, 1.0f);
    g.drawRectangle(&wide, 0, 0, w - 1, h - 1);
    g.drawRectangle(&black, 0, 0, w - 1, h - 1);
    for (std::int32_t x = 0; x < w; ++x) {
        EXPECT_EQ(surface.pixel(x, 0), 0xff000000u);
        EXPECT_EQ(surface.pixel(x, 1), x == 0 || x == w - 1 ? 0xff000000u : 0xff4c4c4cu);
        EXPECT_EQ(surface.pixel(x, 2), x == 0 || x == w - 1 ? 0xff000000u : 0xff4c4c4cu);
        EXPECT_EQ(surface.pixel(x, h - 1), 0xff000000u);
        EXPECT_EQ(surface.pixel(x, h - 3), x == 0 || x == w - 1 ? 0xff000000u : 0xff4c4c4cu);
    }
    EXPECT_EQ(surface.pixel(3, 3), 0u);
    EXPECT_EQ(surface.pixel(w - 4, h - 4), 0u);
    EXPECT_EQ(surface.pixel(3, 20), 0u);
}

TEST_F(DrawingTest, FillsCoverWidthByHeightPixels) {
    host::PaintSurface surface(30, 20);
    GraphicsWrapper g(surface.dc());
    BrushWrapper brush(0xff10a0f0u);
    EXPECT_EQ(brush.status, 0);
    g.fillRectangle(&brush, 4, 5, 7, 3);
    EXPECT_EQ(changedPixels(surface), boxPixels(4, 5, 10, 7));
    EXPECT_EQ(surface.pixel(4, 5), 0xff10a0f0u);
    // Off the surface on every side: clipped.
    g.fillRectangle(&brush, -100, -100, 1000, 102);
    EXPECT_EQ(test::pixelsOf(surface, 0xff10a0f0u).size(), 21u + 30u * 2u);
    // Empty fills draw nothing and are not failures.
    expectNothingDrawn([&](GraphicsWrapper& h) {
        h.fillRectangle(&brush, 2, 2, 0, 4);
        h.fillRectangle(&brush, 2, 2, 4, -4);
    });
}

TEST_F(DrawingTest, AlphaBlendsOverWhatIsThere) {
    host::PaintSurface surface(20, 10);
    surface.fill(0xff204060u);
    GraphicsWrapper g(surface.dc());
    BrushWrapper brush(0x80ff0000u);
    g.fillRectangle(&brush, 0, 0, 10, 10);
    EXPECT_EQ(surface.pixel(5, 5), 0xff902030u);
    EXPECT_EQ(surface.pixel(15, 5), 0xff204060u);

    // Onto an empty surface the alpha is real: premultiplied colour, alpha kept.
    host::PaintSurface clear(20, 10);
    GraphicsWrapper h(clear.dc());
    h.fillRectangle(&brush, 0, 0, 10, 10);
    EXPECT_EQ(clear.pixel(3, 3), 0x80800000u);
    EXPECT_EQ(clear.pixel(13, 3), 0u);
    BrushWrapper other(0x40336699u);
    h.fillRectangle(&other, 0, 0, 20, 5);
    // 0x40336699 over 0x80800000 and over nothing.
    EXPECT_EQ(clear.pixel(3, 3), 0xa06d1a26u);
    EXPECT_EQ(clear.pixel(13, 3), 0x400d1a26u);
}

TEST_F(DrawingTest, ShadingLightensAndDarkensTheColourComponents) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        bool lighter;
        std::uint32_t from;
        float amount;
        std::uint32_t to;
    } cases[] = {
        {true, 0xff008000u, 1.0f, 0xff7fbf7fu},
        {false, 0xff008000u, 1.0f, 0xff004000u},
        {false, 0xff646464u, 0.3f, 0xff4c4c4cu},
        {true, 0x80123456u, 0.0f, 0x80123456u},
        {false, 0x80123456u, 0.0f, 0x80123456u},
        // Large amounts approach white and black; alpha stays.
        {true, 0x7f102030u, 1e9f, 0x7fffffffu},
        {false, 0x7f102030u, 1e9f, 0x7f000000u},
        // Amounts that would make the factor meaningless shade nothing.
        {true, 0xff8090a0u, nan, 0xff8090a0u},
        {false, 0xff8090a0u, -1.0f, 0xff8090a0u},
    };
    for (const auto& c : cases) {
        std::uint32_t colour = c.from;
        if (c.lighter) {
            lighten(colour, c.amount);
        } else {
            darken(colour, c.amount);
        }
        EXPECT_EQ(colour, c.to) << std::hex << c.from << (c.lighter ? " lighter " : " darker ")
                                << c.amount;
    }
}

// Ink of one string drawn at (x, y) in `font`, on a fresh surface.
test::InkBox inkOf(const FontWrapper& font, const MpChar* text, float x, float y,
                   std::int32_t* status = nullptr) {
    host::PaintSurface surface(80, 40);
    GraphicsWrapper g(surface.dc());
    BrushWrapper brush(0xff00c800u);
    g.drawText(text, -1, &font, x, y, &brush);
    if (status != nullptr) {
        *status = g.status;
    }
    return boxOf(changedPixels(surface));
}

TEST_F(DrawingTest, TextPutsItsTopLeftCornerAtThePoint) {
    FontWrapper font(MP_TEXT("Arial"), 9.0f, gdip::FontStyleBold, gdip::UnitPixel);
    ASSERT_NE(font.handle, nullptr);
    EXPECT_EQ(font.status, 0);
    std::int32_t status = -1;
    // Digits fill rows y + 1 .. y + 7 and start in column x + 2.
    const test::InkBox digits = inkOf(font, MP_TEXT("40"), 10.0f, 5.0f, &status);
    EXPECT_EQ(status, 0);
    EXPECT_NEAR(digits.left, 12, 1);
    EXPECT_NEAR(digits.top, 6, 1);
    EXPECT_NEAR(digits.bottom, 12, 1);
    EXPECT_NEAR(digits.width(), 9, 1);
    // "-20": the minus lies on row y + 5; advances of 3 + 5 + 5 pixels.
    const test::InkBox minus = inkOf(font, MP_TEXT("-"), 10.0f, 5.0f);
    EXPECT_NEAR(minus.top, 10, 1);
    EXPECT_LE(minus.height(), 2);
    const test::InkBox label = inkOf(font, MP_TEXT("-20"), 10.0f, 5.0f);
    EXPECT_NEAR(label.left, 12, 1);
    EXPECT_NEAR(label.right - label.left, 12, 1);
    EXPECT_NEAR(label.top, 6, 1);
    // A leading blank keeps its advance.
    const test::InkBox padded = inkOf(font, MP_TEXT(" 0"), 10.0f, 5.0f);
    EXPECT_NEAR(padded.left, 15, 1);
    // Fractional points land on the nearest row and column.
    const test::InkBox moved = inkOf(font, MP_TEXT("40"), 20.4f, 15.4f);
    EXPECT_EQ(moved.left - digits.left, 10);
    EXPECT_EQ(moved.top - digits.top, 10);
}

TEST_F(DrawingTest, FontHeightIsTheLineSpacing) {
    host::PaintSurface surface(10, 10);
    GraphicsWrapper g(surface.dc());
    FontWrapper font(MP_TEXT("Arial"), 9.0f, gdip::FontStyleBold, gdip::UnitPixel);
    EXPECT_NEAR(g.fontHeight(&font), 10.349121f, 1e-4f);
    FontWrapper points(MP_TEXT("Arial"), 9.0f, gdip::FontStyleBold, gdip::UnitPoint);
    EXPECT_NEAR(g.fontHeight(&points), 13.798828f, 1e-4f);
    EXPECT_EQ(g.status, 0);
}

TEST_F(DrawingTest, AMissingFamilyFallsBackToTheGenericSansSerif) {
    gdip::GpFontFamily* family = nullptr;
    EXPECT_EQ(
        gdip::GdipCreateFontFamilyFromName(MP_TEXT("No Such Family Anywhere"), nullptr, &family),
        gdip::FontFamilyNotFound);
    EXPECT_EQ(family, nullptr);
    ASSERT_NE(genericSansSerif().family, nullptr);
    EXPECT_EQ(genericSansSerif().status, 0);

    FontWrapper font(MP_TEXT("No Such Family Anywhere"), 9.0f, gdip::FontStyleBold,
                     gdip::UnitPixel);
    ASSERT_NE(font.handle, nullptr);
    EXPECT_EQ(font.status, 0);
    FontWrapper arial(MP_TEXT("Arial"), 9.0f, gdip::FontStyleBold, gdip::UnitPixel);
    const test::InkBox fallback = inkOf(font, MP_TEXT("-20"), 10.0f, 5.0f);
    const test::InkBox reference = inkOf(arial, MP_TEXT("-20"), 10.0f, 5.0f);
    EXPECT_NEAR(fallback.left, reference.left, 2);
    EXPECT_NEAR(fallback.top, reference.top, 2);
    EXPECT_NEAR(fallback.width(), reference.width(), 3);
    EXPECT_NEAR(fallback.height(), reference.height(), 2);
}

TEST_F(DrawingTest, NullResourcesDrawNothingAndLeaveAStatus) {
    host::PaintSurface surface(40, 20);
    GraphicsWrapper g(surface.dc());
    FontWrapper font(MP_TEXT("Arial"), 9.0f, gdip::FontStyleBold, gdip::UnitPixel);
    BrushWrapper brush(0xffffffffu);
    g.drawText(MP_TEXT("12"), -1, nullptr, 2.0f, 2.0f, &brush);
    EXPECT_EQ(g.status, gdip::InvalidParameter);
    g.status = 0;
    g.drawText(MP_TEXT("12"), -1, &font, 2.0f, 2.0f, nullptr);
    EXPECT_EQ(g.status, gdip::InvalidParameter);
    g.status = 0;
    g.drawLine(nullptr, 0, 0, 10, 10);
    g.fillRectangle(nullptr, 0, 0, 10, 10);
    EXPECT_EQ(g.status, gdip::InvalidParameter);
    EXPECT_EQ(g.fontHeight(nullptr), 0.0f);
    EXPECT_TRUE(changedPixels(surface).empty());

    // A font that cannot be made by any family: null handle, non-zero status, and text
    // drawn with it fails the same way.
    FontWrapper impossible(MP_TEXT("Arial"), -3.0f, gdip::FontStyleBold, gdip::UnitPixel);
    EXPECT_EQ(impossible.handle, nullptr);
    EXPECT_EQ(impossible.status, gdip::InvalidParameter);
    g.status = 0;
    g.drawText(MP_TEXT("12"), -1, &impossible, 2.0f, 2.0f, &brush);
    EXPECT_EQ(g.status, gdip::InvalidParameter);
    EXPECT_TRUE(changedPixels(surface).empty());

    // A later success does not clear the status.
    g.drawText(MP_TEXT("12"), -1, &font, 2.0f, 2.0f, &brush);
    EXPECT_EQ(g.status, gdip::InvalidParameter);
    EXPECT_FALSE(changedPixels(surface).empty());
}

TEST_F(DrawingTest, AGraphicsContextWithoutADeviceContextFailsEveryCall) {
    GraphicsWrapper g(nullptr);
    EXPECT_EQ(g.handle, nullptr);
    EXPECT_EQ(g.status, gdip::OutOfMemory);
    PenWrapper pen(kOpaqueWhite, 1.0f);
    g.status = 0;
    g.drawRectangle(&pen, 0, 0, 4, 4);
    EXPECT_EQ(g.status, gdip::InvalidParameter);
}

TEST_F(DrawingTest, PensAndBrushesRecolourAndClone) {
    host::PaintSurface surface(20, 10);
    GraphicsWrapper g(surface.dc());
    PenWrapper pen(0xff0000ffu, 1.0f);
    EXPECT_EQ(pen.status, 0);
    pen.setColour(0xff00ff00u);
    g.drawLine(&pen, 0, 0, 19, 0);
    EXPECT_EQ(surface.pixel(10, 0), 0xff00ff00u);

    auto* brush = new BrushWrapper(0xffff0000u);
    EXPECT_EQ(brush->status, 0);
    BrushWrapper* copy = brush->clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->handle, brush->handle);
    brush->setColour(0xff0000ffu); // the copy keeps its own colour
    g.fillRectangle(copy, 0, 2, 5, 2);
    g.fillRectangle(brush, 5, 2, 5, 2);
    EXPECT_EQ(surface.pixel(1, 3), 0xffff0000u);
    EXPECT_EQ(surface.pixel(6, 3), 0xff0000ffu);
    delete copy;
    delete brush;
    EXPECT_EQ(g.status, 0);

    // A wrapper without a handle: recolouring and cloning fail and say so.
    BrushWrapper broken(0xffffffffu);
    gdip::GdipDeleteBrush(broken.handle);
    broken.handle = nullptr;
    broken.status = 0;
    broken.setColour(0xff000000u);
    EXPECT_EQ(broken.status, gdip::InvalidParameter);
    broken.status = 0;
    BrushWrapper* none = broken.clone();
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(broken.status, gdip::InvalidParameter);
    EXPECT_EQ(none->handle, nullptr);
    EXPECT_EQ(none->status, gdip::InvalidParameter);
    delete none;
}

TEST_F(DrawingTest, SurfacesWriteAndReadPng) {
    host::PaintSurface surface(12, 7);
    GraphicsWrapper g(surface.dc());
    BrushWrapper opaque(0xff336699u);
    BrushWrapper half(0x80ff0000u);
    g.fillRectangle(&opaque, 0, 0, 6, 7);
    g.fillRectangle(&half, 6, 0, 6, 3);
    const test::TempPath path("vex-paint-surface", ".png");
    {
        const std::vector<std::uint8_t> png = host::encodePng(surface.pixels(), 12, 7);
        std::ofstream file(path.path, std::ios::binary);
        file.write(reinterpret_cast<const char*>(png.data()),
                   static_cast<std::streamsize>(png.size()));
        ASSERT_TRUE(file.good());
    }
    std::int32_t w = 0, h = 0;
    std::vector<std::uint32_t> pixels;
    ASSERT_TRUE(host::readPng(path.u8string(), w, h, pixels));
    ASSERT_EQ(w, 12);
    ASSERT_EQ(h, 7);
    EXPECT_EQ(pixels[0], 0xff336699u);
    EXPECT_EQ(pixels[5 * 12 + 5], 0xff336699u);
    // Half alpha travels as straight colour: each premultiplied channel back within 1.
    for (const int shift : {24, 16, 8, 0}) {
        EXPECT_NEAR((pixels[1 * 12 + 8] >> shift) & 0xFF, (surface.pixel(8, 1) >> shift) & 0xFF, 1)
            << shift;
    }
    EXPECT_EQ(pixels[5 * 12 + 9], 0u);
}

} // namespace
} // namespace vex
