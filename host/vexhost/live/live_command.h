// `vexhost live`: the analyzer in a window, fed in real time from JACK, the default
// capture device, or files and built-in signals played at real-time pace.
#pragma once

#include "host/kit/view/display_session.h"
#include "host/vexhost/inputs/session.h"
#include "host/vexhost/live/live_options.h"
#include "host/vexhost/output/console.h"

namespace vex::host {

// Checks the options, reads the pointer and the ports from their texts, and runs the
// window until the user quits (or the screenshot is written). Throws HostError.
int runLive(const SessionOptions& session, const DisplayLook& look, const LiveOptions& options,
            Console& console);

} // namespace vex::host
