#include "host/kit/view/group_caption.h"

#include "platform/gdiplus.h"

#include <algorithm>

namespace vex::host::group {

namespace {

constexpr std::uint32_t kBack = 0xC0000000u;
constexpr std::uint32_t kInk = 0xFFFFFFFFu;
constexpr float kFontPixels = 12.0f;
constexpr std::int32_t kLineHeight = 15;
constexpr std::int32_t kMargin = 28; // clear of the plot's left labels and bottom edge

} // namespace

std::u16string utf16(const std::string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::uint32_t code = '?';
        std::size_t length = 1;
        if (c < 0x80) {
            code = c;
        } else if ((c & 0xE0) == 0xC0 && i + 1 < text.size()) {
            code = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
            length = 2;
        } else if ((c & 0xF0) == 0xE0 && i + 2 < text.size()) {
            code = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
                   (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
            length = 3;
        }
        out.push_back(code < 0x10000 ? static_cast<char16_t>(code) : u'?');
        i += length;
    }
    return out;
}

void drawCaption(const PaintSurface& surface, const std::vector<std::string>& lines) {
    if (lines.empty() || surface.dc() == nullptr) {
        return;
    }
    gdip::GpGraphics* graphics = nullptr;
    gdip::GdipCreateFromHDC(surface.dc(), &graphics);
    if (graphics == nullptr) {
        return;
    }
    std::size_t longest = 0;
    for (const std::string& line : lines) {
        longest = std::max(longest, utf16(line).size());
    }
    const auto count = static_cast<std::int32_t>(lines.size());
    const std::int32_t width = static_cast<std::int32_t>(longest) * 7 + 10;
    const std::int32_t height = count * kLineHeight + 4;
    const std::int32_t x = kMargin;
    const std::int32_t y = std::max(0, surface.height() - kMargin - height);
    gdip::GpSolidFill* back = nullptr;
    gdip::GpSolidFill* ink = nullptr;
    gdip::GdipCreateSolidFill(kBack, &back);
    gdip::GdipCreateSolidFill(kInk, &ink);
    gdip::GdipFillRectangleI(graphics, back, x, y, width, height);
    gdip::GpFontFamily* family = nullptr;
    gdip::GpFont* font = nullptr;
    gdip::GdipGetGenericFontFamilySansSerif(&family);
    gdip::GdipCreateFont(family, kFontPixels, gdip::FontStyleRegular, gdip::UnitPixel, &font);
    for (std::int32_t i = 0; i < count; ++i) {
        const std::u16string text = utf16(lines[static_cast<std::size_t>(i)]);
        const std::basic_string<WCHAR> wide(text.begin(), text.end());
        const gdip::RectF at{static_cast<float>(x + 5), static_cast<float>(y + 2 + i * kLineHeight),
                             0.0f, 0.0f};
        gdip::GdipDrawString(graphics, wide.c_str(), -1, font, &at, nullptr, ink);
    }
    gdip::GdipDeleteFont(font);
    gdip::GdipDeleteFontFamily(family);
    gdip::GdipDeleteBrush(ink);
    gdip::GdipDeleteBrush(back);
    gdip::GdipDeleteGraphics(graphics);
}

} // namespace vex::host::group
