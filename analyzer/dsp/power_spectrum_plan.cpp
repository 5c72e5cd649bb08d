// The power-spectrum plan: the n real samples packed into half = n/2 complex points, their
// radix-4 transform, and the split into the real signal's spectrum, squared on the way out.
// - The first stage reads the input in bit-reversed order and does the first transforms of
//   4 or 8 points (8 where log2(half) is odd, so that radix-4 passes make up the rest) in
//   registers, one transform per lane. It visits the input in rows of 8 consecutive points
//   (one cache line), so each line is read once even where the input is far larger than the
//   cache, and writes 16 sequential streams.
// - The passes run breadth first within chunks that fit the first-level cache, then depth
//   first above that, so each larger pass finds its four quarters freshly made in cache.
// - Every rotation factor is computed at construction in double precision and rounded once.
#include "analyzer/dsp/power_spectrum_plan.h"

#include "analyzer/dsp/fft_engine.h"
#include "analyzer/dsp/fft_float_kernels.h"
#include "analyzer/dsp/fft_internal.h"

#include <cmath>
#include <cstddef>

namespace vex {
namespace {

using simd::Sse2Floats;

// Smaller plans use the engine's packed transform (the first stage needs 128 points).
constexpr std::int32_t kSmallestLaneSize = 128;
// Blocks up to this many points (32 KB of real and imaginary parts) run all their passes
// breadth first.
constexpr std::int32_t kChunkPoints = 4096;

std::int32_t roundUpTo16(std::int32_t count) {
    return (count + 15) & ~15;
}

// Four complex points, one per lane.
struct Points {
    Sse2Floats r, i;
};

// Four transforms of four points each, one per lane, in place (natural order in and out).
inline void dft4(Points& x0, Points& x1, Points& x2, Points& x3) {
    const Sse2Floats ar = x0.r + x2.r, ai = x0.i + x2.i, br = x0.r - x2.r, bi = x0.i - x2.i;
    const Sse2Floats cr = x1.r + x3.r, ci = x1.i + x3.i, dr = x1.r - x3.r, di = x1.i - x3.i;
    x0 = {ar + cr, ai + ci};
    x2 = {ar - cr, ai - ci};
    x1 = {br + di, bi - dr}; // b - i*d
    x3 = {br - di, bi + dr}; // b + i*d
}

// Transforms of eight points, one per lane, in place: two of four (even and odd points),
// then the butterflies with e^(-2*pi*i*k/8).
inline void dft8(Points* x) {
    dft4(x[0], x[2], x[4], x[6]);
    dft4(x[1], x[3], x[5], x[7]);
    const Sse2Floats h(0.70710678118654752f);
    const Points e[4] = {x[0], x[2], x[4], x[6]};
    const Points o[4] = {
        x[1],
        {h * (x[3].r + x[3].i), h * (x[3].i - x[3].r)},
        {x[5].i, Sse2Floats(0.0f) - x[5].r},
        {h * (x[7].i - x[7].r), Sse2Floats(0.0f) - h * (x[7].r + x[7].i)},
    };
    for (int k = 0; k < 4; ++k) {
        x[k] = {e[k].r + o[k].r, e[k].i + o[k].i};
        x[k + 4] = {e[k].r - o[k].r, e[k].i - o[k].i};
    }
}

// Stores lane l's values x[0..3] at realRows[l] + offset and imagRows[l] + offset (the
// transpose of four lanes).
inline void storeTransposed(const Points* x, float* const* realRows, float* const* imagRows,
                            std::int32_t offset) {
    __m128 r0 = x[0].r.lanes, r1 = x[1].r.lanes, r2 = x[2].r.lanes, r3 = x[3].r.lanes;
    __m128 i0 = x[0].i.lanes, i1 = x[1].i.lanes, i2 = x[2].i.lanes, i3 = x[3].i.lanes;
    _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
    _MM_TRANSPOSE4_PS(i0, i1, i2, i3);
    _mm_storeu_ps(realRows[0] + offset, r0);
    _mm_storeu_ps(realRows[1] + offset, r1);
    _mm_storeu_ps(realRows[2] + offset, r2);
    _mm_storeu_ps(realRows[3] + offset, r3);
    _mm_storeu_ps(imagRows[0] + offset, i0);
    _mm_storeu_ps(imagRows[1] + offset, i1);
    _mm_storeu_ps(imagRows[2] + offset, i2);
    _mm_storeu_ps(imagRows[3] + offset, i3);
}

// The bit-reversed reading and the first transforms of kPoints points. The input point
// p = mid*8 + c + r*(half/kPoints) (c < 8, r < kPoints) is element r of transform p, whose
// output goes to kPoints * reverse(p) over log2(half/kPoints) bits, which is
// reverse3(c) * half/8 + kPoints * reverse(mid). order[] lists the mids in bit-reversed
// order, so the output rows fill sequentially.
template <int kPoints>
void firstStage(const float* in, float* re, float* im, std::int32_t half,
                const std::vector<std::int32_t>& order) {
    const std::int32_t step = 2 * (half / kPoints); // floats between the elements
    const std::int32_t row = half / 8;
    // reverse3(c) for the lanes c = 0..3 and 4..7.
    float* const realRows[2][4] = {{re, re + 4 * row, re + 2 * row, re + 6 * row},
                                   {re + row, re + 5 * row, re + 3 * row, re + 7 * row}};
    float* const imagRows[2][4] = {{im, im + 4 * row, im + 2 * row, im + 6 * row},
                                   {im + row, im + 5 * row, im + 3 * row, im + 7 * row}};
    const std::int32_t count = static_cast<std::int32_t>(order.size());
    for (std::int32_t j = 0; j < count; ++j) {
        const float* source = in + 16 * order[static_cast<std::size_t>(j)];
        for (int lanes = 0; lanes < 2; ++lanes) {
            Points x[kPoints];
            for (int r = 0; r < kPoints; ++r) {
                const float* p = source + r * step + 8 * lanes;
                const __m128 v0 = _mm_loadu_ps(p), v1 = _mm_loadu_ps(p + 4);
                x[r] = {_mm_shuffle_ps(v0, v1, _MM_SHUFFLE(2, 0, 2, 0)),
                        _mm_shuffle_ps(v0, v1, _MM_SHUFFLE(3, 1, 3, 1))};
            }
            if constexpr (kPoints == 4) {
                dft4(x[0], x[1], x[2], x[3]);
            } else {
                dft8(x);
            }
            for (int t = 0; t < kPoints; t += 4) {
                storeTransposed(x + t, realRows[lanes], imagRows[lanes], kPoints * j + t);
            }
        }
    }
}

// Where the passes find the transform and their rotation factors.
struct PassLayout {
    float* re;
    float* im;
    const float* factors; // pass p's at factors + passStarts[p]
    const std::int32_t* passStarts;
    int firstBits;
    bool avx;

