// The time of one paint of the analyzer display: each mode, a small and a large panel,
// one active voice or all 128, both signals present, with background, grid and labels.
#include "analyzer/audio/analyzer_messages.h"
#include "analyzer/display/analyzer_display.h"
#include "host/paint_surface.h"
#include "host/test_host.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace vex {
namespace {

std::uint32_t fixedClock() {
    return 1000000;
}

// A frame of `points` records: a noisy level curve or waveform per signal.
std::vector<std::uint8_t> frameFor(std::int32_t mode, std::mt19937& random) {
    const std::int32_t points = mode == 0 ? kScopePoints : (mode == 1 ? kLinearBins : kLogBands);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kPayloadHeaderSize + 8 * points));
    bytes[0] = 1;
    bytes[1] = 1;
    std::uniform_real_distribution<float> noise(-6.0f, 6.0f);
    for (std::int32_t k = 0; k < points; ++k) {
        float a;
        float b;
        if (mode == 0) {
            a = std::sin(0.0628f * k) * 0.8f + noise(random) * 0.02f;
            b = std::cos(0.0314f * k) * 0.5f + noise(random) * 0.02f;
        } else {
            a = -20.0f - 0.08f * k + noise(random);
            b = -30.0f - 0.06f * k + noise(random);
        }
        std::memcpy(&bytes[static_cast<std::size_t>(4 + 8 * k)], &a, 4);
        std::memcpy(&bytes[static_cast<std::size_t>(8 + 8 * k)], &b, 4);
    }
    return bytes;
}

void setText(AnalyzerDisplay& display, std::int32_t pin, const MpString& text) {
    display.setPin(pin, 0, static_cast<std::int32_t>(2 * text.size()), text.data());
    display.notifyPin(pin, 0);
}

// Arguments: mode, width, height, active voices.
void paintOnce(benchmark::State& state) {
    const auto mode = static_cast<std::int32_t>(state.range(0));
    const auto width = static_cast<std::int32_t>(state.range(1));
    const auto height = static_cast<std::int32_t>(state.range(2));
    const auto voices = static_cast<std::int32_t>(state.range(3));

    host::startGdiplus();
    host::TestHost testHost;
    auto* display = new AnalyzerDisplay(testHost.hostPointer());
    display->addRef();
    display->setClock(&fixedClock);
    display->arrange(0, height, 0, width);
    setText(*display, 6, MP_TEXT("RGB(20,30,40)"));
    setText(*display, 7, MP_TEXT("RGB(0,255,0)"));
    setText(*display, 8, MP_TEXT("RGB(255,255,0)"));
    setText(*display, 9, MP_TEXT("RGB(0,200,0)"));
    setText(*display, 10, MP_TEXT("RGB(0,80,0)"));
    const std::uint8_t on = 1;
    display->setPin(2, 0, 1, &on); // follow voices
    display->notifyPin(2, 0);
    display->setPin(4, 0, 4, &mode);
    display->notifyPin(4, 0);

    std::mt19937 random(1234);
    for (std::int32_t v = 0; v < voices; ++v) {
        const std::vector<std::uint8_t> frame = frameFor(mode, random);
        display->setPin(0, v, static_cast<std::int32_t>(frame.size()), frame.data());
        display->notifyPin(0, v);
        const float gate = 1.0f;
        display->setPin(3, v, 4, &gate);
        display->notifyPin(3, v);
    }

    host::PaintSurface surface(width, height);
    for (auto _ : state) {
        display->paint(surface.dc());
        benchmark::DoNotOptimize(surface.pixel(width / 2, height / 2));
    }
    display->release();
}

void arguments(benchmark::internal::Benchmark* b) {
    for (int mode : {0, 1, 2}) {
        for (auto [w, h] : {std::pair{425, 225}, std::pair{1280, 600}}) {
            for (int voices : {1, 128}) {
                b->Args({mode, w, h, voices});
            }
        }
    }
    b->ArgNames({"mode", "w", "h", "voices"})->Unit(benchmark::kMicrosecond);
}

BENCHMARK(paintOnce)->Apply(arguments);

} // namespace
} // namespace vex

BENCHMARK_MAIN();
