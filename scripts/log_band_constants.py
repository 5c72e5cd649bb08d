#!/usr/bin/env python3
"""Prints analyzer/audio/log_band_constants.h: the powers of two of the log-band edges.

Band b of the log spectrum reaches from 2^(x_b - 1/96) to 2^(x_b + 1/96) times 10 Hz,
where x_b is the single-precision octave position (0, then += 1/48 rounded to float, the
sum held in float) and 1/96 is rounded to float; the exponent is taken in double, where
the difference is exact. The two C runtimes of our builds disagree in the last bit of pow
for some of these exponents, so the analyzer takes the exactly rounded doubles from here.
Needs mpmath.
"""
from mpmath import mp, mpf, power

from exact_literals import hex_double, to_float

mp.prec = 400

BANDS = 528


step = to_float(1.0 / 48.0)
half = to_float(1.0 / 96.0)
low, high = [], []
x = 0.0
for b in range(BANDS):
    # Sums and differences of these floats are exact in double; only the float sum rounds.
    low.append(float(power(2, mpf(x) - mpf(half))))
    high.append(float(power(2, mpf(x) + mpf(half))))
    x = to_float(x + step)

print("""// Powers of two of the log-band edges (made by scripts/log_band_constants.py).
// Why literals: the C runtimes of the native and the Windows build disagree in the last bit
// of pow for some of these exponents; exactly rounded values make both builds agree.
#pragma once

namespace vex {

// 2^(x_b - 1/96) and 2^(x_b + 1/96) for bands b = 0..527, each the double nearest the exact
// value. x_b is the float octave position (0, then += 1/48 rounded to float, summed in
// float); 1/96 is rounded to float; the exponent is the exact double difference or sum.""")
for name, values in (("kBandEdgeLowPower", low), ("kBandEdgeHighPower", high)):
    print(f"inline constexpr double {name}[{BANDS}] = {{")
    for i in range(0, BANDS, 3):
        print("    " + " ".join(hex_double(v) + "," for v in values[i:i + 3]))
    print("};")
print("\n} // namespace vex")
