// Sine, exponential and logarithm built from + - * / only, so that the native build and the
// Windows build (whose C runtime rounds sin, exp and log differently in the last bit) make
// the same test signals bit for bit. Accurate to about 1e-12, far below float resolution.
#pragma once

namespace vex::host::exact {

// sin(2*pi*cycles) for any finite `cycles`.
double sinCycles(double cycles);

// e^x for |x| up to a few hundred.
double exp(double x);

// Natural logarithm of x > 0; answers a large negative number for x <= 0.
double log(double x);

} // namespace vex::host::exact