    void pass(std::int32_t start, std::int32_t count, std::int32_t m) const {
        int bits = 0;
        while ((std::int32_t{1} << bits) < m) {
            ++bits;
        }
        const float* twiddles = factors + passStarts[(bits - firstBits) / 2];
        if (avx && m >= 8) {
            fft_detail::avxRadix4Pass(re + start, im + start, count, m, twiddles);
        } else {
            simd::radix4Pass<Sse2Floats>(re + start, im + start, count, m, twiddles);
        }
    }

    // Every pass that makes the block of `count` points at `start` from the first stage's.
    void passes(std::int32_t start, std::int32_t count) const {
        if (count <= kChunkPoints) {
            for (std::int32_t m = std::int32_t{1} << firstBits; 4 * m <= count; m *= 4) {
                pass(start, count, m);
            }
            return;
        }
        const std::int32_t quarter = count / 4;
        for (int q = 0; q < 4; ++q) {
            passes(start + q * quarter, quarter);
        }
        pass(start, count, quarter);
    }
};

} // namespace

PowerSpectrumPlan::PowerSpectrumPlan(std::int32_t size) {
    const bool powerOfTwo = size > 0 && (size & (size - 1)) == 0;
    if (!powerOfTwo || size < kMinSize || size > kMaxSize) {
        return;
    }
    n = size;
    half = n / 2;
    const std::int32_t halfSize = roundUpTo16(half);
    imStart = halfSize;
    if (n < kSmallestLaneSize) {
        storage.assign(static_cast<std::size_t>(2 * halfSize + 16), 0.0f);
        prepareFftTables();
        return;
    }
    const int bits = fft_detail::log2OfPowerOfTwo(half);
    firstBits = bits % 2 == 0 ? 2 : 3;
    cosineStart = 2 * halfSize;
    sineStart = cosineStart + roundUpTo16(half / 2);
    std::int32_t end = sineStart + roundUpTo16(half / 2);
    for (std::int32_t m = std::int32_t{1} << firstBits; 4 * m <= half; m *= 4) {
        passStarts.push_back(end);
        end += roundUpTo16(6 * m);
    }
    storage.assign(static_cast<std::size_t>(end + 16), 0.0f);
    float* base = alignedStorage();
    fft_detail::avxInUse(); // finds out about AVX now rather than in the first transform

    const double pi = std::acos(-1.0);
    for (std::int32_t k = 0; k < half / 2; ++k) {
        const double angle = 2.0 * pi * k / n;
        base[cosineStart + k] = static_cast<float>(std::cos(angle));
        base[sineStart + k] = static_cast<float>(-std::sin(angle));
    }
    std::size_t pass = 0;
    for (std::int32_t m = std::int32_t{1} << firstBits; 4 * m <= half; m *= 4, ++pass) {
        float* factors = base + passStarts[pass];
        const std::int32_t group = simd::twiddleGroup(m);
        for (std::int32_t j = 0; j < m; ++j) {
            float* w = factors + (j / group) * 6 * group + j % group;
            for (int q = 1; q <= 3; ++q) {
                const double angle = 2.0 * pi * (q * j) / (4.0 * m);
                w[(2 * q - 2) * group] = static_cast<float>(std::cos(angle));
                w[(2 * q - 1) * group] = static_cast<float>(-std::sin(angle));
            }
        }
    }
    const int midBits = bits - firstBits - 3;
    firstStageOrder.resize(std::size_t{1} << midBits);
    for (std::int32_t j = 0; j < (std::int32_t{1} << midBits); ++j) {
        firstStageOrder[static_cast<std::size_t>(j)] = reverseBits(j, midBits);
    }
}

float* PowerSpectrumPlan::alignedStorage() {
    const auto address = reinterpret_cast<std::uintptr_t>(storage.data());
    return storage.data() + ((64 - address % 64) % 64) / sizeof(float);
}

void PowerSpectrumPlan::powerSpectrum(const float* in, float* out) {
    if (n == 0 || in == nullptr || out == nullptr) {
        return;
    }
    float* base = alignedStorage();
    float* re = base;
    float* im = base + imStart;
    if (n < kSmallestLaneSize) {
        fftRealPacked(n, in, re, im);
        out[0] = re[0] * re[0];
        out[half] = im[0] * im[0];
        for (std::int32_t k = 1; k < half; ++k) {
            out[k] = re[k] * re[k] + im[k] * im[k];
        }
        return;
    }
    if (firstBits == 2) {
        firstStage<4>(in, re, im, half, firstStageOrder);
    } else {
        firstStage<8>(in, re, im, half, firstStageOrder);
    }
    const bool avx = fft_detail::avxInUse();
    const PassLayout layout{re, im, base, passStarts.data(), firstBits, avx};
    layout.passes(0, half);

    const float* cosines = base + cosineStart;
    const float* sines = base + sineStart;
    std::int32_t k = avx ? fft_detail::avxSplitPower(re, im, half, cosines, sines, out)
                         : simd::splitPower<Sse2Floats>(re, im, half, cosines, sines, out);
    for (; k < half / 2; ++k) { // the same formula as splitPower's, one k at a time
        const std::int32_t mirror = half - k;
        const float sr = re[k] + re[mirror], si = im[k] - im[mirror];
        const float dr = re[k] - re[mirror], di = im[k] + im[mirror];
        const float tr = cosines[k] * dr - sines[k] * di, ti = cosines[k] * di + sines[k] * dr;
        const float pr = sr + ti, pi = si - tr, qr = sr - ti, qi = si + tr;
        out[k] = 0.25f * (pr * pr + pi * pi);
        out[mirror] = 0.25f * (qr * qr + qi * qi);
    }
    out[0] = (re[0] + im[0]) * (re[0] + im[0]);
    out[half] = (re[0] - im[0]) * (re[0] - im[0]);
    out[half / 2] = re[half / 2] * re[half / 2] + im[half / 2] * im[half / 2];
}

} // namespace vex
