// The analyzer's audio side beside its peers, in one run:
// - sendFrame per streaming signal (analysis, storing the payload in the frame pin, the
//   host call) against FFTW's single-precision real 1024-point transform plus squared
//   magnitudes (plan made once with FFTW_MEASURE), with the plain per-frame code for the
//   speed-up;
// - process in steady state (48 kHz, 40 frames per second, blocks of 128, both inputs
//   streaming noise) per mode against the floor: a plain loop that scans both input
//   buffers for the first sample <= 0 and copies them;
// - 1, 16 and 128 analyzer objects processing side by side (log mode), for the cost per
//   voice;
// - process on denormal input (the same noise scaled to below the smallest normal float)
//   against process on that noise, per mode.
// Ends with the ratios between them.
#include "analyzer/analyzer_pins.h"
#include "analyzer/audio/analyzer_audio_module.h"
#include "analyzer/audio/spectrum_analyzer.h"
#include "analyzer/audio/spectrum_plain.h"
#include "bench/fftw_peer.h"
#include "bench/ratio_reporter.h"
#include "tests/support/recording_host.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

constexpr std::int32_t kBlock = 128;
constexpr float kRate = 48000.0f;
constexpr std::int32_t kRateChoice40 = 7; // 40 frames per second
enum Mode : std::int32_t { kScope = 0, kLinear = 1, kLog = 2 };

using vex::bench::noise;

// One second of noise per input, shared by every benchmark.
const std::vector<float>& inputA() {
    static const std::vector<float> a = noise(48000, 3);
    return a;
}
const std::vector<float>& inputB() {
    static const std::vector<float> b = noise(48000, 4);
    return b;
}

// The same noise scaled by 2^-130: every sample but the zeros is denormal.
std::vector<float> denormal(const std::vector<float>& in) {
    std::vector<float> out(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        out[i] = std::ldexp(in[i], -130);
    }
    return out;
}
const std::vector<float>& denormalA() {
    static const std::vector<float> a = denormal(inputA());
    return a;
}
const std::vector<float>& denormalB() {
    static const std::vector<float> b = denormal(inputB());
    return b;
}

// An opened module on a host that only counts what it receives, fed from the shared
// inputs (or the denormal ones) starting at `offset`, one block per step().
struct Voice {
    vex::host::RecordingHost host;
    vex::AnalyzerAudioModule* module = nullptr;
    std::int64_t framesSent = 0;
    std::size_t offset;
    const std::vector<float>& a;
    const std::vector<float>& b;

    explicit Voice(std::size_t startOffset, std::int32_t mode, bool denormalInput = false)
        : offset(startOffset), a(denormalInput ? denormalA() : inputA()),
          b(denormalInput ? denormalB() : inputB()) {
        host.sampleRate = kRate;
        host.recordSends = false;
        host.onPinSend = [this](std::int32_t, std::int32_t pin, const void*, std::int32_t size) {
            framesSent += (pin == vex::kAudioFramePin && size > 0) ? 1 : 0;
        };
        module = static_cast<vex::AnalyzerAudioModule*>(
            vex::createAnalyzerAudioModule(host.hostPointer()));
        module->addRef();
        module->open();
        vex::PinEvent events[4] = {};
        events[0] = vex::PinEvent{
            0, vex::kEventStreamingStart, vex::kAudioSignalAPin, 0, {0, 0}, nullptr, &events[1]};
        events[1] = vex::PinEvent{
            0, vex::kEventStreamingStart, vex::kAudioSignalBPin, 0, {0, 0}, nullptr, &events[2]};
        events[2] = vex::PinEvent{
            0, vex::kEventPinValue, vex::kAudioRatePin, 4, {kRateChoice40, 0}, nullptr, &events[3]};
        events[3] = vex::PinEvent{
            0, vex::kEventPinValue, vex::kAudioModePin, 4, {mode, 0}, nullptr, nullptr};
        step(events);
    }
    ~Voice() { module->release(); }
    Voice(const Voice&) = delete;
    Voice& operator=(const Voice&) = delete;

    void step(const vex::PinEvent* events = nullptr) {
        module->setBuffer(vex::kAudioSignalAPin, const_cast<float*>(a.data() + offset));
        module->setBuffer(vex::kAudioSignalBPin, const_cast<float*>(b.data() + offset));
        module->process(kBlock, events);
        offset = (offset + kBlock) % (a.size() - kBlock);
    }
};

