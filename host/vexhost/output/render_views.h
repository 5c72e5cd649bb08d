// Pictures of the display: one view at a moment, a side-by-side sheet of several views,
// and a numbered image sequence at the module's frame rate.
#pragma once

#include "host/kit/view/display_session.h"
#include "host/vexhost/inputs/session.h"
#include "host/vexhost/output/output_files.h"
#include "host/vexhost/output/progress.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vex::host {

// Premultiplied 0xAARRGGBB pixels, rows top to bottom.
struct Picture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;
};

// Runs the inputs through analysis `mode` for `atSeconds` and paints the display as it
// stands then. Sweeps span `sessionSeconds`. Throws HostError.
Picture renderView(Session& session, std::int32_t mode, const DisplayLook& look, double atSeconds,
                   double sessionSeconds, Progress& progress);

// The pictures side by side on a `background` sheet with a `gap` around each.
Picture composeSheet(const std::vector<Picture>& views, std::uint32_t background, std::int32_t gap);

// Paints analysis `mode` at every tick of the module's frame rate over `seconds` and writes
// each picture into `batch` as frame-00001.png, frame-00002.png, ... Answers the frame rate.
std::int32_t animateView(Session& session, std::int32_t mode, const DisplayLook& look,
                         double seconds, OutputBatch& batch, Progress& progress);

} // namespace vex::host
