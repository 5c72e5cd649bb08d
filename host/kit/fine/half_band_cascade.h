// A cascade of half-band low-pass filters, each halving the rate (65 taps, a Kaiser window:
// flat within 0.001 dB up to 0.2 of the rate it takes, 100 dB down from 0.3), keeping the
// newest values at every depth: the rate halved that many times. Fed in order, block by
// block; feeding allocates nothing.
#pragma once

#include <cstdint>
#include <vector>

namespace vex::host {

class HalfBandCascade {
public:
    // Taps either side of the centre, and in all: a stage delays by kHalfTaps inputs.
    static constexpr std::int32_t kHalfTaps = 32;
    static constexpr std::int32_t kTaps = 2 * kHalfTaps + 1;

    // `halvings` filters; kept[d] of the newest values at depth d (0: the input itself) are
    // kept for newest() (none where kept has no entry). Allocates.
    HalfBandCascade(std::int32_t halvings, const std::vector<std::int32_t>& kept);

    // Forgets everything fed (all zeros).
    void reset();
    // The next `count` input values; values that are not finite count as 0.
    void feed(const float* samples, std::int32_t count);
    // The newest `count` (at most as many as kept) values at `depth`, oldest first, into out.
    void newest(std::int32_t depth, std::int32_t count, float* out) const;

private:
    // A stage: its last inputs, then the block it filters, in one piece.
    struct Stage {
        std::vector<float> line;
        bool odd = false; // whether the next input completes a pair
    };
    struct Ring {
        std::vector<float> values; // each value twice, half the vector apart
        std::int64_t written = 0;
    };
    // Appends count values at `depth` to its ring.
    void append(std::int32_t depth, const float* values, std::int32_t count);
    // Filters count inputs of stage `depth` into out; answers how many it wrote.
    std::int32_t decimate(std::int32_t depth, const float* in, std::int32_t count, float* out);

    std::vector<Stage> stages;
    std::vector<Ring> rings;      // by depth
    std::vector<float> blocks[2]; // a block's values at one depth and the next
    std::vector<float> scratchOdd;
};

} // namespace vex::host
