// The fine analysis in place of the module's spectra, as `vexhost frames --view log` runs
// it: ten seconds of a 1 kHz tone at 48 kHz, blocks of 128, 25 frames per second, every frame
// handed to a sink that keeps its first value. The ratio is the fine run's CPU time against
// the module's; both pay for generating the tone and running the module.
#include "host/kit/module_library.h"
#include "host/vexhost/inputs/session.h"
#include "ratio_reporter.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

using namespace vex::host;

constexpr double kSeconds = 10.0;

void runEngine(benchmark::State& state, Analysis analysis) {
    SessionOptions options;
    options.inputs = {"sine:1k@0.5"};
    options.modulePath = defaultModulePath();
    options.sampleRate = 48000.0;
    options.rate = 4; // 25 frames per second
    options.analysis = analysis;
    Session session(options);
    std::int64_t frames = 0;
    float sum = 0.0f;
    for (auto _ : state) {
        auto engine = session.makeEngine(2, kSeconds, [&](const SentFrame& frame) {
            frames += frame.size > 0 ? 1 : 0;
            if (frame.size >= 8) {
                float first = 0.0f;
                std::memcpy(&first, frame.bytes + 4, sizeof first);
                sum += first;
            }
        });
        engine->runTo(session.sampleCount(kSeconds));
        benchmark::DoNotOptimize(sum);
    }
    state.counters["frames_per_second"] =
        static_cast<double>(frames) / (kSeconds * static_cast<double>(state.iterations()));
}

void BM_EngineModule(benchmark::State& state) {
    runEngine(state, Analysis::kModule);
}
BENCHMARK(BM_EngineModule)->Unit(benchmark::kMillisecond);

void BM_EngineFine(benchmark::State& state) {
    runEngine(state, Analysis::kFine);
}
BENCHMARK(BM_EngineFine)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return vex::bench::runWithRatios(argc, argv, {{"BM_EngineFine", "BM_EngineModule"}});
}
