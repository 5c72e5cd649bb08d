#include "host/kit/view/text_lines.h"

#include "host/kit/utf8.h"

namespace vex::host {

namespace {

constexpr float kFontPixels = 12.0f;

} // namespace

void drawTextLines(gdip::GpGraphics* graphics, const std::vector<std::string>& lines, float x,
                   float y, std::int32_t lineHeight, bool bold, std::uint32_t ink) {
    gdip::GpFontFamily* family = nullptr;
    gdip::GpFont* font = nullptr;
    gdip::GpSolidFill* brush = nullptr;
    gdip::GdipGetGenericFontFamilySansSerif(&family);
    gdip::GdipCreateFont(family, kFontPixels, bold ? gdip::FontStyleBold : gdip::FontStyleRegular,
                         gdip::UnitPixel, &font);
    gdip::GdipCreateSolidFill(ink, &brush);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::u16string text = utf8::toUtf16(lines[i]);
        const std::basic_string<WCHAR> wide(text.begin(), text.end());
        const gdip::RectF at{x, y + static_cast<float>(lineHeight * static_cast<int>(i)), 0.0f,
                             0.0f};
        gdip::GdipDrawString(graphics, wide.c_str(), -1, font, &at, nullptr, brush);
    }
    gdip::GdipDeleteBrush(brush);
    gdip::GdipDeleteFont(font);
    gdip::GdipDeleteFontFamily(family);
}

std::size_t drawnLength(const std::string& text) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); ++count) {
        std::size_t length = 0;
        utf8::decode(text, at, length);
        at += length;
    }
    return count;
}

} // namespace vex::host
