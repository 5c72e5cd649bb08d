// Single-precision lanes and the power-spectrum plan's kernels, written once over the lane
// type: Sse2Floats (four lanes, any SSE2 processor) and AvxFloats (eight lanes, defined only
// in files built with -mavx, which run only where the processor has AVX). Unlike the
// engine's double-precision lanes these make no promise of bits: the plan promises
// accuracy (power_spectrum_plan.h).
//
// The complex transform is radix-4 decimation in time on separate real and imaginary
// arrays, X[k] = sum_j x[j] * e^(-2*pi*i*j*k/n). A pass with quarter block m combines four
// transforms of m points, stored one after the other in the order of the indices they were
// decimated by (0, 2, 1, 3 modulo 4), into one of 4m points.
#pragma once

#include <cstdint>

#ifndef __SSE2__
#error "the lanes need SSE2 (build with -msse2 -mfpmath=sse on 32-bit x86)"
#endif
#include <emmintrin.h>
#if defined(__AVX__)
#include <immintrin.h>
#endif

namespace vex::simd {
// Why an unnamed namespace: see simd_doubles.h (files built for AVX include this too).
namespace {

struct Sse2Floats {
    static constexpr int kWidth = 4;
    Sse2Floats() = default;
    Sse2Floats(float value) : lanes(_mm_set1_ps(value)) {}
    Sse2Floats(__m128 value) : lanes(value) {}
    static Sse2Floats load(const float* p) { return _mm_loadu_ps(p); }
    static void store(float* p, Sse2Floats v) { _mm_storeu_ps(p, v.lanes); }
    // p[3], p[2], p[1], p[0] in lanes 0 to 3, and the store that undoes it.
    static Sse2Floats loadReversed(const float* p) {
        const __m128 v = _mm_loadu_ps(p);
        return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3));
    }
    static void storeReversed(float* p, Sse2Floats v) {
        _mm_storeu_ps(p, _mm_shuffle_ps(v.lanes, v.lanes, _MM_SHUFFLE(0, 1, 2, 3)));
    }
    __m128 lanes;
};

inline Sse2Floats operator+(Sse2Floats a, Sse2Floats b) {
    return _mm_add_ps(a.lanes, b.lanes);
}
inline Sse2Floats operator-(Sse2Floats a, Sse2Floats b) {
    return _mm_sub_ps(a.lanes, b.lanes);
}
inline Sse2Floats operator*(Sse2Floats a, Sse2Floats b) {
    return _mm_mul_ps(a.lanes, b.lanes);
}

#if defined(__AVX__)

struct AvxFloats {
    static constexpr int kWidth = 8;
    AvxFloats() = default;
    AvxFloats(float value) : lanes(_mm256_set1_ps(value)) {}
    AvxFloats(__m256 value) : lanes(value) {}
    static AvxFloats load(const float* p) { return _mm256_loadu_ps(p); }
    static void store(float* p, AvxFloats v) { _mm256_storeu_ps(p, v.lanes); }
    static AvxFloats loadReversed(const float* p) { return reversed(_mm256_loadu_ps(p)); }
    static void storeReversed(float* p, AvxFloats v) { _mm256_storeu_ps(p, reversed(v.lanes)); }
    static __m256 reversed(__m256 v) {
        const __m256 halvesSwapped = _mm256_permute2f128_ps(v, v, 1);
        return _mm256_permute_ps(halvesSwapped, _MM_SHUFFLE(0, 1, 2, 3));
    }
    __m256 lanes;
};

inline AvxFloats operator+(AvxFloats a, AvxFloats b) {
    return _mm256_add_ps(a.lanes, b.lanes);
}
inline AvxFloats operator-(AvxFloats a, AvxFloats b) {
    return _mm256_sub_ps(a.lanes, b.lanes);
}
inline AvxFloats operator*(AvxFloats a, AvxFloats b) {
    return _mm256_mul_ps(a.lanes, b.lanes);
}

#endif // __AVX__

// A pass's rotation factors are stored in groups of min(m, 8) butterflies: for each group
// the cosines and sines of w^j, w^2j, w^3j (w = e^(-2*pi*i/4m)), six runs of the group's
// length one after the other.
inline std::int32_t twiddleGroup(std::int32_t m) {
    return m < 8 ? m : 8;
}

