// The FFT engine. It computes exactly the bits of the plain loops in fft_plain.cpp, faster:
// - the rotation factors of every pass and of the real split come from tables made once
//   by the same recurrences, in the same order, so no butterfly waits on the previous one;
// - the butterflies and the real split run four at a time in double-precision lanes (two
//   SSE2 registers, or one AVX register where the processor has AVX), by the kernels of
//   fft_kernels.h, each lane doing the plain loop's operations in the plain loop's order,
//   rounding to float where it stores;
// - the bit-reversed copy and the first two passes run together on groups of four points,
//   rounding in between as the plain loop's stores do; the real transforms read their
//   input packed into complex points straight from the caller's array.
#include "analyzer/dsp/fft_engine.h"

#include "analyzer/dsp/fft_internal.h"
#include "analyzer/dsp/fft_kernels.h"

#include <cstring>
#include <memory>

namespace vex {
namespace {

using fft_detail::butterfly;
using fft_detail::ButterflyRotation;
using fft_detail::log2OfPowerOfTwo;
using fft_detail::SplitRotation;
using simd::SplitValues;
using simd::Sse2Doubles;

constexpr std::int32_t kTableEntries = (std::int32_t{1} << (BitReverseTables::kMaxBits + 1)) - 2;

struct BitReverseStorage {
    BitReverseStorage() {
        std::int32_t* next = entries;
        for (int bits = 1; bits <= BitReverseTables::kMaxBits; ++bits) {
            tables.table[bits - 1] = next;
            const std::int32_t count = std::int32_t{1} << bits;
            for (std::int32_t j = 0; j < count; ++j) {
                next[j] = reverseBits(j, bits);
            }
            next += count;
        }
    }
    // Why static storage rather than the heap: the first transform may run on the audio
    // thread, which must not allocate.
    std::int32_t entries[kTableEntries];
    BitReverseTables tables;
};

// Passes with blocks up to 2^kMaxTabulatedPass points and real transforms of up to
// 2^(kMaxTabulatedHalfBits + 1) points read their rotation factors from tables; beyond
// that the recurrences run as in the plain loops.
constexpr int kMaxTabulatedPass = 13;
constexpr int kMaxTabulatedHalfBits = 13;

// Rotation factors in static storage (192 KB). The factors of pass p sit at
// [2^(p-1), 2^p): the m-th butterfly of every block of that pass uses entry 2^(p-1) + m.
// The split factors for half = 2^h sit at [2^(h-1), 2^h): step i at 2^(h-1) + i.
struct RotationTables {
    RotationTables() {
        for (int pass = 1; pass <= kMaxTabulatedPass; ++pass) {
            const std::int32_t count = std::int32_t{1} << (pass - 1);
            ButterflyRotation forward(pass, false);
            ButterflyRotation inverse(pass, true);
            for (std::int32_t m = 0; m < count; ++m) {
                forward.next(cosines[count + m], sines[count + m]);
                double cosine; // the same as the forward one
                inverse.next(cosine, inverseSines[count + m]);
            }
        }
        for (int h = 1; h <= kMaxTabulatedHalfBits; ++h) {
            const std::int32_t count = std::int32_t{1} << (h - 1);
            SplitRotation w(h);
            splitWr[count] = 0.0f; // step 0 is never used
            splitWi[count] = 0.0f;
            for (std::int32_t i = 1; i < count; ++i) {
                splitWr[count + i] = w.wr;
                splitWi[count + i] = w.wi;
                w.advance();
            }
        }
    }
    const double* cosinesFor(int pass) const { return cosines + (1 << (pass - 1)); }
    const double* sinesFor(int pass, bool inverse) const {
        return (inverse ? inverseSines : sines) + (1 << (pass - 1));
    }
    const float* splitWrFor(int halfBits) const { return splitWr + (1 << (halfBits - 1)); }
    const float* splitWiFor(int halfBits) const { return splitWi + (1 << (halfBits - 1)); }

