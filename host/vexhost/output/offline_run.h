// Running the voices of an offline command (render, frames, animate) as fast as they go,
// with a progress bar for long runs.
#pragma once

#include "host/kit/voice_engine.h"
#include "host/vexhost/output/progress.h"

#include <cstdint>

namespace vex::host {

// Runs `engine` to `endSample`, reporting progress. Progress steps fall on block
// boundaries, so the blocks the module sees do not depend on the reporting.
void runWithProgress(VoiceEngine& engine, std::int64_t endSample, Progress& progress);

} // namespace vex::host