// One radix-4 pass with quarter block m over `count` points (a multiple of 4m), in place.
// m must be a multiple of the lane width.
template <typename V>
void radix4Pass(float* re, float* im, std::int32_t count, std::int32_t m, const float* twiddles) {
    const std::int32_t group = twiddleGroup(m);
    for (std::int32_t s = 0; s < count; s += 4 * m) {
        float* r0 = re + s;
        float* i0 = im + s;
        float* r1 = r0 + m;
        float* i1 = i0 + m;
        float* r2 = r1 + m;
        float* i2 = i1 + m;
        float* r3 = r2 + m;
        float* i3 = i2 + m;
        const float* w = twiddles;
        for (std::int32_t j = 0; j < m; j += group, w += 6 * group) {
            for (std::int32_t l = 0; l < group; l += V::kWidth) {
                const std::int32_t k = j + l;
                const V c1 = V::load(w + l), s1 = V::load(w + group + l);
                const V c2 = V::load(w + 2 * group + l), s2 = V::load(w + 3 * group + l);
                const V c3 = V::load(w + 4 * group + l), s3 = V::load(w + 5 * group + l);
                // Inputs 1 and 2 hold the transforms of the indices 2 and 1 modulo 4.
                const V x1r = V::load(r2 + k), x1i = V::load(i2 + k);
                const V x2r = V::load(r1 + k), x2i = V::load(i1 + k);
                const V x3r = V::load(r3 + k), x3i = V::load(i3 + k);
                const V u0r = V::load(r0 + k), u0i = V::load(i0 + k);
                const V u1r = c1 * x1r - s1 * x1i, u1i = c1 * x1i + s1 * x1r;
                const V u2r = c2 * x2r - s2 * x2i, u2i = c2 * x2i + s2 * x2r;
                const V u3r = c3 * x3r - s3 * x3i, u3i = c3 * x3i + s3 * x3r;
                const V ar = u0r + u2r, ai = u0i + u2i, br = u0r - u2r, bi = u0i - u2i;
                const V cr = u1r + u3r, ci = u1i + u3i, dr = u1r - u3r, di = u1i - u3i;
                V::store(r0 + k, ar + cr);
                V::store(i0 + k, ai + ci);
                V::store(r2 + k, ar - cr);
                V::store(i2 + k, ai - ci);
                V::store(r1 + k, br + di); // b - i*d
                V::store(i1 + k, bi - dr);
                V::store(r3 + k, br - di); // b + i*d
                V::store(i3 + k, bi + dr);
            }
        }
    }
}

// The real signal's power spectrum from the complex transform Z (re[], im[], half points)
// of its samples packed in pairs (x[2j] + i*x[2j+1]): for k = 1, 1 + width, ... while the
// lanes stay below half / 2, out[k] = |X[k]|^2 and out[half - k] = |X[half - k]|^2, the
// factors e^(-2*pi*i*k/2half) in cosines[k], sines[k]. Answers the first k left.
template <typename V>
std::int32_t splitPower(const float* re, const float* im, std::int32_t half, const float* cosines,
                        const float* sines, float* out) {
    std::int32_t k = 1;
    for (; k + V::kWidth <= half / 2; k += V::kWidth) {
        const std::int32_t mirror = half - k - (V::kWidth - 1); // lowest index of half - k
        const V ar = V::load(re + k), ai = V::load(im + k);
        const V br = V::loadReversed(re + mirror), bi = V::loadReversed(im + mirror);
        const V wr = V::load(cosines + k), wi = V::load(sines + k);
        // 2X[k] = S - i*W*D and 2 conj(X[half - k]) = S + i*W*D, with A = Z[k],
        // B = conj(Z[half - k]), S = A + B, D = A - B.
        const V sr = ar + br, si = ai - bi, dr = ar - br, di = ai + bi;
        const V tr = wr * dr - wi * di, ti = wr * di + wi * dr;
        const V pr = sr + ti, pi = si - tr, qr = sr - ti, qi = si + tr;
        V::store(out + k, V(0.25f) * (pr * pr + pi * pi));
        V::storeReversed(out + mirror, V(0.25f) * (qr * qr + qi * qi));
    }
    return k;
}

} // namespace
} // namespace vex::simd

namespace vex::fft_detail {

// The kernels over AvxFloats, in power_spectrum_plan_avx.cpp (built with -mavx): call them
// only where the processor has AVX. m at least 8.
void avxRadix4Pass(float* re, float* im, std::int32_t count, std::int32_t m, const float* twiddles);
std::int32_t avxSplitPower(const float* re, const float* im, std::int32_t half,
                           const float* cosines, const float* sines, float* out);

} // namespace vex::fft_detail