    alignas(32) double cosines[1 << kMaxTabulatedPass];
    alignas(32) double sines[1 << kMaxTabulatedPass];
    alignas(32) double inverseSines[1 << kMaxTabulatedPass];
    alignas(16) float splitWr[1 << kMaxTabulatedHalfBits];
    alignas(16) float splitWi[1 << kMaxTabulatedHalfBits];
};

const RotationTables& rotationTables() {
    static const RotationTables tables;
    return tables;
}

// AVX is chosen at run time (the Windows build targets SSE2 processors). Both paths give
// the same bits: every lane does the same IEEE operations.
bool avxAllowed = true;

bool processorHasAvx() {
    static const bool hasAvx = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx") != 0;
    }();
    return hasAvx;
}

bool useAvx() {
    return avxAllowed && processorHasAvx();
}

// canonicalizeNaNs, four at a time.
void canonicalizeNaNs(float* values, std::int32_t n) {
    float canonical;
    std::memcpy(&canonical, &fft_detail::kCanonicalNaNBits, sizeof canonical);
    const __m128 canonical4 = _mm_set1_ps(canonical);
    std::int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128 v = _mm_loadu_ps(values + i);
        const __m128 isNaN = _mm_cmpunord_ps(v, v);
        _mm_storeu_ps(values + i,
                      _mm_or_ps(_mm_and_ps(isNaN, canonical4), _mm_andnot_ps(isNaN, v)));
    }
    fft_detail::canonicalizeNaNs(values + i, n - i);
}

// ---- Complex transform.

// Where the input points of the bit-reversed order come from. Output 4g + t of the
// bit-reversed copy is input reversed(4g + t) = reversed(4g) + {0, n/2, n/4, 3n/4}[t], and
// reversed(4g) over `bits` bits is g reversed over bits - 2.
class GroupPositions {
public:
    GroupPositions(std::int32_t n, int bits)
        : groupBits(bits - 2), table(groupBits >= 1 && groupBits <= BitReverseTables::kMaxBits
                                         ? bitReverseTables().forBits(groupBits)
                                         : nullptr),
          half(n / 2), quarter(n / 4) {}
    std::int32_t first(std::int32_t g) const {
        return table != nullptr ? table[g] : groupBits == 0 ? 0 : reverseBits(g, groupBits);
    }
    const int groupBits;
    const std::int32_t* const table;
    const std::int32_t half, quarter;
};

// Input of a complex transform: separate real and imaginary arrays (imaginary may be null).
struct SplitArraysSource {
    void load(std::int32_t p0, std::int32_t p1, std::int32_t p2, std::int32_t p3, __m128& r,
              __m128& q) const {
        r = _mm_setr_ps(re[p0], re[p1], re[p2], re[p3]);
        q = im != nullptr ? _mm_setr_ps(im[p0], im[p1], im[p2], im[p3]) : _mm_setzero_ps();
    }
    const float* re;
    const float* im;
};

// Input of a real transform, packed into complex points: point p is in[2p] + i*in[2p+1].
struct PackedRealSource {
    void load(std::int32_t p0, std::int32_t p1, std::int32_t p2, std::int32_t p3, __m128& r,
              __m128& q) const {
        const __m128 v01 = _mm_unpacklo_ps(pair(p0), pair(p1)); // re0 re1 im0 im1
        const __m128 v23 = _mm_unpacklo_ps(pair(p2), pair(p3)); // re2 re3 im2 im3
        r = _mm_movelh_ps(v01, v23);
        q = _mm_movehl_ps(v23, v01);
    }
    __m128 pair(std::int32_t p) const {
        return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + 2 * p)));
    }
    const float* in;
};

// One butterfly pass in the plain loop's form, the factors from the recurrence: for passes
// beyond the tables, and for n = 2.
void recurrencePass(std::int32_t n, int pass, float* re, float* im, bool inverse) {
    const std::int32_t blockEnd = std::int32_t{1} << (pass - 1);
    for (std::int32_t i = 0; i < n; i += 2 * blockEnd) {
        ButterflyRotation rotation(pass, inverse);
        for (std::int32_t j = i; j < i + blockEnd; ++j) {
            double ar0, ai0;
            rotation.next(ar0, ai0);
            butterfly(ar0, ai0, re, im, j, j + blockEnd);
        }
    }
}

