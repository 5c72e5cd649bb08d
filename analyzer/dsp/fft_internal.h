// Pieces shared by the FFT engine and its plain reference: size checks and the two
// rotation recurrences. Both transforms take their rotation factors from these, so the
// engine's tables hold exactly the values the plain loops compute.
#pragma once

#include "analyzer/dsp/fft_constants.h"

#include <cstdint>
#include <cstring>
#include <memory>

namespace vex::fft_detail {

inline bool isPowerOfTwo(std::int32_t n) {
    return n > 0 && (n & (n - 1)) == 0;
}

inline int log2OfPowerOfTwo(std::int32_t n) {
    int bits = 0;
    while ((n & 1) == 0) {
        n >>= 1;
        ++bits;
    }
    return bits;
}

// The rotation factors of one block of butterfly pass `pass` (block size 2^pass), by the
// three-term (Chebyshev) recurrence in double precision. It starts two steps back, at
// -2*delta and -delta, so next() answers e^0 first, then e^(i*delta), e^(2i*delta), ...
// with delta = +2pi / 2^pass forward and -2pi / 2^pass inverse.
class ButterflyRotation {
public:
    ButterflyRotation(int pass, bool inverse) {
        // sin(-delta): negative forward, positive inverse.
        const double sineSign = inverse ? 1.0 : -1.0;
        ar2 = kCosTwoPiOver[pass - 1];
        ar1 = kCosTwoPiOver[pass];
        ai2 = sineSign * kSinTwoPiOver[pass - 1];
        ai1 = sineSign * kSinTwoPiOver[pass];
        w = 2.0 * ar1;
    }
    void next(double& ar0, double& ai0) {
        ar0 = w * ar1 - ar2;
        ar2 = ar1;
        ar1 = ar0;
        ai0 = w * ai1 - ai2;
        ai2 = ai1;
        ai1 = ai0;
    }

private:
    double ar2, ar1, ai2, ai1, w;
};

// One radix-2 butterfly on points j and k (k = j + half a block) with the factor (ar, ai):
// the product in double precision, each result rounded once to float.
inline void butterfly(double ar, double ai, float* re, float* im, std::int32_t j, std::int32_t k) {
    const double tr = ar * re[k] - ai * im[k];
    const double ti = ar * im[k] + ai * re[k];
    re[k] = static_cast<float>(re[j] - tr);
    im[k] = static_cast<float>(im[j] - ti);
    re[j] = static_cast<float>(re[j] + tr);
    im[j] = static_cast<float>(im[j] + ti);
}

// The rotation factors of the even/odd split for half = 2^halfBits complex points, single
// precision: w starts at e^(i*2pi/n) (n = 2 * half) and turns by that angle per step. The
// updates are evaluated in double and rounded once when stored.
struct SplitRotation {
    explicit SplitRotation(int halfBits) {
        const float wtemp = kSplitSinHalfTheta[halfBits];
        wpr = -2.0f * wtemp * wtemp;
        wpi = kSplitSinTheta[halfBits];
        wr = 1.0f + wpr;
        wi = wpi;
    }
    void advance() {
        const float oldWr = wr;
        wr = static_cast<float>(static_cast<double>(oldWr) * wpr - static_cast<double>(wi) * wpi +
                                oldWr);
        wi = static_cast<float>(static_cast<double>(wi) * wpr + static_cast<double>(oldWr) * wpi +
                                wi);
    }
    float wpr, wpi, wr, wi;
};

// Every NaN result is written as this positive quiet NaN. Why: when both operands of an
// operation are NaN, which one the processor answers depends on the operand order the
// compiler chose, so NaN signs and payloads could differ between builds and between the
// engine and the plain loops; whether a result is NaN does not.
inline constexpr std::uint32_t kCanonicalNaNBits = 0x7fc00000u;

inline void canonicalizeNaNs(float* values, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i) {
        if (values[i] != values[i]) {
            std::memcpy(&values[i], &kCanonicalNaNBits, sizeof(float));
        }
    }
}