void setPerSample(benchmark::State& state, std::int64_t samples) {
    // CPU time per sample (Google Benchmark divides rates by CPU time).
    state.counters["per_sample"] = benchmark::Counter(
        static_cast<double>(samples), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// ---- The FFT peer.

void fftwRealPower1024(benchmark::State& state) {
    vex::bench::fftwRealPower(state, 1024);
}
BENCHMARK(fftwRealPower1024);

// ---- sendFrame: one iteration is one frame; range(0) is the mode, range(1) the number of
// streaming signals. per_signal is the time of one frame divided by that number.

void sendFrame(benchmark::State& state) {
    Voice voice(0, kScope);
    const auto mode = static_cast<std::int32_t>(state.range(0));
    const bool both = state.range(1) == 2;
    vex::SignalAnalyzer& analyzer = voice.module->analyzer(mode);
    analyzer.setSampleRate(kRate);
    const std::vector<float> a = noise(1024, 1);
    const std::vector<float> b = noise(1024, 2);
    analyzer.addSamples(analyzer.frameLength(), 0,
                        vex::AnalyzerInput{a.data(), b.data(), true, both});
    for (auto _ : state) {
        analyzer.sendFrame(voice.module->framePin, 0);
    }
    state.counters["per_signal"] =
        benchmark::Counter(static_cast<double>(state.iterations() * state.range(1)),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(sendFrame)
    ->ArgNames({"mode", "signals"})
    ->Args({kScope, 2})
    ->Args({kLinear, 1})
    ->Args({kLinear, 2})
    ->Args({kLog, 1})
    ->Args({kLog, 2});

// The plain per-frame code for one signal (no pin), for the speed-up.
void plainLevels(benchmark::State& state) {
    const std::vector<float> a = noise(1024, 1);
    float levels[vex::kLogBands];
    const bool linear = state.range(0) == kLinear;
    for (auto _ : state) {
        vex::plain::spectrumLevels(a.data(), kRate, linear, levels);
        benchmark::DoNotOptimize(levels);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(plainLevels)->ArgName("mode")->Arg(kLinear)->Arg(kLog);

// ---- process in steady state: one iteration is one block of 128 samples.

// The floor: scan both inputs for the first sample <= 0, then copy both.
void processFloor(benchmark::State& state) {
    const std::vector<float>& a = inputA();
    const std::vector<float>& b = inputB();
    float copyA[kBlock];
    float copyB[kBlock];
    std::size_t offset = 0;
    std::int64_t samples = 0;
    for (auto _ : state) {
        const float* pa = a.data() + offset;
        const float* pb = b.data() + offset;
        std::int32_t first = -1;
        for (std::int32_t i = 0; i < kBlock; ++i) {
            if (pa[i] <= 0.0f || pb[i] <= 0.0f) {
                first = i;
                break;
            }
        }
        for (std::int32_t i = 0; i < kBlock; ++i) {
            copyA[i] = pa[i];
            copyB[i] = pb[i];
        }
        benchmark::DoNotOptimize(first);
        benchmark::DoNotOptimize(copyA);
        benchmark::DoNotOptimize(copyB);
        benchmark::ClobberMemory();
        offset = (offset + kBlock) % (a.size() - kBlock);
        samples += kBlock;
    }
    setPerSample(state, samples);
}
BENCHMARK(processFloor);

void runProcess(benchmark::State& state, bool denormalInput) {
    Voice voice(0, static_cast<std::int32_t>(state.range(0)), denormalInput);
    for (int i = 0; i < 48000 / kBlock; ++i) { // one second to reach steady state
        voice.step();
    }
    const std::int64_t framesBefore = voice.framesSent;
    std::int64_t samples = 0;
    for (auto _ : state) {
        voice.step();
        samples += kBlock;
    }
    setPerSample(state, samples);
    state.counters["frames_per_s"] = static_cast<double>(voice.framesSent - framesBefore) * kRate /
                                     static_cast<double>(samples > 0 ? samples : 1);
}
void process(benchmark::State& state) {
    runProcess(state, false);
}
BENCHMARK(process)->ArgName("mode")->Arg(kScope)->Arg(kLinear)->Arg(kLog);

void processDenormal(benchmark::State& state) {
    runProcess(state, true);
}
BENCHMARK(processDenormal)->ArgName("mode")->Arg(kScope)->Arg(kLinear)->Arg(kLog);

// ---- Voices side by side (log mode): one iteration is one block for every voice, each
// voice reading the inputs from its own starting point so their frames fall apart.

void voices(benchmark::State& state) {
    const auto count = static_cast<std::int32_t>(state.range(0));
    std::vector<std::unique_ptr<Voice>> all;
    for (std::int32_t v = 0; v < count; ++v) {
        all.push_back(std::make_unique<Voice>(static_cast<std::size_t>(v) * 353u % 47000u, kLog));
    }
    for (int i = 0; i < 48000 / kBlock; ++i) {
        for (auto& voice : all) {
            voice->step();
        }
    }
    std::int64_t samples = 0;
    for (auto _ : state) {
        for (auto& voice : all) {
            voice->step();
        }
        samples += kBlock;
    }
    state.counters["per_voice_sample"] =
        benchmark::Counter(static_cast<double>(samples * count),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(voices)->ArgName("count")->Arg(1)->Arg(16)->Arg(128);

} // namespace

int main(int argc, char** argv) {
    using vex::bench::Ratio;
    const std::string fftw = "fftwRealPower1024";
    return vex::bench::runWithRatios(
        argc, argv,
        {
            Ratio{"sendFrame/mode:2/signals:1", fftw, 1, 1, 11.0},
            Ratio{"sendFrame/mode:2/signals:2", fftw, 2, 1, 11.0},
            Ratio{"sendFrame/mode:1/signals:1", fftw, 1, 1, 9.0},
            Ratio{"sendFrame/mode:1/signals:2", fftw, 2, 1, 9.0},
            Ratio{"plainLevels/mode:2", fftw},
            Ratio{"plainLevels/mode:1", fftw},
            Ratio{"process/mode:2", "processFloor", 1, 1, 20.0},
            Ratio{"process/mode:1", "processFloor"},
            Ratio{"process/mode:0", "processFloor"},
            Ratio{"voices/count:16", "voices/count:1", 16},
            Ratio{"voices/count:128", "voices/count:1", 128},
            Ratio{"processDenormal/mode:0", "process/mode:0", 1, 1, 1.5},
            Ratio{"processDenormal/mode:1", "process/mode:1", 1, 1, 1.5},
            Ratio{"processDenormal/mode:2", "process/mode:2", 1, 1, 1.5},
        });
}
