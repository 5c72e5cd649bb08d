// What the spectrogram costs a window's paint: the live window's pane (1280 x 600, one
// voice, the default look and tools) painting the log view beside the same pane painting
// the spectrogram of the same frames. Each iteration is what a window does per frame: one
// frame taken, one paint (the spectrogram then colours one new column and copies the rest).
// Ends with the ratio, held to 1.2.
#include "bench/ratio_reporter.h"
#include "host/kit/module_library.h"
#include "host/kit/view/viewer_pane.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace vex {
namespace {

constexpr std::int32_t kWidth = 1280;
constexpr std::int32_t kHeight = 600;
constexpr double kRate = 48000.0;
// A frame every 1200 samples: 40 a second, the fastest the module sends.
constexpr std::int64_t kFrameStep = 1200;

// Log frames of a noisy spectrum with signal A only, seeded; a few, taken in turn.
std::vector<std::vector<std::uint8_t>> frames() {
    std::mt19937 random(36);
    std::uniform_real_distribution<float> noise(-12.0f, 12.0f);
    std::vector<std::vector<std::uint8_t>> all;
    for (std::int32_t i = 0; i < 8; ++i) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kLogSpectrumPayloadSize), 0);
        bytes[0] = 1;
        for (std::int32_t k = 0; k < kLogBands; ++k) {
            const float a = -40.0f + noise(random);
            std::memcpy(&bytes[static_cast<std::size_t>(4 + 8 * k)], &a, 4);
        }
        all.push_back(std::move(bytes));
    }
    return all;
}

void paint(benchmark::State& state, bool spectrogram) {
    host::ModuleLibrary library;
    if (!library.load(host::defaultModulePath())) {
        std::abort();
    }
    host::DisplayLook look = host::defaultLook();
    look.width = kWidth;
    look.height = kHeight;
    host::ViewerPane pane(*library.factory(), 2, look, 1, kRate);
    pane.tools().setSpectrogram(spectrogram);
    const auto scene = frames();
    std::int64_t sample = 0;
    // A full window of columns first, as after a while of running.
    for (std::int32_t i = 0; i < kWidth; ++i) {
        sample += kFrameStep;
        pane.take(0, scene[static_cast<std::size_t>(i) % scene.size()].data(),
                  kLogSpectrumPayloadSize, sample);
    }
    pane.paint();
    std::size_t next = 0;
    for (auto _ : state) {
        sample += kFrameStep;
        pane.take(0, scene[next].data(), kLogSpectrumPayloadSize, sample);
        next = (next + 1) % scene.size();
        benchmark::DoNotOptimize(pane.paint().row(0));
    }
}

void logViewPaint(benchmark::State& state) {
    paint(state, false);
}
BENCHMARK(logViewPaint)->Unit(benchmark::kMicrosecond);

void spectrogramPaint(benchmark::State& state) {
    paint(state, true);
}
BENCHMARK(spectrogramPaint)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace vex

int main(int argc, char** argv) {
    using vex::bench::Ratio;
    return vex::bench::runWithRatios(argc, argv,
                                     {Ratio{"spectrogramPaint", "logViewPaint", 1, 1, 1.2}});
}
