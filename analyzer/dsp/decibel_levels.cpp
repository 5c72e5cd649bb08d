// Decibel levels with the runtime's bits. The logarithm is the classic one of the freely
// distributable fdlibm (Sun Microsystems, 1993): x = 2^k · m with m in [sqrt(1/2), sqrt(2)),
// f = m − 1, s = f / (2 + f), log(m) = f − f²/2 + s·(f²/2 + R(s²)) with its minimax
// coefficients for R, and k·ln 2 in two parts. It stays within one unit in the last place,
// relative, for every positive normal double (also close to x = 1, where the result is
// small), which the tests check against the runtime over a sweep of values.
#include "analyzer/dsp/decibel_levels.h"

#include <cmath>
#include <cstring>

#ifndef __SSE2__
#error "decibel levels need SSE2 (build with -msse2 -mfpmath=sse on 32-bit x86)"
#endif
#include <emmintrin.h>
#include <immintrin.h>

namespace vex {
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
// The fast routes take x in [kSmallest, kLargest]: the positive normal doubles.
constexpr double kSmallest = 0x1p-1022;
constexpr double kLargest = 0x1.fffffffffffffp+1023;
// Why 2^-40: the logarithm here and the runtime's log10 each stay within a few units of
// 2^-52 (relative); a float whose rounding interval holds the whole neighbourhood of this
// width is the float both round to, with a safety factor of about a thousand.
constexpr double kMargin = 0x1p-40;

float runtimeLevel(double x) {
    return static_cast<float>(10.0 * std::log10(x));
}

// The polynomial part shared by the routes: log(m) = f − hfsq + s·(hfsq + R) and
// k · ln 2 added in two parts, in this order.
inline double combine(double f, double k) {
    const double hfsq = 0.5 * f * f;
    const double s = f / (2.0 + f);
    const double z = s * s;
    const double w = z * z;
    const double t1 = w * (kLg2 + w * (kLg4 + w * kLg6));
    const double t2 = z * (kLg1 + w * (kLg3 + w * (kLg5 + w * kLg7)));
    const double r = t2 + t1;
    return s * (hfsq + r) + k * kLn2Low - hfsq + f + k * kLn2High;
}

double logOfNormal(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    bits += kExponentShift;
    const double k = static_cast<double>(static_cast<std::int32_t>(bits >> 52) - 0x3ff);
    bits = (bits & kMantissaMask) + kMantissaBase;
    double m;
    std::memcpy(&m, &bits, sizeof m);
    return combine(m - 1.0, k);
}

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

// Two at a time in SSE2 registers: the same operations as logOfNormal per lane.
void levelsSse2(std::int32_t count, const double* powers, float* levels) {
    const __m128i shift = _mm_set1_epi64x(static_cast<long long>(kExponentShift));
    const __m128i mask = _mm_set1_epi64x(static_cast<long long>(kMantissaMask));
    const __m128i base = _mm_set1_epi64x(static_cast<long long>(kMantissaBase));
    // 2^52 + e as a double has e in its low bits: subtracting 2^52 + 1023 gives e − 1023.
    const __m128i twoTo52Bits = _mm_set1_epi64x(0x4330000000000000ll);
    const __m128d exponentBias = _mm_set1_pd(0x1p52 + 1023.0);
    const __m128d smallest = _mm_set1_pd(kSmallest);
    const __m128d largest = _mm_set1_pd(kLargest);
    const __m128d absMask = _mm_castsi128_pd(_mm_set1_epi64x(0x7fffffffffffffffll));
    std::int32_t i = 0;
    for (; i + 2 <= count; i += 2) {
        const __m128d x = _mm_loadu_pd(powers + i);
        __m128i bits = _mm_add_epi64(_mm_castpd_si128(x), shift);
        const __m128d k = _mm_sub_pd(
            _mm_castsi128_pd(_mm_or_si128(_mm_srli_epi64(bits, 52), twoTo52Bits)), exponentBias);
        bits = _mm_add_epi64(_mm_and_si128(bits, mask), base);
        const __m128d f = _mm_sub_pd(_mm_castsi128_pd(bits), _mm_set1_pd(1.0));
        const __m128d hfsq = _mm_mul_pd(_mm_mul_pd(_mm_set1_pd(0.5), f), f);
        const __m128d s = _mm_div_pd(f, _mm_add_pd(_mm_set1_pd(2.0), f));
        const __m128d z = _mm_mul_pd(s, s);
        const __m128d w = _mm_mul_pd(z, z);
        const __m128d t1 =
            _mm_mul_pd(w, _mm_add_pd(_mm_set1_pd(kLg2),
                                     _mm_mul_pd(w, _mm_add_pd(_mm_set1_pd(kLg4),
                                                              _mm_mul_pd(w, _mm_set1_pd(kLg6))))));
        const __m128d t2 = _mm_mul_pd(
            z,
            _mm_add_pd(
                _mm_set1_pd(kLg1),
                _mm_mul_pd(
                    w, _mm_add_pd(_mm_set1_pd(kLg3),
                                  _mm_mul_pd(w, _mm_add_pd(_mm_set1_pd(kLg5),
                                                           _mm_mul_pd(w, _mm_set1_pd(kLg7))))))));
        const __m128d r = _mm_add_pd(t2, t1);
        __m128d y = _mm_mul_pd(s, _mm_add_pd(hfsq, r));
        y = _mm_add_pd(y, _mm_mul_pd(k, _mm_set1_pd(kLn2Low)));
        y = _mm_sub_pd(y, hfsq);
        y = _mm_add_pd(y, f);
        y = _mm_add_pd(y, _mm_mul_pd(k, _mm_set1_pd(kLn2High)));
        y = _mm_mul_pd(y, _mm_set1_pd(kTenOverLn10));
        const __m128d spread = _mm_mul_pd(_mm_and_pd(y, absMask), _mm_set1_pd(kMargin));
        const __m128 below = _mm_cvtpd_ps(_mm_sub_pd(y, spread));
        const __m128 above = _mm_cvtpd_ps(_mm_add_pd(y, spread));
        const __m128d inRange = _mm_and_pd(_mm_cmpge_pd(x, smallest), _mm_cmple_pd(x, largest));
        const int good = _mm_movemask_ps(_mm_cmpeq_ps(below, above)) & _mm_movemask_pd(inRange);
        float values[4];
        _mm_storeu_ps(values, below);
        levels[i] = (good & 1) != 0 ? values[0] : runtimeLevel(powers[i]);
        levels[i + 1] = (good & 2) != 0 ? values[1] : runtimeLevel(powers[i + 1]);
    }
    levelsScalar(count - i, powers + i, levels + i);
}

// Four at a time in AVX2 registers: the same operations again.
__attribute__((target("avx2"))) void levelsAvx2(std::int32_t count, const double* powers,
                                                float* levels) {
    const __m256i shift = _mm256_set1_epi64x(static_cast<long long>(kExponentShift));
    const __m256i mask = _mm256_set1_epi64x(static_cast<long long>(kMantissaMask));
    const __m256i base = _mm256_set1_epi64x(static_cast<long long>(kMantissaBase));
    const __m256i twoTo52Bits = _mm256_set1_epi64x(0x4330000000000000ll);
    const __m256d exponentBias = _mm256_set1_pd(0x1p52 + 1023.0);
    const __m256d smallest = _mm256_set1_pd(kSmallest);
    const __m256d largest = _mm256_set1_pd(kLargest);
    const __m256d absMask = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffffll));
    std::int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m256d x = _mm256_loadu_pd(powers + i);
        __m256i bits = _mm256_add_epi64(_mm256_castpd_si256(x), shift);
        const __m256d k = _mm256_sub_pd(
            _mm256_castsi256_pd(_mm256_or_si256(_mm256_srli_epi64(bits, 52), twoTo52Bits)),
            exponentBias);
        bits = _mm256_add_epi64(_mm256_and_si256(bits, mask), base);
        const __m256d f = _mm256_sub_pd(_mm256_castsi256_pd(bits), _mm256_set1_pd(1.0));
        const __m256d hfsq = _mm256_mul_pd(_mm256_mul_pd(_mm256_set1_pd(0.5), f), f);
        const __m256d s = _mm256_div_pd(f, _mm256_add_pd(_mm256_set1_pd(2.0), f));
        const __m256d z = _mm256_mul_pd(s, s);
        const __m256d w = _mm256_mul_pd(z, z);
        const __m256d t1 = _mm256_mul_pd(
            w,
            _mm256_add_pd(_mm256_set1_pd(kLg2),
                          _mm256_mul_pd(w, _mm256_add_pd(_mm256_set1_pd(kLg4),
                                                         _mm256_mul_pd(w, _mm256_set1_pd(kLg6))))));
        const __m256d t2 = _mm256_mul_pd(
            z,
            _mm256_add_pd(
                _mm256_set1_pd(kLg1),
                _mm256_mul_pd(
                    w,
                    _mm256_add_pd(
                        _mm256_set1_pd(kLg3),
                        _mm256_mul_pd(w, _mm256_add_pd(_mm256_set1_pd(kLg5),
                                                       _mm256_mul_pd(w, _mm256_set1_pd(kLg7))))))));
        const __m256d r = _mm256_add_pd(t2, t1);
        __m256d y = _mm256_mul_pd(s, _mm256_add_pd(hfsq, r));
        y = _mm256_add_pd(y, _mm256_mul_pd(k, _mm256_set1_pd(kLn2Low)));
        y = _mm256_sub_pd(y, hfsq);
        y = _mm256_add_pd(y, f);
        y = _mm256_add_pd(y, _mm256_mul_pd(k, _mm256_set1_pd(kLn2High)));
        y = _mm256_mul_pd(y, _mm256_set1_pd(kTenOverLn10));
        const __m256d spread = _mm256_mul_pd(_mm256_and_pd(y, absMask), _mm256_set1_pd(kMargin));
        const __m128 below = _mm256_cvtpd_ps(_mm256_sub_pd(y, spread));
        const __m128 above = _mm256_cvtpd_ps(_mm256_add_pd(y, spread));
        const __m256d inRange = _mm256_and_pd(_mm256_cmp_pd(x, smallest, _CMP_GE_OQ),
                                              _mm256_cmp_pd(x, largest, _CMP_LE_OQ));
        const int good = _mm_movemask_ps(_mm_cmpeq_ps(below, above)) & _mm256_movemask_pd(inRange);
        float values[4];
        _mm_storeu_ps(values, below);
        for (int lane = 0; lane < 4; ++lane) {
            levels[i + lane] =
                (good >> lane & 1) != 0 ? values[lane] : runtimeLevel(powers[i + lane]);
        }
    }
    levelsScalar(count - i, powers + i, levels + i);
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
