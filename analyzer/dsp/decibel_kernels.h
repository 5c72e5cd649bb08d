// The decibel levels' logarithm and their four-lane kernel, written once over the number
// type: `double` for the scalar route, Sse2Doubles and AvxDoubles (simd_doubles.h) for the
// lane routes. Each lane does the scalar route's operations in the same order, so every
// route gives the same bits. Included by decibel_levels.cpp and, built with -mavx2, by
// decibel_levels_avx2.cpp.
//
// The logarithm is the classic one of the freely distributable fdlibm (Sun Microsystems,
// 1993): x = 2^k · m with m in [sqrt(1/2), sqrt(2)), f = m − 1, s = f / (2 + f),
// log(m) = f − f²/2 + s·(f²/2 + R(s²)) with its minimax coefficients for R, and k·ln 2 in
// two parts. It stays within one unit in the last place, relative, for every positive normal
// double (also close to x = 1, where the result is small), which the tests check against the
// runtime over a sweep of values.
#pragma once

#include "analyzer/dsp/simd_doubles.h"

#include <cmath>
#include <cstdint>

namespace vex::simd {
namespace {

constexpr double kLn2High = 0x1.62e42fee00000p-1; // ln 2, high part: k · kLn2High is exact
constexpr double kLn2Low = 0x1.a39ef35793c76p-33;
constexpr double kLg1 = 0x1.5555555555593p-1;
constexpr double kLg2 = 0x1.999999997fa04p-2;
constexpr double kLg3 = 0x1.2492494229359p-2;
constexpr double kLg4 = 0x1.c71c51d8e78afp-3;
constexpr double kLg5 = 0x1.7466496cb03dep-3;
constexpr double kLg6 = 0x1.39a09d078c69fp-3;
constexpr double kLg7 = 0x1.2f112df3e5244p-3;
// 10 / ln 10.
constexpr double kTenOverLn10 = 0x1.15f2ced384f28p+2;
// Adding kExponentShift to x's bits moves m's range [sqrt(1/2), sqrt(2)) to start at an
// exponent boundary; kMantissaBase puts the mantissa bits back under the exponent of
// sqrt(1/2).
constexpr std::uint64_t kMantissaBase = 0x3fe6a09e00000000ull;
constexpr std::uint64_t kExponentShift = 0x3ff0000000000000ull - kMantissaBase;
constexpr std::uint64_t kMantissaMask = 0x000fffffffffffffull;
// 2^52 + e as a double has e in its low bits: subtracting 2^52 + 1023 gives e − 1023 exactly.
constexpr std::uint64_t kTwoTo52Bits = 0x4330000000000000ull;
constexpr double kExponentBias = 0x1p52 + 1023.0;
// The fast routes take x in [kSmallest, kLargest]: the positive normal doubles.
constexpr double kSmallest = 0x1p-1022;
constexpr double kLargest = 0x1.fffffffffffffp+1023;
// Why 2^-40: the logarithm here and the runtime's log10 each stay within a few units of
// 2^-52 (relative); a float whose rounding interval holds the whole neighbourhood of this
// width is the float both round to, with a safety factor of about a thousand.
constexpr double kMargin = 0x1p-40;

// The runtime's own level: the answer wherever the fast routes cannot vouch for theirs.
inline float runtimeLevel(double x) {
    return static_cast<float>(10.0 * std::log10(x));
}

// The polynomial part: log(m) = f − hfsq + s·(hfsq + R) and k · ln 2 added in two parts, in
// this order.
template <typename T> T combine(T f, T k) {
    const T hfsq = 0.5 * f * f;
    const T s = f / (2.0 + f);
    const T z = s * s;
    const T w = z * z;
    const T t1 = w * (kLg2 + w * (kLg4 + w * kLg6));
    const T t2 = z * (kLg1 + w * (kLg3 + w * (kLg5 + w * kLg7)));
    const T r = t2 + t1;
    return s * (hfsq + r) + k * kLn2Low - hfsq + f + k * kLn2High;
}

// The natural logarithm of a positive normal x (any other lane gives a meaningless value).
template <typename T> T logOfNormal(T x) {
    using Words = decltype(asWords(x));
    Words bits = asWords(x) + Words(kExponentShift);
    const T k = asDoubles((bits >> 52) | Words(kTwoTo52Bits)) - T(kExponentBias);
    bits = (bits & Words(kMantissaMask)) + Words(kMantissaBase);
    return combine(asDoubles(bits) - T(1.0), k);
}

// Levels of powers[i ..] four at a time while four remain; answers the first i left.
// A lane outside the positive normal doubles, or whose neighbourhood straddles two floats,
// takes the runtime's own level.
template <typename D>
std::int32_t levelLanes(std::int32_t count, const double* powers, float* levels) {
    static_assert(D::kWidth == 4, "four lanes: one SSE register of floats");
    std::int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const D x = D::loadUnaligned(powers + i);
        const D y = logOfNormal(x) * kTenOverLn10;
        const D spread = abs(y) * kMargin;
        const __m128 below = D::toFloats(y - spread);
        const __m128 above = D::toFloats(y + spread);
        const int good = _mm_movemask_ps(_mm_cmpeq_ps(below, above)) &
                         D::signMask((x >= kSmallest) & (x <= kLargest));
        alignas(16) float values[4];
        _mm_store_ps(values, below);
        for (int lane = 0; lane < 4; ++lane) {
            levels[i + lane] =
                (good >> lane & 1) != 0 ? values[lane] : runtimeLevel(powers[i + lane]);
        }
    }
    return i;
}

} // namespace
} // namespace vex::simd

namespace vex::decibel_detail {

// levelLanes over AvxDoubles, in decibel_levels_avx2.cpp (built with -mavx2): call it only
// where processorHasAvx2().
std::int32_t avx2LevelLanes(std::int32_t count, const double* powers, float* levels);

} // namespace vex::decibel_detail
