// The FFT engine beside FFTW, in one run: our 1024-point power spectrum (the engine, the
// engine kept to SSE2, the plain loops) and 512-point complex transform, and FFTW's
// single-precision real 1024-point transform (plan made once with FFTW_MEASURE) followed by the
// squared magnitudes. Ends with the ratios ours / FFTW.
#include "analyzer/dsp/fft_engine.h"
#include "analyzer/dsp/fft_internal.h"
#include "analyzer/dsp/fft_plain.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 1024;

std::vector<float> noise(int n, unsigned seed) {
    std::vector<float> values(n);
    unsigned state = seed;
    for (float& v : values) {
        state = state * 1664525u + 1013904223u;
        v = static_cast<float>(static_cast<int>(state >> 8) - (1 << 23)) / (1 << 23);
    }
    return values;
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
    float* in = fftwf_alloc_real(kSize);
    fftwf_complex* spectrum = fftwf_alloc_complex(kSize / 2 + 1);
    const fftwf_plan plan = fftwf_plan_dft_r2c_1d(kSize, in, spectrum, FFTW_MEASURE);
    const std::vector<float> source = noise(kSize, 1);
    std::copy(source.begin(), source.end(), in); // planning with MEASURE overwrites in[]
    std::vector<float> out(kSize / 2 + 1);
    for (auto _ : state) {
        fftwf_execute(plan);
        for (int k = 0; k <= kSize / 2; ++k) {
            out[k] = spectrum[k][0] * spectrum[k][0] + spectrum[k][1] * spectrum[k][1];
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(spectrum);
    fftwf_free(in);
}
BENCHMARK(fftwRealPower1024);

// Prints as usual and keeps each benchmark's time per iteration (the median when run
// with repetitions).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Iteration || median) {
                const std::string name = run.run_name.function_name;
                if (median || times.count(name) == 0) {
                    times[name] = run.GetAdjustedCPUTime();
                }
            }
        }
    }
    void printRatios() const {
        const auto peer = times.find("fftwRealPower1024");
        if (peer == times.end()) {
            return;
        }
        for (const char* ours : {"powerSpectrum1024", "sse2PowerSpectrum1024",
                                 "plainPowerSpectrum1024", "complex512"}) {
            const auto found = times.find(ours);
            if (found != times.end()) {
                std::printf("ratio %s / fftwRealPower1024: %.2f\n", ours,
                            found->second / peer->second);
            }
        }
    }

private:
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::fflush(stdout);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