// The bit-reversed copy and passes 1 and 2 together, on each group of four points
// (n >= 4): pass 1 pairs points (0,1) and (2,3) of a group with one factor, pass 2 pairs
// (0,2) and (1,3) with two. The copy moves floats unchanged, so reading the input in
// bit-reversed order here gives what the copy would have.
template <typename Source>
void firstStage(std::int32_t n, int bits, const Source& source, float* re, float* im,
                const RotationTables& tables, bool inverse) {
    const __m128d c1 = _mm_set1_pd(tables.cosinesFor(1)[0]);
    const __m128d s1 = _mm_set1_pd(tables.sinesFor(1, inverse)[0]);
    const __m128d c2 = _mm_load_pd(tables.cosinesFor(2));
    const __m128d s2 = _mm_load_pd(tables.sinesFor(2, inverse));
    const GroupPositions positions(n, bits);
    for (std::int32_t g = 0; g < n / 4; ++g) {
        const std::int32_t p = positions.first(g);
        __m128 r, q;
        source.load(p, p + positions.half, p + positions.quarter,
                    p + positions.half + positions.quarter, r, q);
        // Pass 1: j lanes hold points 0 and 2, k lanes points 1 and 3.
        const Sse2Doubles rd = Sse2Doubles::fromFloats(r), qd = Sse2Doubles::fromFloats(q);
        const __m128d jr = _mm_unpacklo_pd(rd.low, rd.high), kr = _mm_unpackhi_pd(rd.low, rd.high);
        const __m128d ji = _mm_unpacklo_pd(qd.low, qd.high), ki = _mm_unpackhi_pd(qd.low, qd.high);
        __m128d tr = _mm_sub_pd(_mm_mul_pd(c1, kr), _mm_mul_pd(s1, ki));
        __m128d ti = _mm_add_pd(_mm_mul_pd(c1, ki), _mm_mul_pd(s1, kr));
        // Rounded to float as the plain loop stores them: points (0, 2) from j, (1, 3) from
        // k, interleaved back in order.
        const __m128 r1 =
            _mm_unpacklo_ps(_mm_cvtpd_ps(_mm_add_pd(jr, tr)), _mm_cvtpd_ps(_mm_sub_pd(jr, tr)));
        const __m128 q1 =
            _mm_unpacklo_ps(_mm_cvtpd_ps(_mm_add_pd(ji, ti)), _mm_cvtpd_ps(_mm_sub_pd(ji, ti)));
        // Pass 2: j lanes hold points 0 and 1, k lanes points 2 and 3.
        const Sse2Doubles r1d = Sse2Doubles::fromFloats(r1), q1d = Sse2Doubles::fromFloats(q1);
        const __m128d jr2 = r1d.low, kr2 = r1d.high;
        const __m128d ji2 = q1d.low, ki2 = q1d.high;
        tr = _mm_sub_pd(_mm_mul_pd(c2, kr2), _mm_mul_pd(s2, ki2));
        ti = _mm_add_pd(_mm_mul_pd(c2, ki2), _mm_mul_pd(s2, kr2));
        simd::storeFloats(re + 4 * g, Sse2Doubles(_mm_add_pd(jr2, tr), _mm_sub_pd(jr2, tr)));
        simd::storeFloats(im + 4 * g, Sse2Doubles(_mm_add_pd(ji2, ti), _mm_sub_pd(ji2, ti)));
    }
}

// The whole transform of n = 2^bits points from `source` into re[], im[] (natural order).
template <typename Source>
void transform(std::int32_t n, int bits, const Source& source, float* re, float* im, bool inverse) {
    if (bits == 1) {
        __m128 r, q; // both points in order: 1-bit reversal is the identity
        source.load(0, 1, 0, 1, r, q);
        alignas(16) float rv[4], qv[4];
        _mm_store_ps(rv, r);
        _mm_store_ps(qv, q);
        re[0] = rv[0];
        re[1] = rv[1];
        im[0] = qv[0];
        im[1] = qv[1];
        recurrencePass(n, 1, re, im, inverse);
        return;
    }
    const RotationTables& tables = rotationTables();
    firstStage(n, bits, source, re, im, tables, inverse);
    const bool avx = useAvx();
    for (int pass = 3; pass <= bits; ++pass) {
        if (pass <= kMaxTabulatedPass) {
            const double* cosines = tables.cosinesFor(pass);
            const double* sines = tables.sinesFor(pass, inverse);
            if (avx) {
                fft_detail::avxTabulatedPass(n, pass, re, im, cosines, sines);
            } else {
                simd::tabulatedPass<Sse2Doubles>(n, pass, re, im, cosines, sines);
            }
        } else {
            recurrencePass(n, pass, re, im, inverse);
        }
    }
}

// ---- Real transforms.

