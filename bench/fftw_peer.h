// What the audio-side benchmarks share: a seeded noise signal and the FFT peer, FFTW's
// single-precision real transform (plan made once with FFTW_MEASURE) followed by the squared
// magnitudes.
#pragma once

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace vex::bench {

// Values in [-1, 1) from a linear congruential generator; the same for the same seed.
inline std::vector<float> noise(std::size_t n, unsigned seed) {
    std::vector<float> values(n);
    unsigned state = seed;
    for (float& v : values) {
        state = state * 1664525u + 1013904223u;
        v = static_cast<float>(static_cast<int>(state >> 8) - (1 << 23)) / (1 << 23);
    }
    return values;
}

// One iteration: FFTW's real n-point transform of noise, then |X[k]|^2 for k = 0..n/2.
inline void fftwRealPower(benchmark::State& state, int n) {
    float* in = fftwf_alloc_real(static_cast<std::size_t>(n));
    fftwf_complex* spectrum = fftwf_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
    const fftwf_plan plan = fftwf_plan_dft_r2c_1d(n, in, spectrum, FFTW_MEASURE);
    const std::vector<float> source = noise(static_cast<std::size_t>(n), 1);
    std::copy(source.begin(), source.end(), in); // planning with MEASURE overwrites in[]
    std::vector<float> out(static_cast<std::size_t>(n / 2 + 1));
    for (auto _ : state) {
        fftwf_execute(plan);
        for (int k = 0; k <= n / 2; ++k) {
            out[k] = spectrum[k][0] * spectrum[k][0] + spectrum[k][1] * spectrum[k][1];
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(spectrum);
    fftwf_free(in);
}

} // namespace vex::bench
