// The analyzer's audio side: the cost of one sendFrame per analyzer (analysis, storing the
// payload in the frame pin, the host call), and of process in steady state at 48 kHz and
// 40 frames per second with both inputs streaming, per mode, in ns per sample.
#include "analyzer/audio/analyzer_audio_module.h"
#include "host/test_host.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

constexpr std::int32_t kBlock = 128;

std::vector<float> noise(std::size_t n, unsigned seed) {
    std::vector<float> values(n);
    unsigned state = seed;
    for (float& v : values) {
        state = state * 1664525u + 1013904223u;
        v = static_cast<float>(static_cast<int>(state >> 8) - (1 << 23)) / (1 << 23);
    }
    return values;
}

// An opened module on a host that only counts what it receives.
struct Rig {
    vex::host::TestHost host;
    vex::AnalyzerAudioModule* module = nullptr;
    std::int64_t framesSent = 0;

    Rig() {
        host.sampleRate = 48000.0f;
        host.recordSends = false;
        host.onPinSend = [this](std::int32_t, std::int32_t pin, const void*, std::int32_t size) {
            framesSent += (pin == 0 && size > 0) ? 1 : 0;
        };
        module = static_cast<vex::AnalyzerAudioModule*>(
            vex::createAnalyzerAudioModule(host.hostPointer()));
        module->addRef();
        module->open();
    }
    ~Rig() { module->release(); }
};

void sendFrame(benchmark::State& state) {
    Rig rig;
    vex::SignalAnalyzer& analyzer = rig.module->analyzer(static_cast<std::int32_t>(state.range(0)));
    analyzer.setSampleRate(48000.0f);
    const std::vector<float> a = noise(1024, 1);
    const std::vector<float> b = noise(1024, 2);
    analyzer.addSamples(analyzer.frameLength(), 0,
                        vex::AnalyzerInput{a.data(), b.data(), true, true});
    for (auto _ : state) {
        analyzer.sendFrame(rig.module->framePin, 0);
    }
    state.SetLabel(state.range(0) == 0 ? "scope" : state.range(0) == 1 ? "linear" : "log");
}
BENCHMARK(sendFrame)->Arg(0)->Arg(1)->Arg(2);

void process(benchmark::State& state) {
    Rig rig;
    // One second of input per signal, looped.
    const std::vector<float> a = noise(48000, 3);
    const std::vector<float> b = noise(48000, 4);
    vex::PinEvent events[4] = {};
    events[0] = vex::PinEvent{0, vex::kEventStreamingStart, 4, 0, {0, 0}, nullptr, &events[1]};
    events[1] = vex::PinEvent{0, vex::kEventStreamingStart, 5, 0, {0, 0}, nullptr, &events[2]};
    events[2] = vex::PinEvent{0, vex::kEventPinValue, 6, 4, {7, 0}, nullptr, &events[3]};
    events[3] = vex::PinEvent{
        0,      vex::kEventPinValue, 1, 4, {static_cast<std::int32_t>(state.range(0)), 0}, nullptr,
        nullptr};
    std::size_t offset = 0;
    auto block = [&](const vex::PinEvent* list) {
        rig.module->setBuffer(4, const_cast<float*>(a.data() + offset));
        rig.module->setBuffer(5, const_cast<float*>(b.data() + offset));
        rig.module->process(kBlock, list);
        offset = (offset + kBlock) % (a.size() - kBlock);
    };
    block(events);
    for (int i = 0; i < 48000 / kBlock; ++i) { // one second to reach steady state
        block(nullptr);
    }
    const std::int64_t framesBefore = rig.framesSent;
    std::int64_t samples = 0;
    for (auto _ : state) {
        block(nullptr);
        samples += kBlock;
    }
    // CPU time per sample (Google Benchmark divides rates by CPU time).
    state.counters["per_sample"] = benchmark::Counter(
        static_cast<double>(samples), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["frames_per_s"] = static_cast<double>(rig.framesSent - framesBefore) * 48000.0 /
                                     static_cast<double>(samples > 0 ? samples : 1);
    state.SetLabel(state.range(0) == 0 ? "scope" : state.range(0) == 1 ? "linear" : "log");
}
BENCHMARK(process)->Arg(0)->Arg(1)->Arg(2);

} // namespace

BENCHMARK_MAIN();
