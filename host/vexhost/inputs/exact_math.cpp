#include "host/vexhost/inputs/exact_math.h"

#include <cmath>

namespace vex::host::exact {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kLn2 = 0.69314718055994530942;

// Taylor series of sin on [-pi/2, pi/2]; the 17th term is below 3e-12 there.
double sinReduced(double x) {
    const double x2 = x * x;
    double term = x;
    double sum = x;
    for (int n = 1; n <= 8; ++n) {
        term = -term * x2 / static_cast<double>((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

} // namespace

double sinCycles(double cycles) {
    // Why floor and not fmod: floor is exact on every runtime.
    double phase = cycles - std::floor(cycles); // [0, 1)
    if (phase >= 0.5) {
        phase -= 1.0; // [-0.5, 0.5)
    }
    double x = phase * (2.0 * kPi);
    if (x > 0.5 * kPi) {
        x = kPi - x;
    } else if (x < -0.5 * kPi) {
        x = -kPi - x;
    }
    return sinReduced(x);
}

double exp(double x) {
    // e^x = 2^k * e^r with |r| <= ln2/2; the series of e^r converges in 14 terms.
    const double k = std::floor(x / kLn2 + 0.5);
    const double r = x - k * kLn2;
    double term = 1.0;
    double sum = 1.0;
    for (int n = 1; n <= 14; ++n) {
        term = term * r / n;
        sum += term;
    }
    return std::ldexp(sum, static_cast<int>(k));
}

double log(double x) {
    if (!(x > 0.0)) {
        return -1.0e300;
    }
    int exponent = 0;
    double m = std::frexp(x, &exponent); // [0.5, 1)
    if (m < 0.70710678118654752440) {
        m *= 2.0;
        --exponent;
    }
    // ln m = 2 atanh(s) with s = (m - 1) / (m + 1), |s| < 0.172.
    const double s = (m - 1.0) / (m + 1.0);
    const double s2 = s * s;
    double power = s;
    double sum = 0.0;
    for (int n = 0; n < 12; ++n) {
        sum += power / (2 * n + 1);
        power *= s2;
    }
    return 2.0 * sum + exponent * kLn2;
}

} // namespace vex::host::exact
