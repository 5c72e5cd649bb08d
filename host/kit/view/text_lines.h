// Text as the viewer draws it over the display's picture (the tools' boxes, a group's
// caption): lines of UTF-8 in the sans-serif font of 12 pixels, one routine for both.
#pragma once

#include "platform/gdiplus.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vex::host {

// Draws `lines` with `graphics`, the first line's box at (x, y) and each next one
// `lineHeight` pixels lower, bold or regular, in `ink` (0xAARRGGBB).
void drawTextLines(gdip::GpGraphics* graphics, const std::vector<std::string>& lines, float x,
                   float y, std::int32_t lineHeight, bool bold, std::uint32_t ink);

// The characters of `text` as drawn (an invalid byte is one, drawn as U+FFFD).
std::size_t drawnLength(const std::string& text);

} // namespace vex::host
