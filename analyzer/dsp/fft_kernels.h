// The FFT engine's four-lane kernels, written once over the lane type (simd_doubles.h) and the
// split's formula over any number type (`double` for the scalar steps). Every lane does the
// plain loop's operations in the plain loop's order, widening floats exactly where it loads
// and rounding to float where it stores, so every lane type gives the plain loop's bits.
// Included by fft_engine.cpp (SSE2) and, built with -mavx, by fft_engine_avx.cpp.
#pragma once

#include "analyzer/dsp/simd_doubles.h"

#include <cstdint>

namespace vex::simd {
namespace {

// A pass with blocks of at least eight points, four butterflies at a time: the m-th
// butterfly of every block takes cosines[m] and sines[m] (32-byte aligned).
template <typename D>
void tabulatedPass(std::int32_t n, int pass, float* re, float* im, const double* cosines,
                   const double* sines) {
    static_assert(D::kWidth == 4, "four lanes: one SSE register of floats");
    const std::int32_t blockEnd = std::int32_t{1} << (pass - 1);
    for (std::int32_t i = 0; i < n; i += 2 * blockEnd) {
        float* rj = re + i;
        float* ij = im + i;
        float* rk = rj + blockEnd;
        float* ik = ij + blockEnd;
        for (std::int32_t m = 0; m < blockEnd; m += 4) {
            const D c = D::load(cosines + m);
            const D s = D::load(sines + m);
            const D kr = loadFloats<D>(rk + m), ki = loadFloats<D>(ik + m);
            const D jr = loadFloats<D>(rj + m), ji = loadFloats<D>(ij + m);
            const D tr = c * kr - s * ki;
            const D ti = c * ki + s * kr;
            storeFloats(rk + m, jr - tr);
            storeFloats(ik + m, ji - ti);
            storeFloats(rj + m, jr + tr);
            storeFloats(ij + m, ji + ti);
        }
    }
}

// The spectral values X[i] and X[half - i] of a real signal from the complex transform of
// its packing (re[i], re[half - i], im[i], im[half - i]) and the split factor w.
template <typename T> struct SplitValues { T xr, xi, x3r, x3i; };

template <typename T> SplitValues<T> splitValues(T rei, T rei3, T imi, T imi3, T wr, T wi) {
    const T h1r = 0.5 * (rei + rei3);
    const T h1i = 0.5 * (imi - imi3);
    const T h2r = 0.5 * (imi + imi3);
    const T h2i = -0.5 * (rei - rei3);
    return {h1r + wr * h2r - wi * h2i, h1i + wr * h2i + wi * h2r, h1r - wr * h2r + wi * h2i,
            -h1i + wr * h2i + wi * h2r};
}

template <typename T> T power(T re, T im) {
    return re * re + im * im;
}

// The split for i = 1, 5, 9, ... while i + 4 <= half / 2, four lanes at a time (i .. i + 3
// paired with i3 .. i3 - 3, i3 = half - i), factors from the tables wr[], wi[]; hands each
// group to store(i, i3, values). All eight points of a group are read before any is
// stored, and groups do not overlap, so the split may run in place. Answers the first i
// left.
template <typename D, typename Store>
std::int32_t splitLanes(std::int32_t half, const float* re, const float* im, const float* wr,
                        const float* wi, Store store) {
    std::int32_t i = 1;
    for (; i + 4 <= half / 2; i += 4) {
        const std::int32_t i3 = half - i;
        store(i, i3,
              splitValues(loadFloats<D>(re + i), loadFloatsReversed<D>(re + i3 - 3),
                          loadFloats<D>(im + i), loadFloatsReversed<D>(im + i3 - 3),
                          loadFloats<D>(wr + i), loadFloats<D>(wi + i)));
    }
    return i;
}

// The power spectrum's split: out[i] = |X[i]|², out[i3] = |X[i3]|².
template <typename D>
std::int32_t splitPower(std::int32_t half, const float* re, const float* im, const float* wr,
                        const float* wi, float* out) {
    return splitLanes<D>(half, re, im, wr, wi,
                         [out](std::int32_t i, std::int32_t i3, const SplitValues<D>& x) {
                             storeFloats(out + i, power(x.xr, x.xi));
                             storeFloatsReversed(out + i3 - 3, power(x.x3r, x.x3i));
                         });
}

// The packed real transform's split, in place over re[], im[].
template <typename D>
std::int32_t splitPacked(std::int32_t half, float* re, float* im, const float* wr,
                         const float* wi) {
    return splitLanes<D>(half, re, im, wr, wi,
                         [re, im](std::int32_t i, std::int32_t i3, const SplitValues<D>& x) {
                             storeFloats(re + i, x.xr);
                             storeFloats(im + i, x.xi);
                             storeFloatsReversed(re + i3 - 3, x.x3r);
                             storeFloatsReversed(im + i3 - 3, x.x3i);
                         });
}

} // namespace
} // namespace vex::simd

namespace vex::fft_detail {

// The kernels over AvxDoubles, in fft_engine_avx.cpp (built with -mavx): call them only
// where the processor has AVX.
void avxTabulatedPass(std::int32_t n, int pass, float* re, float* im, const double* cosines,
                      const double* sines);
std::int32_t avxSplitPower(std::int32_t half, const float* re, const float* im, const float* wr,
                           const float* wi, float* out);
std::int32_t avxSplitPacked(std::int32_t half, float* re, float* im, const float* wr,
                            const float* wi);

} // namespace vex::fft_detail
