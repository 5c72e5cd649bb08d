// Decibel levels with the runtime's bits: the routes over the kernels of decibel_kernels.h.
#include "analyzer/dsp/decibel_levels.h"

#include "analyzer/dsp/decibel_kernels.h"

#include <cmath>

namespace vex {
namespace {

using simd::kLargest;
using simd::kMargin;
using simd::kSmallest;
using simd::kTenOverLn10;
using simd::logOfNormal;
using simd::runtimeLevel;

float levelOf(double x) {
    if (!(x >= kSmallest && x <= kLargest)) {
        return runtimeLevel(x);
    }
    const double y = logOfNormal(x) * kTenOverLn10;
    const double spread = std::fabs(y) * kMargin;
    const float below = static_cast<float>(y - spread);
    const float above = static_cast<float>(y + spread);
    return below == above ? below : runtimeLevel(x);
}

void levelsScalar(std::int32_t count, const double* powers, float* levels) {
    for (std::int32_t i = 0; i < count; ++i) {
        levels[i] = levelOf(powers[i]);
    }
}

void levelsSse2(std::int32_t count, const double* powers, float* levels) {
    const std::int32_t done = simd::levelLanes<simd::Sse2Doubles>(count, powers, levels);
    levelsScalar(count - done, powers + done, levels + done);
}

void levelsAvx2(std::int32_t count, const double* powers, float* levels) {
    const std::int32_t done = decibel_detail::avx2LevelLanes(count, powers, levels);
    levelsScalar(count - done, powers + done, levels + done);
}

} // namespace

void decibelLevels(std::int32_t count, const double* powers, float* levels) {
    decibel_detail::decibelLevelsBy(decibel_detail::processorHasAvx2()
                                        ? decibel_detail::Route::avx2
                                        : decibel_detail::Route::sse2,
                                    count, powers, levels);
}

namespace decibel_detail {

bool processorHasAvx2() {
    static const bool hasAvx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return hasAvx2;
}

void decibelLevelsBy(Route route, std::int32_t count, const double* powers, float* levels) {
    if (count <= 0 || powers == nullptr || levels == nullptr) {
        return;
    }
    switch (route) {
    case Route::avx2:
        if (processorHasAvx2()) {
            levelsAvx2(count, powers, levels);
            return;
        }
        levelsSse2(count, powers, levels);
        return;
    case Route::sse2:
        levelsSse2(count, powers, levels);
        return;
    case Route::scalar:
        levelsScalar(count, powers, levels);
        return;
    }
}

double naturalLog(double x) {
    return logOfNormal(x);
}

} // namespace decibel_detail
} // namespace vex
