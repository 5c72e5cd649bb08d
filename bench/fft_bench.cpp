// The FFT engine beside FFTW, in one run: our 1024-point power spectrum (the engine, the
// engine kept to SSE2, the plain loops) and 512-point complex transform, the power-spectrum
// plan at the fine analysis's sizes (2^11 .. 2^16 and 2^20, also kept to SSE2), and FFTW's
// single-precision real transform of each size (plan made once with FFTW_MEASURE) followed by
// the squared magnitudes. Ends with the ratios ours / FFTW.
#include "analyzer/dsp/fft_engine.h"
#include "analyzer/dsp/fft_internal.h"
#include "analyzer/dsp/fft_plain.h"
#include "analyzer/dsp/power_spectrum_plan.h"

#include "bench/fftw_peer.h"
#include "bench/ratio_reporter.h"

#include <benchmark/benchmark.h>

#include <cstdint>
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

// The plan's sizes: 2^11 .. 2^16 (windows of 0.04 s to 1 s at 48 kHz) and 2^20 (1 s at
// 768 kHz).
const std::vector<std::int64_t> kPlanSizes{1 << 11, 1 << 12, 1 << 13, 1 << 14,
                                           1 << 15, 1 << 16, 1 << 20};

void planPowerSpectrum(benchmark::State& state, bool avx) {
    const int n = static_cast<int>(state.range(0));
    vex::PowerSpectrumPlan plan(n);
    const std::vector<float> in = noise(n, 1);
    std::vector<float> out(static_cast<std::size_t>(n / 2 + 1));
    vex::fft_detail::allowAvx(avx);
    for (auto _ : state) {
        plan.powerSpectrum(in.data(), out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    vex::fft_detail::allowAvx(true);
}
BENCHMARK_CAPTURE(planPowerSpectrum, avx, true)->ArgName("n")->ArgsProduct({kPlanSizes});
BENCHMARK_CAPTURE(planPowerSpectrum, sse2, false)->ArgName("n")->ArgsProduct({kPlanSizes});

void fftwRealPower(benchmark::State& state) {
    vex::bench::fftwRealPower(state, static_cast<int>(state.range(0)));
}
BENCHMARK(fftwRealPower)->ArgName("n")->ArgsProduct({kPlanSizes});

} // namespace

int main(int argc, char** argv) {
    using vex::bench::Ratio;
    const std::string fftw = "fftwRealPower1024";
    std::vector<Ratio> ratios{
        Ratio{"powerSpectrum1024", fftw, 1, 1, 4.5},
        Ratio{"sse2PowerSpectrum1024", fftw},
        Ratio{"plainPowerSpectrum1024", fftw},
        Ratio{"complex512", fftw},
    };
    for (const std::int64_t n : kPlanSizes) {
        const std::string size = "/n:" + std::to_string(n);
        ratios.push_back(Ratio{"planPowerSpectrum/avx" + size, "fftwRealPower" + size, 1, 1, 2.5});
        ratios.push_back(Ratio{"planPowerSpectrum/sse2" + size, "fftwRealPower" + size});
    }
    return vex::bench::runWithRatios(argc, argv, ratios);
}
