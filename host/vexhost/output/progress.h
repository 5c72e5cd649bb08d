// A progress bar on the error stream, for work longer than a moment. It shows only when
// enabled (the stream is a terminal and the user did not ask for quiet), appears after
// half a second, and clears its line when done.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace vex::host {

class Progress {
public:
    using Clock = std::chrono::steady_clock;
    // Answers the current time; called by the constructor and by update, on their thread.
    using Now = std::function<Clock::time_point()>;

    // The delay and the redraw interval count on `now`: the steady clock unless a test
    // hands a clock of its own (an empty one also means the steady clock).
    Progress(std::ostream& stream, bool enabled, std::string label, Now now = &Clock::now);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // `fraction` of the work is done (0..1).
    void update(double fraction);
    // Clears the bar's line, if one was drawn.
    void finish();

private:
    std::ostream& out;
    bool enabled;
    std::string label;
    Now now;
    Clock::time_point started;
    Clock::time_point lastDrawn;
    int lastPercent = -1;
    bool drawn = false;
};

// The closing line of a run that made `frames` frames from `audioSeconds` of audio in
// `elapsedSeconds` of wall-clock time, with the speed against real time, e.g.
// "animate: 2400 frames, 60.0 s of audio in 4.12 s, 14.6x real time". The speed is left
// out when no time could be measured.
std::string speedSummary(const std::string& label, std::int64_t frames, double audioSeconds,
                         double elapsedSeconds);

} // namespace vex::host
