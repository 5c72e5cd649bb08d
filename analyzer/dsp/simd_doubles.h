// Four doubles at a time, as a small value type with the arithmetic of `double`, so that each
// kernel is written once (fft_kernels.h, decibel_kernels.h) and compiled for every lane type:
// - Sse2Doubles: two SSE2 registers of two lanes each (every x86-64 processor, and the
//   32-bit Windows build's minimum);
// - AvxDoubles: one AVX register, defined only in files built for AVX (fft_engine_avx.cpp
//   with -mavx, decibel_levels_avx2.cpp with -mavx2), which run only where the processor
//   has it.
// Every operation is one IEEE operation per lane, the same as the scalar `double` one, so a
// kernel gives the same bits for every lane type and for `double` itself. Nothing here fuses
// a multiply with an add (the build forbids contraction, and no FMA instruction is used).
//
// Each type also has its 64-bit integer view (Sse2Words, AvxWords; `std::uint64_t` for
// `double`) for the bit manipulations of the logarithm: asWords and asDoubles reinterpret
// the bits, they convert nothing.
#pragma once

#include <cstdint>
#include <cstring>

#ifndef __SSE2__
#error "the lanes need SSE2 (build with -msse2 -mfpmath=sse on 32-bit x86)"
#endif
#include <emmintrin.h>
#if defined(__AVX__)
#include <immintrin.h>
#endif

