// `vexhost live`'s options: the texts as the command line fills them in, and what the
// command reads from them once checked (live_command.cpp), for the run (live_run.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
    bool spectrogram = false;   // the spectrogram instead of the spectrum at start
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
    // --difference: the difference over the spectrum views from the start (B against A, or
    // in a group the highlighted member against a reference member).
    bool difference = false;
    // --difference-against LABEL: in a group, the reference member by its label (implies
    // the difference).
    std::string differenceAgainst;
    // --scale N: the picture at N pixels per unit of its size (1..4; anything else is 1).
    double scale = 1.0;

    // Read by the command from `mouse` and `connect`: the pointer's start, when given, and
    // the ports in order (empty entries kept).
    bool pointerGiven = false;
    std::int32_t pointerX = 0;
    std::int32_t pointerY = 0;
    std::vector<std::string> connectPorts;
};

} // namespace vex::host
