// The caption a viewer draws over the display's picture (a group's: who is highlighted,
// how many members there are, members of another analysis, the note on members left out).
// Bottom left, inside the plot.
#pragma once

#include "host/kit/group/group_reader.h"
#include "host/kit/view/paint_surface.h"

#include <string>
#include <vector>

namespace vex::host::group {

// Draws `lines` (UTF-8) on a dark box in the picture's lower left corner; nothing when
// there are none. The viewer's thread.
void drawCaption(const PaintSurface& surface, const std::vector<std::string>& lines);

// The present members of `reader` whose analysis is not member `highlighted`'s, each named
// with its analysis after it ("Kick (module)"), in slot order and joined by ", "; empty
// when every member shares it or `highlighted` is not a present member.
std::string otherAnalyses(const GroupReader& reader, std::int32_t highlighted);

} // namespace vex::host::group
