// The time of one paint of the analyzer display: each mode, a small and a large panel,
// one active voice or all 128, both signals present, with background, grid and labels.
//
// Beside it, in the same run, two peers draw the 256 polylines of the 1280 x 600 log
// paint with 128 voices (the points come from the log view's own coordinate computation,
// SpectrumRenderer::curvePoints, on the same frames, in the paint's order):
// - Cairo stroking them aliased, width 1, onto an image surface of the same size;
// - the viewer's opaque Bresenham walk (host::Pixels::walk) over the same points into a
//   plain pixel buffer.
// Ends with the ratios of the paint to each.
#include "analyzer/analyzer_pins.h"
#include "analyzer/audio/analyzer_messages.h"
#include "analyzer/display/analyzer_display.h"
#include "analyzer/display/spectrum_renderer.h"
#include "bench/ratio_reporter.h"
#include "host/kit/view/overlay_pixels.h"
#include "host/kit/view/paint_surface.h"
#include "tests/analyzer/display/test_frames.h"
#include "tests/support/recording_host.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <cstdlib>
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
    std::uniform_real_distribution<float> noise(-6.0f, 6.0f);
    return test::frameFrom(mode, [&](std::int32_t k, float& a, float& b) {
        if (mode == 0) {
            a = std::sin(0.0628f * k) * 0.8f + noise(random) * 0.02f;
            b = std::cos(0.0314f * k) * 0.5f + noise(random) * 0.02f;
        } else {
            a = -20.0f - 0.08f * k + noise(random);
            b = -30.0f - 0.06f * k + noise(random);
        }
    });
}

// The frames of every voice of a paint, as paintOnce delivers them.
std::vector<std::vector<std::uint8_t>> sceneFrames(std::int32_t mode, std::int32_t voices) {
    std::mt19937 random(1234);
    std::vector<std::vector<std::uint8_t>> frames;
    for (std::int32_t v = 0; v < voices; ++v) {
        frames.push_back(frameFor(mode, random));
    }
    return frames;
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
    host::RecordingHost testHost;
    auto* display = new AnalyzerDisplay(testHost.hostPointer());
    display->addRef();
    display->setClock(&fixedClock);
    display->arrange(0, height, 0, width);
    setText(*display, kDisplayBackgroundPin, MP_TEXT("RGB(20,30,40)"));
    setText(*display, kDisplayTrace1Pin, MP_TEXT("RGB(0,255,0)"));
    setText(*display, kDisplayTrace2Pin, MP_TEXT("RGB(255,255,0)"));
    setText(*display, kDisplayLabelPin, MP_TEXT("RGB(0,200,0)"));
    setText(*display, kDisplayGridPin, MP_TEXT("RGB(0,80,0)"));
    const std::uint8_t on = 1;
    display->setPin(kDisplayFollowPin, 0, 1, &on);
    display->notifyPin(kDisplayFollowPin, 0);
    display->setPin(kDisplayModePin, 0, 4, &mode);
    display->notifyPin(kDisplayModePin, 0);

    const std::vector<std::vector<std::uint8_t>> frames = sceneFrames(mode, voices);
    for (std::int32_t v = 0; v < voices; ++v) {
        test::deliverGated(display, v, frames[static_cast<std::size_t>(v)]);
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

// ---- The peers: the polylines of the log paint at 1280 x 600 with 128 voices.
constexpr std::int32_t kPeerWidth = 1280;
constexpr std::int32_t kPeerHeight = 600;
constexpr std::int32_t kPeerVoices = 128;

struct Polyline {
    std::vector<gdip::GpPoint> points;
    std::uint32_t colour;
};

// The curves in the order the paint draws them: every voice but the selected (the last
// gated) one, then the selected one; per voice signal B, then signal A. Labels are on
// and the channels share one pane, as in paintOnce.
const std::vector<Polyline>& peerPolylines() {
    static const std::vector<Polyline> lines = [] {
        const std::vector<std::vector<std::uint8_t>> frames = sceneFrames(2, kPeerVoices);
        RenderState state;
        state.labelsOn = true;
        const PlotLayout layout(RECT{0, 0, kPeerWidth, kPeerHeight}, state);
        const SpectrumRenderer log(0);
        std::vector<Polyline> out;
        for (std::int32_t v = 0; v < kPeerVoices; ++v) {
            const bool selected = v == kPeerVoices - 1;
            for (std::int32_t signal : {1, 0}) {
                Polyline line;
                line.points.resize(static_cast<std::size_t>(log.pointCount()));
                log.curvePoints(signal == 0 ? layout.paneA : layout.paneB,
                                frames[static_cast<std::size_t>(v)].data(), signal,
                                line.points.data());
                line.colour = signal == 0 ? (selected ? 0xff00ff00u : 0xff008200u)
                                          : (selected ? 0xffffff00u : 0xff828200u);
                out.push_back(std::move(line));
            }
        }
        return out;
    }();
    return lines;
}

void cairoStrokeAliased(benchmark::State& state) {
    const std::vector<Polyline>& lines = peerPolylines();
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kPeerWidth, kPeerHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_line_width(cr, 1.0);
    cairo_translate(cr, 0.5, 0.5); // through pixel centres
    for (auto _ : state) {
        for (const Polyline& line : lines) {
            cairo_move_to(cr, line.points[0].X, line.points[0].Y);
            for (std::size_t i = 1; i < line.points.size(); ++i) {
                cairo_line_to(cr, line.points[i].X, line.points[i].Y);
            }
            cairo_set_source_rgba(cr, ((line.colour >> 16) & 0xffu) / 255.0,
                                  ((line.colour >> 8) & 0xffu) / 255.0,
                                  (line.colour & 0xffu) / 255.0, 1.0);
            cairo_stroke(cr);
        }
        cairo_surface_flush(surface);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
BENCHMARK(cairoStrokeAliased)->Unit(benchmark::kMicrosecond);

void bresenhamFloor(benchmark::State& state) {
    const std::vector<Polyline>& lines = peerPolylines();
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kPeerWidth) * kPeerHeight, 0u);
    std::uint32_t* data = pixels.data();
    for (auto _ : state) {
        for (const Polyline& line : lines) {
            const std::uint32_t colour = line.colour;
            for (std::size_t i = 1; i < line.points.size(); ++i) {
                host::Pixels::walk(line.points[i - 1].X, line.points[i - 1].Y, line.points[i].X,
                                   line.points[i].Y,
                                   [data, colour](std::int32_t x, std::int32_t y) {
                                       data[static_cast<std::size_t>(y) * kPeerWidth + x] = colour;
                                   });
            }
        }
        benchmark::DoNotOptimize(data);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(bresenhamFloor)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace vex

int main(int argc, char** argv) {
    using vex::bench::Ratio;
    const char* paint = "paintOnce/mode:2/w:1280/h:600/voices:128";
    return vex::bench::runWithRatios(argc, argv,
                                     {
                                         Ratio{paint, "cairoStrokeAliased", 1, 1, 0.2},
                                         Ratio{paint, "bresenhamFloor", 1, 1, 3.0},
                                         Ratio{"cairoStrokeAliased", "bresenhamFloor"},
                                     });
}
