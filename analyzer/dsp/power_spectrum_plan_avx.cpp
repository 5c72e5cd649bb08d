// The power-spectrum plan's kernels in AVX registers. This file alone is built with -mavx;
// power_spectrum_plan.cpp calls it only where the processor has AVX.
#include "analyzer/dsp/fft_float_kernels.h"

#ifndef __AVX__
#error "build this file with -mavx"
#endif

namespace vex::fft_detail {

void avxRadix4Pass(float* re, float* im, std::int32_t count, std::int32_t m,
                   const float* twiddles) {
    simd::radix4Pass<simd::AvxFloats>(re, im, count, m, twiddles);
}

std::int32_t avxSplitPower(const float* re, const float* im, std::int32_t half,
                           const float* cosines, const float* sines, float* out) {
    return simd::splitPower<simd::AvxFloats>(re, im, half, cosines, sines, out);
}

} // namespace vex::fft_detail
