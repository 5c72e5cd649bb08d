// The FFT engine beside FFTW, in one run: our 1024-point power spectrum (the engine, the
// engine kept to SSE2, the plain loops) and 512-point complex transform, and FFTW's
// single-precision real 1024-point transform (plan made once with FFTW_MEASURE) followed by the
// squared magnitudes. Ends with the ratios ours / FFTW.
#include "analyzer/dsp/fft_engine.h"
#include "analyzer/dsp/fft_internal.h"
#include "analyzer/dsp/fft_plain.h"

#include "bench/fftw_peer.h"
#include "bench/ratio_reporter.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr int kSize = 1024;

std::vector<float> noise(int n, unsigned seed) {
    return vex::bench::noise(static_cast<std::size_t>(n), seed);
}

void powerSpectrum1024(benchmark::State& state) {
    const std::vector<float> in = noise(kSize, 1);
    std::vector<float> out(kSize / 2);
    for (auto _ : state) {
        vex::computePowerSpectrum(kSize, in.data(), out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(powerSpectrum1024);

// The engine kept to SSE2, as on a processor without AVX.
void sse2PowerSpectrum1024(benchmark::State& state) {
    const std::vector<float> in = noise(kSize, 1);
    std::vector<float> out(kSize / 2);
    vex::fft_detail::allowAvx(false);
    for (auto _ : state) {
        vex::computePowerSpectrum(kSize, in.data(), out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    vex::fft_detail::allowAvx(true);
}
BENCHMARK(sse2PowerSpectrum1024);

// The plain loops the engine must match bit for bit, for the speed-up.
void plainPowerSpectrum1024(benchmark::State& state) {
    const std::vector<float> in = noise(kSize, 1);
    std::vector<float> out(kSize / 2);
    for (auto _ : state) {
        vex::plain::computePowerSpectrum(kSize, in.data(), out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(plainPowerSpectrum1024);

void complex512(benchmark::State& state) {
    const std::vector<float> re = noise(kSize / 2, 2);
    const std::vector<float> im = noise(kSize / 2, 3);
    std::vector<float> outRe(kSize / 2), outIm(kSize / 2);
    for (auto _ : state) {
        vex::fftComplex(kSize / 2, re.data(), im.data(), outRe.data(), outIm.data(), false);
        benchmark::DoNotOptimize(outRe.data());
        benchmark::DoNotOptimize(outIm.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(complex512);

void fftwRealPower1024(benchmark::State& state) {
    vex::bench::fftwRealPower(state, kSize);
}
BENCHMARK(fftwRealPower1024);

} // namespace

int main(int argc, char** argv) {
    using vex::bench::Ratio;
    const std::string fftw = "fftwRealPower1024";
    return vex::bench::runWithRatios(argc, argv,
                                     {
                                         Ratio{"powerSpectrum1024", fftw, 1, 1, 4.5},
                                         Ratio{"sse2PowerSpectrum1024", fftw},
                                         Ratio{"plainPowerSpectrum1024", fftw},
                                         Ratio{"complex512", fftw},
                                     });
}
