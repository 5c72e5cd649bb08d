// Levels in decibels: 10·log10(x) of positive powers, rounded to single precision.
//
// decibelLevels gives exactly the bits of static_cast<float>(10.0 * std::log10(x)) with the
// runtime's own log10, for every x (0, negative, subnormal, infinite and NaN included), at a
// fraction of the cost. It evaluates a natural logarithm accurate to about one unit in the
// last place of a double, four values at a time (in two SSE2 registers, or one AVX2
// register where the processor has it), and keeps the float that every value within 2^-40
// (relative) of that result rounds to. Both it and the runtime's log10 are far closer to the
// true value than that, so that float is also the one the runtime's result rounds to. A
// result whose neighbourhood straddles two floats (about one value in 60,000), and any x
// outside the normal positive doubles, is computed by the runtime's log10 itself.
//
// May run on the audio thread: no allocation, no lock.
#pragma once

#include <cstdint>

namespace vex {

// levels[i] = static_cast<float>(10.0 * std::log10(powers[i])) for i = 0..count-1.
// The arrays must not overlap. Nothing is written for count <= 0.
void decibelLevels(std::int32_t count, const double* powers, float* levels);

namespace decibel_detail {

// The routes decibelLevels chooses among; all give the same bits (the tests run each).
enum class Route { scalar, sse2, avx2 };
bool processorHasAvx2();
void decibelLevelsBy(Route route, std::int32_t count, const double* powers, float* levels);
// The natural logarithm used by every route, for a positive normal x only.
double naturalLog(double x);

} // namespace decibel_detail
} // namespace vex
