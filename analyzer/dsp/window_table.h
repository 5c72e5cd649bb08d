// Analysis window coefficients.
#pragma once

#include <cstdint>

namespace vex {

// Window codes 0..8. Types 1 to 4 are symmetric (they divide by n - 1, so callers pass
// n >= 2 with them); the others are periodic (they divide by n, peak 1 at n / 2).
using WindowType = std::int32_t;
inline constexpr WindowType kWindowSineSquared = 0;
inline constexpr WindowType kWindowHamming = 1;
inline constexpr WindowType kWindowHann = 2;
inline constexpr WindowType kWindowBlackman = 3;
inline constexpr WindowType kWindowBlackmanHarris = 4;
inline constexpr WindowType kWindowWelch = 5;
inline constexpr WindowType kWindowGaussian25 = 6;
inline constexpr WindowType kWindowGaussian35 = 7;
inline constexpr WindowType kWindowGaussian45 = 8;

// Writes the n coefficients of window `type` into table[0..n-1] (each computed in double,
// stored as float; existing contents are overwritten, not multiplied). n < 1 or a type
// outside 0..8 writes nothing; so does n = 1 with a symmetric type, whose formula would
// divide by zero. Any thread; no allocation.
void fillWindowTable(float* table, std::int32_t n, WindowType type);

} // namespace vex
