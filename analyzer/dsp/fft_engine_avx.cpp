// The FFT engine's kernels in AVX registers. This file alone is built with -mavx;
// fft_engine.cpp calls it only where the processor has AVX.
#include "analyzer/dsp/fft_kernels.h"

#ifndef __AVX__
#error "build this file with -mavx"
#endif

namespace vex::fft_detail {

void avxTabulatedPass(std::int32_t n, int pass, float* re, float* im, const double* cosines,
                      const double* sines) {
    simd::tabulatedPass<simd::AvxDoubles>(n, pass, re, im, cosines, sines);
}

std::int32_t avxSplitPower(std::int32_t half, const float* re, const float* im, const float* wr,
                           const float* wi, float* out) {
    return simd::splitPower<simd::AvxDoubles>(half, re, im, wr, wi, out);
}

std::int32_t avxSplitPacked(std::int32_t half, float* re, float* im, const float* wr,
                            const float* wi) {
    return simd::splitPacked<simd::AvxDoubles>(half, re, im, wr, wi);
}

} // namespace vex::fft_detail