// Runs the split for i = 1 .. half/2 - 1 over re[], im[] (the packed transform): from the
// tables, lanes(wr, wi) does the first groups of four (answering the first i it left) and
// store(i, i3, values) takes the rest one at a time; beyond the tables, the split rotation's
// recurrence gives every step to store. Reads of i and i3 happen before their stores.
template <typename Lanes, typename Store>
void runSplit(std::int32_t half, int halfBits, const float* re, const float* im, Lanes lanes,
              Store store) {
    const std::int32_t quarter = half / 2;
    if (halfBits > kMaxTabulatedHalfBits) {
        SplitRotation w(halfBits);
        for (std::int32_t i = 1; i < quarter; ++i) {
            const std::int32_t i3 = half - i;
            store(i, i3, simd::splitValues<double>(re[i], re[i3], im[i], im[i3], w.wr, w.wi));
            w.advance();
        }
        return;
    }
    const RotationTables& tables = rotationTables();
    const float* wr = tables.splitWrFor(halfBits);
    const float* wi = tables.splitWiFor(halfBits);
    for (std::int32_t i = lanes(wr, wi); i < quarter; ++i) {
        const std::int32_t i3 = half - i;
        store(i, i3, simd::splitValues<double>(re[i], re[i3], im[i], im[i3], wr[i], wi[i]));
    }
}

// Scratch for the packed transform of computePowerSpectrum: on the stack up to 512 complex
// points.
using PowerScratch = fft_detail::Scratch<2 * 512>;

} // namespace

std::int32_t reverseBits(std::int32_t j, int bits) {
    std::int32_t result = 0;
    for (int b = 0; b < bits; ++b) {
        result = (result << 1) | (j & 1);
        j >>= 1;
    }
    return result;
}

const BitReverseTables& bitReverseTables() {
    static const BitReverseStorage storage;
    return storage.tables;
}

void prepareFftTables() {
    bitReverseTables();
    rotationTables();
}

void fftComplex(std::int32_t n, const float* realIn, const float* imagIn, float* realOut,
                float* imagOut, bool inverse) {
    if (!fft_detail::complexArgumentsUsable(n, realIn, realOut, imagOut)) {
        return;
    }
    const int bits = log2OfPowerOfTwo(n);
    transform(n, bits, SplitArraysSource{realIn, imagIn}, realOut, imagOut, inverse);
    fft_detail::finishComplex(n, realOut, imagOut, inverse, canonicalizeNaNs);
}

void computePowerSpectrum(std::int32_t n, const float* in, float* out) {
    if (!fft_detail::realArgumentsUsable(n, in, out, out)) {
        return;
    }
    const std::int32_t half = n / 2;
    const int halfBits = log2OfPowerOfTwo(half);
    PowerScratch scratch(2 * half);
    float* re = scratch.data();
    float* im = re + half;
    // Why: all of in[] is read into the scratch before out[] is written, so in == out works.
    transform(half, halfBits, PackedRealSource{in}, re, im, false);

    const bool avx = useAvx();
    runSplit(
        half, halfBits, re, im,
        [=](const float* wr, const float* wi) {
            return avx ? fft_detail::avxSplitPower(half, re, im, wr, wi, out)
                       : simd::splitPower<Sse2Doubles>(half, re, im, wr, wi, out);
        },
        [out](std::int32_t i, std::int32_t i3, const SplitValues<double>& x) {
            out[i] = static_cast<float>(simd::power(x.xr, x.xi));
            out[i3] = static_cast<float>(simd::power(x.x3r, x.x3i));
        });
    fft_detail::finishPowerSpectrum(half, re, im, out, canonicalizeNaNs);
}

void fftRealPacked(std::int32_t n, const float* in, float* realOut, float* imagOut) {
    if (!fft_detail::realArgumentsUsable(n, in, realOut, imagOut)) {
        return;
    }
    const std::int32_t half = n / 2;
    const int halfBits = log2OfPowerOfTwo(half);
    transform(half, halfBits, PackedRealSource{in}, realOut, imagOut, false);

    const bool avx = useAvx();
    runSplit(
        half, halfBits, realOut, imagOut,
        [=](const float* wr, const float* wi) {
            return avx ? fft_detail::avxSplitPacked(half, realOut, imagOut, wr, wi)
                       : simd::splitPacked<Sse2Doubles>(half, realOut, imagOut, wr, wi);
        },
        [realOut, imagOut](std::int32_t i, std::int32_t i3, const SplitValues<double>& x) {
            fft_detail::storePackedPair(realOut, imagOut, i, i3, x);
        });
    fft_detail::finishPacked(half, realOut, imagOut, canonicalizeNaNs);
}

namespace fft_detail {

void allowAvx(bool allowed) {
    avxAllowed = allowed;
}

bool avxInUse() {
    return useAvx();
}

} // namespace fft_detail
} // namespace vex
