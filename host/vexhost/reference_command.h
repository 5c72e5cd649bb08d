// `vexhost reference`: a reference trace for the live window and the LV2 plug-in's UI
// made from any input without a window (the file format: host/kit/view/reference_trace.h).
#pragma once

#include "host/vexhost/inputs/session.h"
#include "host/vexhost/output/console.h"

#include <cstdint>
#include <string>

namespace vex::host {

struct ReferenceOptions {
    std::string view = "log";
    std::int32_t voice = 1; // 1-based, as the user counts inputs
    double at = 0.0;        // 0: the end of the session
    std::string output;
};

// Plays the inputs for `at` seconds and writes the last frame voice `voice` sent by then
// as a reference file. Throws HostError (no frame by then, a file that cannot be written).
int makeReference(const SessionOptions& options, const ReferenceOptions& referenceOptions,
                  Console& console);

} // namespace vex::host
