// Radix-2 Fourier transforms on single-precision arrays. Rotation factors and the products
// inside each butterfly are double precision; array elements are read and stored as float.
//
// Sign convention: the forward transform is X[k] = sum_j x[j] * e^(+2*pi*i*j*k/n), with no
// scaling; the inverse uses e^(-2*pi*i*j*k/n) and scales by 1/n.
//
// Every function here may run on the audio thread. None of them locks; none allocates for
// real transforms of up to 1024 points or complex ones of any size (larger real transforms
// take their scratch from the heap). The process-wide tables (bit reversals, rotation
// factors: about 700 KB of static storage) are made on first use, thread-safely; call
// prepareFftTables() beforehand to keep that work off the audio thread.
//
// Every NaN in a result is written as the positive quiet NaN (bits 0x7fc00000), so results
// are the same bits in every build even then.
//
// Sizes outside the stated range (not a power of two, too small) and null arrays make a
// call write nothing.
#pragma once

#include <cstdint>

namespace vex {

// Bit-reversal tables for bit counts 1..16: forBits(b)[j] is j with its low b bits
// reversed (for b = 3: 0, 4, 2, 6, 1, 5, 3, 7). 131,070 entries in all, never freed.
struct BitReverseTables {
    static constexpr int kMaxBits = 16;
    const std::int32_t* table[kMaxBits];
    const std::int32_t* forBits(int bits) const { return table[bits - 1]; }
};

// The process-wide tables, built by the first call (from any thread).
const BitReverseTables& bitReverseTables();

// Builds every process-wide table now, if not yet built. Any thread.
void prepareFftTables();

// j with its low `bits` bits reversed, computed bit by bit (any bits 0..31).
std::int32_t reverseBits(std::int32_t j, int bits);

// Complex transform of n points, n a power of two >= 2, out of place: realOut and imagOut
// (n floats each) must not overlap realIn / imagIn. imagIn may be null for an all-zero
// imaginary part. inverse = true transforms with the negative exponent and scales by 1/n.
void fftComplex(std::int32_t n, const float* realIn, const float* imagIn, float* realOut,
                float* imagOut, bool inverse);

// Power spectrum of n real samples, n a power of two >= 4: reads in[0..n-1] and writes
// out[0..n/2-1], out[k] = |X[k]|^2 (no scaling), except out[0] = X[0]^2 + X[n/2]^2 (DC plus
// Nyquist). in and out may be the same array.
void computePowerSpectrum(std::int32_t n, const float* in, float* out);

// Spectrum of n real samples, n a power of two >= 4, packed into n/2 complex values:
// realOut[k], imagOut[k] = X[k] for k = 1..n/2-1, realOut[0] = X[0] (DC) and
// imagOut[0] = X[n/2] (Nyquist). Outputs (n/2 floats each) must not overlap the input.
void fftRealPacked(std::int32_t n, const float* in, float* realOut, float* imagOut);

} // namespace vex
