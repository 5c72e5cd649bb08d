#include "analyzer/dsp/fft_plain.h"

#include "analyzer/dsp/fft_engine.h"
#include "analyzer/dsp/fft_internal.h"

#include <memory>

namespace vex::plain {
namespace {

using fft_detail::butterfly;
using fft_detail::ButterflyRotation;
using fft_detail::canonicalizeNaNs;
using fft_detail::log2OfPowerOfTwo;
using fft_detail::SplitRotation;

// Copies the input into bit-reversed order.
void bitReversedCopy(std::int32_t n, int bits, const float* realIn, const float* imagIn,
                     float* realOut, float* imagOut) {
    if (bits <= BitReverseTables::kMaxBits) {
        const std::int32_t* reversed = bitReverseTables().forBits(bits);
        std::int32_t j = 0;
        if (imagIn != nullptr) {
            for (; j + 4 <= n; j += 4) {
                for (int u = 0; u < 4; ++u) {
                    const std::int32_t r = reversed[j + u];
                    realOut[r] = realIn[j + u];
                    imagOut[r] = imagIn[j + u];
                }
            }
            for (; j < n; ++j) {
                realOut[reversed[j]] = realIn[j];
                imagOut[reversed[j]] = imagIn[j];
            }
        } else {
            for (; j + 4 <= n; j += 4) {
                for (int u = 0; u < 4; ++u) {
                    const std::int32_t r = reversed[j + u];
                    realOut[r] = realIn[j + u];
                    imagOut[r] = 0.0f;
                }
            }
            for (; j < n; ++j) {
                realOut[reversed[j]] = realIn[j];
                imagOut[reversed[j]] = 0.0f;
            }
        }
        return;
    }
    for (std::int32_t j = 0; j < n; ++j) {
        const std::int32_t r = reverseBits(j, bits);
        realOut[r] = realIn[j];
        imagOut[r] = imagIn != nullptr ? imagIn[j] : 0.0f;
    }
}

// The butterfly passes over data already in bit-reversed order, in place.
void butterflyPasses(std::int32_t n, int bits, float* re, float* im, bool inverse) {
    std::int32_t blockEnd = 1;
    for (int pass = 1; pass <= bits; ++pass) {
        const std::int32_t blockSize = blockEnd * 2;
        for (std::int32_t i = 0; i < n; i += blockSize) {
            ButterflyRotation rotation(pass, inverse);
            auto step = [&](std::int32_t j) {
                double ar0, ai0;
                rotation.next(ar0, ai0);
                butterfly(ar0, ai0, re, im, j, j + blockEnd);
            };
            const std::int32_t end = i + blockEnd;
            std::int32_t j = i;
            for (; j + 4 <= end; j += 4) {
                step(j);
                step(j + 1);
                step(j + 2);
                step(j + 3);
            }
            for (; j < end; ++j) {
                step(j);
            }
        }
        blockEnd = blockSize;
    }
}

// Temporary arrays for the real transforms: on the stack up to 512 complex points.
using Scratch = fft_detail::Scratch<4 * 512>;

// Spectral values X[i] and X[half - i] of the real signal, from the complex transform of
// its even/odd packing.
struct SplitPair {
    double xr, xi, x3r, x3i;
};

SplitPair splitPair(const float* re, const float* im, std::int32_t i, std::int32_t i3,
                    const SplitRotation& w) {
    const double h1r = 0.5 * (static_cast<double>(re[i]) + re[i3]);
    const double h1i = 0.5 * (static_cast<double>(im[i]) - im[i3]);
    const double h2r = 0.5 * (static_cast<double>(im[i]) + im[i3]);
    const double h2i = -0.5 * (static_cast<double>(re[i]) - re[i3]);
    const double wr = w.wr;
    const double wi = w.wi;
    return {h1r + wr * h2r - wi * h2i, h1i + wr * h2i + wi * h2r, h1r - wr * h2r + wi * h2i,
            -h1i + wr * h2i + wi * h2r};
}

// Runs the split for i = 1 .. half/2 - 1 over the packed transform in re[], im[], handing
// each pair X[i], X[half - i] to `emit` before the next pair is read.
template <typename Emit>
void forEachSplitPair(std::int32_t half, const float* re, const float* im, Emit emit) {
    SplitRotation w(log2OfPowerOfTwo(half));
    for (std::int32_t i = 1; i < half / 2; ++i) {
        const std::int32_t i3 = half - i;
        emit(i, i3, splitPair(re, im, i, i3, w));
        w.advance();
    }
}

// Packs in[] into half complex points in `packed` (room for 2 * half floats: the real
// parts, then the imaginary ones) and transforms them forward into re[], im[].
void packedTransform(std::int32_t half, const float* in, float* packed, float* re, float* im) {
    float* packedRe = packed;
    float* packedIm = packed + half;
    for (std::int32_t i = 0; i < half; ++i) {
        packedRe[i] = in[2 * i];
        packedIm[i] = in[2 * i + 1];
    }
    fftComplex(half, packedRe, packedIm, re, im, false);
}

} // namespace

void fftComplex(std::int32_t n, const float* realIn, const float* imagIn, float* realOut,
                float* imagOut, bool inverse) {
    if (!fft_detail::complexArgumentsUsable(n, realIn, realOut, imagOut)) {
        return;
    }
    const int bits = log2OfPowerOfTwo(n);
    bitReversedCopy(n, bits, realIn, imagIn, realOut, imagOut);
    butterflyPasses(n, bits, realOut, imagOut, inverse);
    fft_detail::finishComplex(n, realOut, imagOut, inverse);
}

void computePowerSpectrum(std::int32_t n, const float* in, float* out) {
    if (!fft_detail::realArgumentsUsable(n, in, out, out)) {
        return;
    }
    const std::int32_t half = n / 2;
    Scratch scratch(4 * half);
    float* re = scratch.data() + 2 * half;
    float* im = re + half;
    // Why: everything is read into the scratch before out[] is written, so in == out works.
    packedTransform(half, in, scratch.data(), re, im);

    forEachSplitPair(half, re, im, [out](std::int32_t i, std::int32_t i3, const SplitPair& x) {
        out[i] = static_cast<float>(x.xr * x.xr + x.xi * x.xi);
        out[i3] = static_cast<float>(x.x3r * x.x3r + x.x3i * x.x3i);
    });
    fft_detail::finishPowerSpectrum(half, re, im, out);
}

void fftRealPacked(std::int32_t n, const float* in, float* realOut, float* imagOut) {
    if (!fft_detail::realArgumentsUsable(n, in, realOut, imagOut)) {
        return;
    }
    const std::int32_t half = n / 2;
    Scratch scratch(2 * half);
    packedTransform(half, in, scratch.data(), realOut, imagOut);

    forEachSplitPair(half, realOut, imagOut,
                     [realOut, imagOut](std::int32_t i, std::int32_t i3, const SplitPair& x) {
                         fft_detail::storePackedPair(realOut, imagOut, i, i3, x);
                     });
    fft_detail::finishPacked(half, realOut, imagOut);
}

} // namespace vex::plain