// Whether the arguments of a complex transform (n >= 2) or a real one (n >= 4) can be
// used: a power of two and no null array. The transforms do nothing otherwise.
inline bool complexArgumentsUsable(std::int32_t n, const float* realIn, const float* realOut,
                                   const float* imagOut) {
    return n >= 2 && isPowerOfTwo(n) && realIn != nullptr && realOut != nullptr &&
           imagOut != nullptr;
}
inline bool realArgumentsUsable(std::int32_t n, const float* in, const float* out,
                                const float* secondOut) {
    return n >= 4 && isPowerOfTwo(n) && in != nullptr && out != nullptr && secondOut != nullptr;
}

// The inverse transform's 1/n, in double precision, each result rounded once.
inline void scaleByInverseSize(std::int32_t n, float* re, float* im) {
    const double scale = 1.0 / n;
    for (std::int32_t i = 0; i < n; ++i) {
        re[i] = static_cast<float>(re[i] * scale);
        im[i] = static_cast<float>(im[i] * scale);
    }
}

// The finishing steps below make every NaN canonical with `canonicalize`: this file's
// loop by default, the engine's vector loop in the engine (the same bits).
using Canonicalizer = void (*)(float*, std::int32_t);

// A complex transform's last step: the inverse's 1/n, then every NaN made canonical.
inline void finishComplex(std::int32_t n, float* re, float* im, bool inverse,
                          Canonicalizer canonicalize = canonicalizeNaNs) {
    if (inverse) {
        scaleByInverseSize(n, re, im);
    }
    canonicalize(re, n);
    canonicalize(im, n);
}

// The packed real transform's values of one split pair: X[i] and X[half - i].
template <typename Pair>
void storePackedPair(float* re, float* im, std::int32_t i, std::int32_t i3, const Pair& x) {
    re[i] = static_cast<float>(x.xr);
    im[i] = static_cast<float>(x.xi);
    re[i3] = static_cast<float>(x.x3r);
    im[i3] = static_cast<float>(x.x3i);
}

// The packed real transform's last step: point 0 holds DC + Nyquist and DC - Nyquist;
// then every NaN made canonical.
inline void finishPacked(std::int32_t half, float* re, float* im,
                         Canonicalizer canonicalize = canonicalizeNaNs) {
    const float re0 = re[0];
    const float im0 = im[0];
    re[0] = re0 + im0;
    im[0] = re0 - im0;
    canonicalize(re, half);
    canonicalize(im, half);
}

// The power spectrum's last step: the two points outside the split's loop, out[0] from DC
// and Nyquist (re[0] + im[0], re[0] - im[0]) and the middle point, which the split leaves
// as it is; then every NaN made canonical.
inline void finishPowerSpectrum(std::int32_t half, const float* re, const float* im, float* out,
                                Canonicalizer canonicalize = canonicalizeNaNs) {
    const double dc = static_cast<double>(re[0]) + im[0];
    const double nyquist = static_cast<double>(re[0]) - im[0];
    out[0] = static_cast<float>(dc * dc + nyquist * nyquist);
    const double midRe = re[half / 2];
    const double midIm = im[half / 2];
    out[half / 2] = static_cast<float>(midRe * midRe + midIm * midIm);
    canonicalize(out, half);
}

// Temporary floats for a transform: on the stack up to `StackFloats`, from the heap above
// that (so sizes up to the stack's never allocate).
template <std::int32_t StackFloats> class Scratch {
public:
    explicit Scratch(std::int32_t floats) {
        if (floats > StackFloats) {
            heap.reset(new float[floats]);
        }
    }
    float* data() { return heap ? heap.get() : stack; }

private:
    alignas(16) float stack[StackFloats];
    std::unique_ptr<float[]> heap;
};

// Lets the engine use AVX where the processor has it (the default) or keeps it to SSE2, so
// tests can check both paths. Not for use while transforms run on other threads.
void allowAvx(bool allowed);

// Whether AVX kernels run now: the processor has AVX and allowAvx did not forbid it.
bool avxInUse();

} // namespace vex::fft_detail
