// `vexhost live`: the analyzer in a window, fed in real time from JACK, the default
// capture device, or files and built-in signals played at real-time pace.
#pragma once

#include "host/kit/view/display_session.h"
#include "host/vexhost/inputs/session.h"
#include "host/vexhost/output/console.h"

#include <cstdint>
#include <string>

namespace vex::host {

struct LiveOptions {
    std::int32_t jackVoices = 0; // --jack N: N voices with ports from a JACK graph
    bool capture = false;        // the default capture device
    bool play = false;           // play files and signals on the default output
    std::int32_t mode = 2;       // 0 scope, 1 linear, 2 log
    std::string screenshot;      // PNG written after `after` seconds of audio, then quit
    double after = 1.0;
    std::string mouse;          // "X,Y": a pointer motion sent to the window at start
    bool peakHold = true;       // peak hold lines at start
    bool stats = false;         // latency and load figures on quitting
    double duration = 0.0;      // quit after this many seconds of audio (0: never)
    std::string tilt = "0";     // dB per octave: 0, 3 or 4.5
    std::string smooth = "off"; // off, fast or slow
    std::string reference;      // a reference file drawn from the start
    std::string saveReference;  // where the reference kept on quitting is written
    // --connect: JACK output ports for the inputs a, b of voice 1, then voice 2, ...,
    // comma-separated; an empty entry skips an input.
    std::string connect;
    // --group N: show group N's members (1..16); with a source its voices also join.
    std::int32_t group = 0;
};

// Runs the window until the user quits (or the screenshot is written). Throws HostError.
int runLive(const SessionOptions& session, const DisplayLook& look, const LiveOptions& options,
            Console& console);

} // namespace vex::host