namespace vex::simd {
// Why an unnamed namespace: files built for AVX and files built for SSE2 include this
// header. Internal linkage keeps each file's own out-of-line copies (in unoptimised builds),
// so the linker can never hand an SSE2 path a copy compiled for a wider instruction set.
namespace {

// ---- The scalar views, so that a kernel can also run on plain doubles.

inline std::uint64_t asWords(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

inline double asDoubles(std::uint64_t bits) {
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// ---- SSE2: lanes 0 and 1 in `low`, lanes 2 and 3 in `high`.

struct Sse2Doubles {
    static constexpr int kWidth = 4;

    // Every lane v. Implicit, as a double literal in a formula stands for it.
    Sse2Doubles(double v) : low(_mm_set1_pd(v)), high(low) {}
    Sse2Doubles(__m128d lowPair, __m128d highPair) : low(lowPair), high(highPair) {}

    // From 32-byte aligned doubles.
    static Sse2Doubles load(const double* p) { return {_mm_load_pd(p), _mm_load_pd(p + 2)}; }
    static Sse2Doubles loadUnaligned(const double* p) {
        return {_mm_loadu_pd(p), _mm_loadu_pd(p + 2)};
    }
    // Four floats widened exactly, and the lanes rounded to float, as a float store does.
    static Sse2Doubles fromFloats(__m128 v) {
        return {_mm_cvtps_pd(v), _mm_cvtps_pd(_mm_movehl_ps(v, v))};
    }
    static __m128 toFloats(Sse2Doubles v) {
        return _mm_movelh_ps(_mm_cvtpd_ps(v.low), _mm_cvtpd_ps(v.high));
    }
    // Bit i set where lane i has its sign bit set (a comparison's answer: all ones).
    static int signMask(Sse2Doubles v) {
        return _mm_movemask_pd(v.low) | _mm_movemask_pd(v.high) << 2;
    }

    __m128d low, high;
};

inline Sse2Doubles operator+(Sse2Doubles a, Sse2Doubles b) {
    return {_mm_add_pd(a.low, b.low), _mm_add_pd(a.high, b.high)};
}
inline Sse2Doubles operator-(Sse2Doubles a, Sse2Doubles b) {
    return {_mm_sub_pd(a.low, b.low), _mm_sub_pd(a.high, b.high)};
}
inline Sse2Doubles operator*(Sse2Doubles a, Sse2Doubles b) {
    return {_mm_mul_pd(a.low, b.low), _mm_mul_pd(a.high, b.high)};
}
inline Sse2Doubles operator/(Sse2Doubles a, Sse2Doubles b) {
    return {_mm_div_pd(a.low, b.low), _mm_div_pd(a.high, b.high)};
}
// Flips the sign bit, as scalar negation does.
inline Sse2Doubles operator-(Sse2Doubles a) {
    const __m128d sign = _mm_set1_pd(-0.0);
    return {_mm_xor_pd(a.low, sign), _mm_xor_pd(a.high, sign)};
}
inline Sse2Doubles abs(Sse2Doubles a) {
    const __m128d magnitude = _mm_castsi128_pd(_mm_set1_epi64x(0x7fffffffffffffffll));
    return {_mm_and_pd(a.low, magnitude), _mm_and_pd(a.high, magnitude)};
}
// Comparisons answer all ones in a lane where they hold, zero elsewhere (NaN: zero).
inline Sse2Doubles operator>=(Sse2Doubles a, Sse2Doubles b) {
    return {_mm_cmpge_pd(a.low, b.low), _mm_cmpge_pd(a.high, b.high)};
}
inline Sse2Doubles operator<=(Sse2Doubles a, Sse2Doubles b) {
    return {_mm_cmple_pd(a.low, b.low), _mm_cmple_pd(a.high, b.high)};
}
inline Sse2Doubles operator&(Sse2Doubles a, Sse2Doubles b) {
    return {_mm_and_pd(a.low, b.low), _mm_and_pd(a.high, b.high)};
}

struct Sse2Words {
    explicit Sse2Words(std::uint64_t v)
        : low(_mm_set1_epi64x(static_cast<long long>(v))), high(low) {}
    Sse2Words(__m128i lowPair, __m128i highPair) : low(lowPair), high(highPair) {}
    __m128i low, high;
};

inline Sse2Words operator+(Sse2Words a, Sse2Words b) {
    return {_mm_add_epi64(a.low, b.low), _mm_add_epi64(a.high, b.high)};
}
inline Sse2Words operator&(Sse2Words a, Sse2Words b) {
    return {_mm_and_si128(a.low, b.low), _mm_and_si128(a.high, b.high)};
}
inline Sse2Words operator|(Sse2Words a, Sse2Words b) {
    return {_mm_or_si128(a.low, b.low), _mm_or_si128(a.high, b.high)};
}
inline Sse2Words operator>>(Sse2Words a, int count) {
    return {_mm_srli_epi64(a.low, count), _mm_srli_epi64(a.high, count)};
}
inline Sse2Words asWords(Sse2Doubles a) {
    return {_mm_castpd_si128(a.low), _mm_castpd_si128(a.high)};
}
inline Sse2Doubles asDoubles(Sse2Words a) {
    return {_mm_castsi128_pd(a.low), _mm_castsi128_pd(a.high)};
}

#if defined(__AVX__)

// ---- AVX: all four lanes in one register.

struct AvxDoubles {
    static constexpr int kWidth = 4;

    AvxDoubles(double v) : lanes(_mm256_set1_pd(v)) {}
    AvxDoubles(__m256d v) : lanes(v) {}

    static AvxDoubles load(const double* p) { return _mm256_load_pd(p); }
    static AvxDoubles loadUnaligned(const double* p) { return _mm256_loadu_pd(p); }
    static AvxDoubles fromFloats(__m128 v) { return _mm256_cvtps_pd(v); }
    static __m128 toFloats(AvxDoubles v) { return _mm256_cvtpd_ps(v.lanes); }
    static int signMask(AvxDoubles v) { return _mm256_movemask_pd(v.lanes); }

    __m256d lanes;
};

inline AvxDoubles operator+(AvxDoubles a, AvxDoubles b) {
    return _mm256_add_pd(a.lanes, b.lanes);
}
inline AvxDoubles operator-(AvxDoubles a, AvxDoubles b) {
    return _mm256_sub_pd(a.lanes, b.lanes);
}
inline AvxDoubles operator*(AvxDoubles a, AvxDoubles b) {
    return _mm256_mul_pd(a.lanes, b.lanes);
}
inline AvxDoubles operator/(AvxDoubles a, AvxDoubles b) {
    return _mm256_div_pd(a.lanes, b.lanes);
}
inline AvxDoubles operator-(AvxDoubles a) {
    return _mm256_xor_pd(a.lanes, _mm256_set1_pd(-0.0));
}
inline AvxDoubles abs(AvxDoubles a) {
    return _mm256_and_pd(a.lanes, _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffffll)));
}
inline AvxDoubles operator>=(AvxDoubles a, AvxDoubles b) {
    return _mm256_cmp_pd(a.lanes, b.lanes, _CMP_GE_OQ);
}
inline AvxDoubles operator<=(AvxDoubles a, AvxDoubles b) {
    return _mm256_cmp_pd(a.lanes, b.lanes, _CMP_LE_OQ);
}
inline AvxDoubles operator&(AvxDoubles a, AvxDoubles b) {
    return _mm256_and_pd(a.lanes, b.lanes);
}

#if defined(__AVX2__)

// 64-bit integer lanes in 256-bit registers need AVX2.
struct AvxWords {
    explicit AvxWords(std::uint64_t v) : lanes(_mm256_set1_epi64x(static_cast<long long>(v))) {}
    AvxWords(__m256i v) : lanes(v) {}
    __m256i lanes;
};

inline AvxWords operator+(AvxWords a, AvxWords b) {
    return _mm256_add_epi64(a.lanes, b.lanes);
}
inline AvxWords operator&(AvxWords a, AvxWords b) {
    return _mm256_and_si256(a.lanes, b.lanes);
}
inline AvxWords operator|(AvxWords a, AvxWords b) {
    return _mm256_or_si256(a.lanes, b.lanes);
}
inline AvxWords operator>>(AvxWords a, int count) {
    return _mm256_srli_epi64(a.lanes, count);
}
inline AvxWords asWords(AvxDoubles a) {
    return _mm256_castpd_si256(a.lanes);
}
inline AvxDoubles asDoubles(AvxWords a) {
    return _mm256_castsi256_pd(a.lanes);
}

#endif // __AVX2__
#endif // __AVX__

// ---- Float helpers common to every lane type: four floats in an SSE register.

template <typename D> D loadFloats(const float* p) {
    return D::fromFloats(_mm_loadu_ps(p));
}
template <typename D> void storeFloats(float* p, D v) {
    _mm_storeu_ps(p, D::toFloats(v));
}
// p[3], p[2], p[1], p[0] in lanes 0 to 3, and the store that undoes it.
template <typename D> D loadFloatsReversed(const float* p) {
    const __m128 v = _mm_loadu_ps(p);
    return D::fromFloats(_mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)));
}
template <typename D> void storeFloatsReversed(float* p, D v) {
    const __m128 f = D::toFloats(v);
    _mm_storeu_ps(p, _mm_shuffle_ps(f, f, _MM_SHUFFLE(0, 1, 2, 3)));
}

} // namespace
} // namespace vex::simd
