// The samples a voice of the voice engine plays: signal A and signal B, block by block.
#pragma once

#include <cstdint>

namespace vex::host {

// The samples of one voice, read block by block in order.
class InputSource {
public:
    virtual ~InputSource() = default;
    // The file's sample rate; 0 for a built-in signal, which runs at the session's rate.
    virtual double nativeRate() const = 0;
    // Sample frames available, or -1 for a signal without end.
    virtual std::int64_t length() const = 0;
    // Whether signal A / signal B stream (change from sample to sample) while the input
    // lasts. A silent built-in does not; a file's second signal exists only in stereo.
    virtual bool streamsA() const = 0;
    virtual bool streamsB() const = 0;
    // Writes the next `frames` samples of each signal; zeros past the end and for a
    // signal the input does not have. Throws HostError when a file cannot be read.
    virtual void read(float* a, float* b, int frames) = 0;
};

} // namespace vex::host
