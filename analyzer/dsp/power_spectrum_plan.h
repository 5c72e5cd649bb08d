// Power spectra of real signals of one size, everything they need made up front: a host
// analysing long windows (up to 2^20 points) makes a plan once and then transforms on any
// thread without allocating or locking.
//
// Unlike the engine's free functions (fft_engine.h), a plan does not reproduce the plain
// loops' bits: from 128 points on it computes in single-precision lanes (four, or eight
// where the processor has AVX) with rotation factors rounded once from the runtime's double
// sine and cosine. Its contract is accuracy instead (see powerSpectrum). Both lane widths do
// the same operations per lane, so one build gives the same bits on every processor; builds
// whose runtimes round sine or cosine differently may differ in the last bits.
#pragma once

#include <cstdint>
#include <vector>

namespace vex {

class PowerSpectrumPlan {
public:
    static constexpr std::int32_t kMinSize = 4;
    static constexpr std::int32_t kMaxSize = std::int32_t{1} << 20;

    // n a power of two in kMinSize..kMaxSize; any other n gives a plan that writes nothing.
    // Allocates (for 2^20 points about 10 MB: scratch and rotation factors).
    explicit PowerSpectrumPlan(std::int32_t n);

    std::int32_t size() const { return n; }
    bool usable() const { return n != 0; }

    // out[k] = |X[k]|^2 for k = 0..n/2 (n/2 + 1 values: DC and Nyquist each their own),
    // X the unscaled transform of in[0..n-1]. out must not overlap in. A plan is used by one
    // thread at a time (it keeps its scratch). No allocation, no lock; a null array or an
    // unusable plan writes nothing.
    //
    // Accuracy: the spectrum Y behind out[] (out[k] = |Y[k]|^2, rounded to float) differs
    // from the exact X by an error e = Y - X with, over all n bins,
    //     sqrt(sum |e[k]|^2) <= kRelativeError * log2(n) * sqrt(sum |X[k]|^2)
    // (two float rounding steps per halving of n; random input measures a tenth of that), so no
    // single bin is off by more either: for a sinusoid of amplitude A the peak |X| = n*A/2 is
    // within 1.5 * kRelativeError * log2(n) of itself, and the error floor lies at least
    // 108 dB below the peak at 2^20 points (114 dB at 2^11).
    static constexpr double kRelativeError = 1.0 / (1 << 23);
    void powerSpectrum(const float* in, float* out);

private:
    float* alignedStorage();

    std::int32_t n = 0;
    std::int32_t half = 0; // complex points of the transform behind the spectrum
    int firstBits = 0;     // the first stage's transforms have 2^firstBits points
    // Regions of `storage` from its first 64-byte boundary, in floats: the transform's real
    // and imaginary parts, the split's cosines and sines, each pass's rotation factors.
    std::int32_t imStart = 0, cosineStart = 0, sineStart = 0;
    std::vector<std::int32_t> passStarts;
    std::vector<float> storage;
    // The order in which the first stage visits its rows of input (bit-reversed counts).
    std::vector<std::int32_t> firstStageOrder;
};

} // namespace vex
