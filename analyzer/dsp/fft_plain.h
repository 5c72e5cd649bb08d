// The FFT engine's plain loops: the transforms written as directly as they are defined,
// with the rotation factors computed by their recurrences block after block. The engine in
// fft_engine.h computes the very same bits faster; these are its reference in the tests.
// Same contracts as the functions of the same names there.
#pragma once

#include <cstdint>

namespace vex::plain {

void fftComplex(std::int32_t n, const float* realIn, const float* imagIn, float* realOut,
                float* imagOut, bool inverse);
void computePowerSpectrum(std::int32_t n, const float* in, float* out);
void fftRealPacked(std::int32_t n, const float* in, float* realOut, float* imagOut);

} // namespace vex::plain
