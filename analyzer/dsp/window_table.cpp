#include "analyzer/dsp/window_table.h"

#include <cmath>

namespace vex {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kFourPi = 12.566370614359172;
constexpr double kSixPi = 18.84955592153876;
constexpr double kPi = 3.141592653589793;

double windowValue(WindowType type, std::int32_t i, std::int32_t n) {
    const double m = n - 1;
    const double x = static_cast<double>(i) / n;
    switch (type) {
    case kWindowSineSquared: {
        const double s = std::sin(kPi * i / n);
        return s * s;
    }
    case kWindowHamming:
        return 0.54 - 0.46 * std::cos(kTwoPi * i / m);
    case kWindowHann:
        return 0.5 - 0.5 * std::cos(kTwoPi * i / m);
    case kWindowBlackman:
        return 0.42 - 0.5 * std::cos(kTwoPi * i / m) + 0.08 * std::cos(kFourPi * i / m);
    case kWindowBlackmanHarris:
        return 0.35875 - 0.48829 * std::cos(kTwoPi * i / m) + 0.14128 * std::cos(kFourPi * i / m) -
               0.01168 * std::cos(kSixPi * i / m);
    case kWindowWelch:
        return 4.0 * x * (1.0 - x);
    case kWindowGaussian25:
        return std::exp(-12.5 * (x * x + 0.25 - x));
    case kWindowGaussian35:
        return std::exp(-24.5 * (x * x + 0.25 - x));
    default: // kWindowGaussian45
        return std::exp(-40.5 * (x * x + 0.25 - x));
    }
}

} // namespace

void fillWindowTable(float* table, std::int32_t n, WindowType type) {
    if (table == nullptr || n < 1 || type < kWindowSineSquared || type > kWindowGaussian45) {
        return;
    }
    const bool symmetric = type >= kWindowHamming && type <= kWindowBlackmanHarris;
    // Why: the symmetric formulas divide by n - 1; for n = 1 that is 0/0 (NaN).
    if (symmetric && n < 2) {
        return;
    }
    for (std::int32_t i = 0; i < n; ++i) {
        table[i] = static_cast<float>(windowValue(type, i, n));
    }
}

} // namespace vex
