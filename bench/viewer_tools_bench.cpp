// What the viewer's tools cost a window's paint: the display's paint of the same frames at
// the same size (log view, 640 x 360, 4 voices, both signals) with no tool on, beside the
// same paint followed by every tool's drawing (peak hold holding, a reference of the view,
// a 4.5 dB/oct tilt and slow smoothing applied to the frames, the cursor readout under a
// pointer, the status line, the help and the strip). The frames are handed to the display
// (through the tools, or straight with none) before the timing; each iteration is one
// paint of the window, as a repaint between frames is. Ends with the ratio, held to 1.15.
// The difference (B against A of the highlighted voice) is timed on its own: a frame taken
// into its averages and the scale and curve drawn, against the paint without tools, held to
// 0.15. Why on its own: a whole-paint ratio moves more than that with the machine's load.
#include "bench/ratio_reporter.h"
#include "host/kit/module_library.h"
#include "host/kit/view/display_session.h"
#include "host/kit/view/viewer_tools.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace vex {
namespace {

constexpr std::int32_t kWidth = 640;
constexpr std::int32_t kHeight = 360;
constexpr std::int32_t kVoices = 4;
constexpr double kRate = 48000.0;

// Log frames of a noisy, level spectrum per voice and signal, seeded. Why level: tilted
// by 4.5 dB/oct it still lies inside the pane, as it does untilted, so both paints draw
// curves of the same kind rather than one clamped to the pane's bottom.
std::vector<std::vector<std::uint8_t>> frames() {
    std::mt19937 random(24);
    std::uniform_real_distribution<float> noise(-6.0f, 6.0f);
    std::vector<std::vector<std::uint8_t>> all;
    for (std::int32_t v = 0; v < kVoices; ++v) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kLogSpectrumPayloadSize), 0);
        bytes[0] = 1;
        bytes[1] = 1;
        for (std::int32_t k = 0; k < kLogBands; ++k) {
            const float a = -36.0f + noise(random);
            const float b = -44.0f + noise(random);
            std::memcpy(&bytes[static_cast<std::size_t>(4 + 8 * k)], &a, 4);
            std::memcpy(&bytes[static_cast<std::size_t>(8 + 8 * k)], &b, 4);
        }
        all.push_back(std::move(bytes));
    }
    return all;
}

struct Window {
    Window() {
        host::startGdiplus();
        if (!library.load(host::defaultModulePath())) {
            std::abort();
        }
        host::DisplayLook look = host::defaultLook();
        look.width = kWidth;
        look.height = kHeight;
        look.follow = true;
        session =
            std::make_unique<host::DisplaySession>(*library.factory(), 2, look, kVoices, kRate);
        surface = std::make_unique<host::PaintSurface>(kWidth, kHeight);
    }
    host::ModuleLibrary library;
    std::unique_ptr<host::DisplaySession> session;
    std::unique_ptr<host::PaintSurface> surface;
};

void paint(benchmark::State& state, bool tools, bool paintDisplay = true) {
    Window window;
    const auto scene = frames();
    host::ViewerTools viewer(2, kRate);
    viewer.setHighlighted(kVoices - 1);
    const host::PlotLayout layout = host::plotLayout(kWidth, kHeight, true, false);
    if (tools) {
        viewer.setTilt(host::Tilt::kFourAndHalf);
        viewer.setSmoothing(host::Smoothing::kSlow);
        for (std::int32_t v = 0; v < kVoices; ++v) {
            viewer.take(v, scene[static_cast<std::size_t>(v)].data(), kLogSpectrumPayloadSize, 0.0);
        }
        viewer.storeReference();
        viewer.setHelp(true);
        viewer.setStripShown(true);
        viewer.pointerAt(300, 150);
    } else {
        viewer.setPeakHold(false);
        viewer.setReadout(false);
    }
    const std::int64_t sample = 48000;
    const double seconds = static_cast<double>(sample) / kRate;
    for (std::int32_t round = 0; round < 2; ++round) {
        for (std::int32_t v = 0; v < kVoices; ++v) {
            const std::uint8_t* bytes = scene[static_cast<std::size_t>(v)].data();
            if (tools) {
                bytes = viewer.take(v, bytes, kLogSpectrumPayloadSize, seconds);
            }
            window.session->deliverFrame(v, bytes, kLogSpectrumPayloadSize, sample);
        }
    }
    window.session->paint(*window.surface, sample);
    for (auto _ : state) {
        if (paintDisplay) {
            window.session->paint(*window.surface, sample);
        }
        if (tools) {
            viewer.draw(*window.surface, layout, false, seconds);
        }
        benchmark::DoNotOptimize(window.surface->row(0));
    }
}

void paintWithoutTools(benchmark::State& state) {
    paint(state, false);
}
BENCHMARK(paintWithoutTools)->Unit(benchmark::kMicrosecond);

void paintWithEveryTool(benchmark::State& state) {
    paint(state, true);
}
BENCHMARK(paintWithEveryTool)->Unit(benchmark::kMicrosecond);

// The tools' drawing alone, over a picture painted once: their own share of the above.
void everyToolDrawnAlone(benchmark::State& state) {
    paint(state, true, false);
}
BENCHMARK(everyToolDrawnAlone)->Unit(benchmark::kMicrosecond);

// The difference alone: each iteration takes a frame (its averages move, so the curve is
// worked out again) and draws the difference over the picture. The frame's B is its A
// through a bell of +9 dB at 1 kHz, an octave wide, as a processor's input and output
// are: its difference is a smooth curve, as an average over time is.
void differenceDrawnAlone(benchmark::State& state) {
    Window window;
    const auto scene = frames();
    host::ViewerTools viewer(2, kRate);
    viewer.setHighlighted(kVoices - 1);
    viewer.setPeakHold(false);
    viewer.setReadout(false);
    viewer.setDifference(true);
    const host::PlotLayout layout = host::plotLayout(kWidth, kHeight, true, false);
    std::vector<std::uint8_t> frame = scene[kVoices - 1];
    for (std::int32_t k = 0; k < kLogBands; ++k) {
        float a = 0.0f;
        std::memcpy(&a, &frame[static_cast<std::size_t>(4 + 8 * k)], 4);
        const double octaves = (k - 319.0) / 48.0; // band 319 is 1 kHz
        const auto b = static_cast<float>(a + 9.0 * std::exp(-4.0 * octaves * octaves));
        std::memcpy(&frame[static_cast<std::size_t>(8 + 8 * k)], &b, 4);
    }
    const std::uint8_t* bytes = frame.data();
    window.session->paint(*window.surface, 0);
    double seconds = 0.0;
    for (auto _ : state) {
        seconds += 0.04;
        viewer.take(kVoices - 1, bytes, kLogSpectrumPayloadSize, seconds);
        viewer.draw(*window.surface, layout, false, seconds);
        benchmark::DoNotOptimize(window.surface->row(0));
    }
    if (viewer.differenceValues().empty() || !viewer.differenceProblem().empty()) {
        state.SkipWithError("no difference was drawn");
    }
}
BENCHMARK(differenceDrawnAlone)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace vex

int main(int argc, char** argv) {
    using vex::bench::Ratio;
    return vex::bench::runWithRatios(
        argc, argv,
        {Ratio{"paintWithEveryTool", "paintWithoutTools", 1, 1, 1.15},
         Ratio{"differenceDrawnAlone", "paintWithoutTools", 1, 1, 0.15}});
}
