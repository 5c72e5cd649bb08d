// The decibel kernel in AVX2 registers. This file alone is built with -mavx2; decibel_levels.cpp
// calls it only where the processor has AVX2.
#include "analyzer/dsp/decibel_kernels.h"

#ifndef __AVX2__
#error "build this file with -mavx2"
#endif

namespace vex::decibel_detail {

std::int32_t avx2LevelLanes(std::int32_t count, const double* powers, float* levels) {
    return simd::levelLanes<simd::AvxDoubles>(count, powers, levels);
}

} // namespace vex::decibel_detail
