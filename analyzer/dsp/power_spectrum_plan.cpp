#include "analyzer/dsp/power_spectrum_plan.h"

#include "analyzer/dsp/fft_engine.h"

namespace vex {

PowerSpectrumPlan::PowerSpectrumPlan(std::int32_t size) {
    const bool powerOfTwo = size > 0 && (size & (size - 1)) == 0;
    if (!powerOfTwo || size < kMinSize || size > kMaxSize) {
        return;
    }
    n = size;
    re.assign(static_cast<std::size_t>(n / 2), 0.0f);
    im.assign(static_cast<std::size_t>(n / 2), 0.0f);
    prepareFftTables();
}

void PowerSpectrumPlan::powerSpectrum(const float* in, float* out) {
    if (n == 0 || in == nullptr || out == nullptr) {
        return;
    }
    fftRealPacked(n, in, re.data(), im.data());
    const std::int32_t half = n / 2;
    out[0] = re[0] * re[0];
    out[half] = im[0] * im[0];
    for (std::int32_t k = 1; k < half; ++k) {
        out[k] = re[static_cast<std::size_t>(k)] * re[static_cast<std::size_t>(k)] +
                 im[static_cast<std::size_t>(k)] * im[static_cast<std::size_t>(k)];
    }
}

} // namespace vex
