// The figures `vexhost live --stats` prints on quitting: CPU time, presents, frames, drops
// and the latency from a frame's push on the audio thread to the present that shows it.
// Window thread only.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace vex::host {

// Steady-clock time in nanoseconds, the clock frames are stamped with when pushed.
std::int64_t steadyNanos();

class LiveStats {
public:
    LiveStats();
    // The audio starts / has stopped: the CPU time between them is the figure.
    void started() { cpuStart = std::clock(); }
    void stopped();
    // A frame pushed at `pushedNanos` was taken into the view; it waits for a present.
    void taken(std::int64_t pushedNanos) { waiting.push_back(pushedNanos); }
    // The window was presented at `audioPosition` (sample frames of `sampleRate`): the
    // frames taken since the last present have been shown.
    void presented(std::int64_t audioPosition, double sampleRate);

    // One line: "stats: ..." with the seconds of audio, the frames the queue `dropped`
    // and the display's `frameIntervalMs`.
    std::string line(double audioSeconds, std::int64_t dropped, double frameIntervalMs) const;

private:
    std::vector<double> latencies; // milliseconds from a frame's push to its present
    std::vector<std::int64_t> waiting;
    std::int64_t presents = 0;
    std::clock_t cpuStart = 0;
    double cpuSeconds = 0.0;
};

} // namespace vex::host
