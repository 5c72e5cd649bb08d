// Power spectra of real signals of one size, everything they need made up front: a host
// analysing long windows (up to 2^20 points) makes a plan once and then transforms on any
// thread without allocating or locking.
#pragma once

#include <cstdint>
#include <vector>

namespace vex {

class PowerSpectrumPlan {
public:
    static constexpr std::int32_t kMinSize = 4;
    static constexpr std::int32_t kMaxSize = std::int32_t{1} << 20;

    // n a power of two in kMinSize..kMaxSize; any other n gives a plan that writes nothing.
    // Allocates.
    explicit PowerSpectrumPlan(std::int32_t n);

    std::int32_t size() const { return n; }
    bool usable() const { return n != 0; }

    // out[k] = |X[k]|^2 for k = 0..n/2 (n/2 + 1 values: DC and Nyquist each their own),
    // X the unscaled transform of in[0..n-1]. out must not overlap in. A plan is used by one
    // thread at a time (it keeps its scratch).
    void powerSpectrum(const float* in, float* out);

private:
    std::int32_t n = 0;
    std::vector<float> re;
    std::vector<float> im;
};

} // namespace vex
