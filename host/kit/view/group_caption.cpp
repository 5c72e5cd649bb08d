#include "host/kit/view/group_caption.h"

#include "host/kit/view/text_lines.h"
#include "platform/gdiplus.h"

#include <algorithm>

namespace vex::host::group {

namespace {

constexpr std::uint32_t kBack = 0xC0000000u;
constexpr std::uint32_t kInk = 0xFFFFFFFFu;
constexpr std::int32_t kLineHeight = 15;
constexpr std::int32_t kCharWidth = 7;
constexpr std::int32_t kMargin = 28; // clear of the plot's left labels and bottom edge

} // namespace

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
        longest = std::max(longest, drawnLength(line));
    }
    const auto count = static_cast<std::int32_t>(lines.size());
    const std::int32_t width = static_cast<std::int32_t>(longest) * kCharWidth + 10;
    const std::int32_t height = count * kLineHeight + 4;
    const std::int32_t x = kMargin;
    const std::int32_t y = std::max(0, surface.logicalHeight() - kMargin - height);
    gdip::GpSolidFill* back = nullptr;
    gdip::GdipCreateSolidFill(kBack, &back);
    gdip::GdipFillRectangleI(graphics, back, x, y, width, height);
    gdip::GdipDeleteBrush(back);
    drawTextLines(graphics, lines, static_cast<float>(x + 5), static_cast<float>(y + 2),
                  kLineHeight, false, kInk);
    gdip::GdipDeleteGraphics(graphics);
}

} // namespace vex::host::group
