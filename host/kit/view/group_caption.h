// The caption a viewer draws over the display's picture (a group's: who is highlighted,
// how many members there are, the note on members left out). Bottom left, inside the plot.
#pragma once

#include "host/kit/view/paint_surface.h"

#include <string>
#include <vector>

namespace vex::host::group {

// Draws `lines` (UTF-8) on a dark box in the picture's lower left corner; nothing when
// there are none. The viewer's thread.
void drawCaption(const PaintSurface& surface, const std::vector<std::string>& lines);

} // namespace vex::host::group
