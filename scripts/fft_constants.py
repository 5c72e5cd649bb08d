#!/usr/bin/env python3
"""Prints the exactly rounded sine and cosine constants of analyzer/dsp/fft_constants.h.

The two C runtimes of our builds disagree in the last bit of sin and cos for some
arguments, so the FFT takes these values from literals. Each value is the double (or the
double rounded to float) nearest the true sine or cosine of the double argument the FFT
works with. Needs mpmath.
"""
from mpmath import mp, mpf, sin, cos

from exact_literals import hex_double, hex_float, to_float

mp.prec = 400

TWO_PI = mpf(6.283185307179586)  # the double nearest 2*pi, exactly
PI = mpf(3.141592653589793)      # the double nearest pi, exactly


def to_double(x):
    return float(x)  # mpmath rounds to nearest


print("""// Exactly rounded sine and cosine constants of the FFT (made by scripts/fft_constants.py).
// Why: the C runtimes of the native and the Windows build disagree in the last bit of sin
// and cos for some arguments; literals make both builds compute the same bits.
#pragma once

namespace vex {
""")
print("// sin(2pi / 2^k) and cos(2pi / 2^k) for k = 0..30, 2pi being the double 6.283185307179586.")
print("inline constexpr double kSinTwoPiOver[31] = {")
for k in range(31):
    print(f"    {hex_double(to_double(sin(TWO_PI / 2**k)))},")
print("};")
print("inline constexpr double kCosTwoPiOver[31] = {")
for k in range(31):
    print(f"    {hex_double(to_double(cos(TWO_PI / 2**k)))},")
print("};")

print("// For half = 2^h, h = 0..29, theta = (float)(pi / half): the double sines of theta / 2")
print("// and of theta, each rounded to float.")
print("inline constexpr float kSplitSinHalfTheta[30] = {")
for h in range(30):
    theta = mpf(to_float(to_double(PI / 2**h)))
    print(f"    {hex_float(to_float(to_double(sin(mpf(0.5) * theta))))},")
print("};")
print("inline constexpr float kSplitSinTheta[30] = {")
for h in range(30):
    theta = mpf(to_float(to_double(PI / 2**h)))
    print(f"    {hex_float(to_float(to_double(sin(theta))))},")
print("};")
print("\n} // namespace vex")
