// Peak hold of the spectrum views: per point (band or bin) and signal, the highest level
// seen, falling at a fixed rate in dB per second of audio. The clock is the session time of
// the frames, so what is held does not depend on how fast the window draws.
#pragma once

#include <cstdint>
#include <vector>

namespace vex::host {

class PeakHold {
public:
    // How fast a held level falls once nothing higher arrives.
    static constexpr double kFallDbPerSecond = 10.0;

    // Holds the points of spectrum frames of `frameSize` bytes (either spectrum view);
    // other sizes hold nothing.
    explicit PeakHold(std::int32_t frameSize = 0);

    // Starts over for frames of `frameSize` bytes.
    void reset(std::int32_t frameSize);
    // Takes one frame sent at `seconds` of session time. Frames of another size and
    // signals whose presence byte is 0 are ignored.
    void add(const std::uint8_t* frame, std::int32_t size, double seconds);

    // Points held (0 when the size is not a spectrum's).
    std::int32_t points() const { return pointCount; }
    // Whether signal `signal` (0 A, 1 B) has been seen since the last reset.
    bool holds(std::int32_t signal) const;
    // The held level of point `k` of `signal` at `seconds`, in dB.
    double level(std::int32_t signal, std::int32_t k, double seconds) const;

private:
    struct Held {
        float level = 0.0f;
        double since = 0.0;
    };
    double fallen(const Held& held, double seconds) const;

    std::int32_t expectedSize = 0;
    std::int32_t pointCount = 0;
    bool seen[2] = {false, false};
    std::vector<Held> held; // signal A's points, then signal B's
};

} // namespace vex::host
