// Drives the analyzer's audio object as a hostile host would: open at any sample rate
// (0, negative, NaN, infinite, fractional, 1 Hz to 768 kHz and beyond), buffers set or
// not, blocks of 0 to 16384 samples (and negative counts), timed events out of order,
// past the block's end, negative, for unknown pins and types, with inline or pointed values
// of any size, samples NaN, ±Inf, denormal or ±1e30, and a release at any point.
//
// Everything the object sends must be well formed: a frame of one of the three lengths
// (or empty) with presence bytes 0 or 1 and spectrum levels never below their floor, the
// host flag as one byte, and never another pin.
#include "analyzer/analyzer_pins.h"
#include "analyzer/audio/analyzer_messages.h"
#include "framework/audio/audio_module_interface.h"
#include "framework/audio/module_entry.h"
#include "framework/audio/module_factory.h"
#include "fuzz/fuzz_checks.h"
#include "tests/support/recording_host.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr std::int32_t kLargestBlock = 16384;
// Bounds the work of one input, so that the fuzzer keeps its pace.
constexpr std::int32_t kMostActions = 96;
constexpr std::int64_t kMostSamples = 1 << 18;

float readFloat(const std::uint8_t* bytes, std::int32_t offset) {
    float value;
    std::memcpy(&value, bytes + offset, sizeof(value));
    return value;
}

// Set when the host itself gave the frame pin a value: the framework's value pins take a
// host's value whatever their direction, and the frame pin then sends those bytes on.
bool hostSetFramePin = false;

// Every value the object sends goes through here.
void checkSend(std::int32_t time, std::int32_t pinId, const void* data, std::int32_t size) {
    check(time >= 0 && time <= kLargestBlock);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (pinId == vex::kAudioHostFlagPin) {
        check(size == 1 && bytes != nullptr && bytes[0] <= 1);
        return;
    }
    check(pinId == vex::kAudioFramePin);
    if (size == 0) {
        return;
    }
    check(bytes != nullptr);
    if (hostSetFramePin) {
        return;
    }
    check(size == vex::kScopePayloadSize || size == vex::kLinearSpectrumPayloadSize ||
          size == vex::kLogSpectrumPayloadSize);
    check(bytes[0] <= 1 && bytes[1] <= 1);
    if (size == vex::kScopePayloadSize) {
        return; // the samples as received, whatever they are
    }
    const float floor = size == vex::kLinearSpectrumPayloadSize ? -130.76f : -119.9f;
    const std::int32_t records = (size - vex::kPayloadHeaderSize) / 8;
    for (std::int32_t k = 0; k < records; ++k) {
        for (std::int32_t signal = 0; signal < 2; ++signal) {
            if (bytes[signal] == 0) {
                continue;
            }
            const float level = readFloat(bytes, vex::kPayloadHeaderSize + 8 * k + 4 * signal);
            check(std::isnan(level) || level >= floor);
        }
    }
}

float sampleRate(FuzzedDataProvider& data) {
    static const float kRates[] = {
        0.0f,      -1.0f,     -48000.0f, std::numeric_limits<float>::quiet_NaN(),
        1.0f,      8000.0f,   11025.0f,  22050.0f,
        44100.0f,  48000.0f,  88200.0f,  96000.0f,
        176400.0f, 192000.0f, 384000.0f, 768000.0f,
        44100.5f,  0.25f,     FLT_MIN,   1e-40f,
        FLT_MAX,   INFINITY,  -INFINITY, 2147483648.0f,
        4.0e9f,    1e30f,     7.5f,      47999.99f,
    };
    if (data.ConsumeBool()) {
        return data.PickValueInArray(kRates);
    }
    return data.ConsumeFloatingPoint<float>();
}

// The signals that do not depend on a fuzzed value, one block each, computed once.
// Why: generating them sample by sample for every input cost more than the module's own
// work on it; copying a finished block gives the same samples.
struct Signals {
    enum Kind { kSilence, kSine, kNan, kInfinities, kDenormals, kHuge, kNyquist, kImpulse, kFixed };
    std::vector<float> fixed[kFixed];
    std::vector<float> slowSine;

    Signals() {
        for (std::vector<float>& signal : fixed) {
            signal.resize(kLargestBlock);
        }
        slowSine.resize(kLargestBlock);
        for (std::size_t i = 0; i < static_cast<std::size_t>(kLargestBlock); ++i) {
            fixed[kSilence][i] = 0.0f;
            fixed[kSine][i] = static_cast<float>(std::sin(0.01 * static_cast<double>(i) * 2));
            fixed[kNan][i] = std::numeric_limits<float>::quiet_NaN();
            fixed[kInfinities][i] = (i % 2 == 0) ? INFINITY : -INFINITY;
            fixed[kDenormals][i] = (i % 3 == 0) ? 1e-40f : -FLT_MIN;
            fixed[kHuge][i] = (i % 2 == 0) ? 1e30f : -1e30f;
            fixed[kNyquist][i] = (i % 2 == 0) ? 1.0f : -1.0f;
            fixed[kImpulse][i] = i == 0 ? 1.0f : 0.0f;
            slowSine[i] = static_cast<float>(std::sin(static_cast<double>(i) * 0.003));
        }
    }
};

// The per-sample loops of the signals that scale with a fuzzed value. Why outside the
// coverage instrumentation: a comparison hook per sample of the harness's own arithmetic
// was most of an input's cost, and tells the fuzzer nothing about the module. Not inlined,
// or the caller's instrumentation would cover the loops again.
__attribute__((no_sanitize("coverage"), noinline)) void alternate(float* samples, std::size_t n,
                                                                  float value) {
    for (std::size_t i = 0; i < n; ++i) {
        samples[i] = (i % 7 == 0) ? value : -value;
    }
}

__attribute__((no_sanitize("coverage"), noinline)) void scale(float* samples, const float* unit,
                                                              std::size_t n, float gain) {
    for (std::size_t i = 0; i < n; ++i) {
        samples[i] = unit[i] * gain;
    }
}

__attribute__((no_sanitize("coverage"), noinline)) void constant(float* samples, std::size_t n,
                                                                 float value) {
    for (std::size_t i = 0; i < n; ++i) {
        samples[i] = value;
    }
}

// Fills `samples` (kLargestBlock of them) with one of the signals a host might hand in:
// silence, a sine, NaN, alternating infinities, denormals, ±1e30, a Nyquist tone, an
// impulse, DC of any value, a square-ish wave of any value, or a slow sine of any gain.
void fill(FuzzedDataProvider& data, float* samples) {
    static const Signals signals;
    const int kind = data.ConsumeIntegralInRange<int>(0, 11);
    const float value = data.ConsumeFloatingPoint<float>();
    const std::size_t n = static_cast<std::size_t>(kLargestBlock);
    if (kind < Signals::kFixed) {
        std::memcpy(samples, signals.fixed[kind].data(), n * sizeof(float));
    } else if (kind == 8) {
        constant(samples, n, value);
    } else if (kind == 9) {
        alternate(samples, n, value);
    } else {
        scale(samples, signals.slowSine.data(), n, std::isfinite(value) ? value : 1.0f);
    }
}

// The values events point to live here until the block is processed.
struct EventBlock {
    std::vector<vex::PinEvent> events;
    std::vector<std::vector<std::uint8_t>> values;

    const vex::PinEvent* first() const { return events.empty() ? nullptr : events.data(); }
};

void makeEvents(FuzzedDataProvider& data, std::int32_t frames, EventBlock& block) {
    const std::int32_t blockSize = frames > 0 ? frames : 0;
    const std::size_t count = data.ConsumeIntegralInRange<std::size_t>(0, 8);
    block.events.assign(count, vex::PinEvent{});
    block.values.clear();
    block.values.reserve(count);
    std::int32_t time = 0;
    for (std::size_t i = 0; i < count; ++i) {
        vex::PinEvent& e = block.events[i];
        switch (data.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: // in order
            time = static_cast<std::int32_t>(std::min<std::int64_t>(
                std::int64_t{time} + data.ConsumeIntegralInRange<std::int32_t>(0, blockSize + 1),
                std::numeric_limits<std::int32_t>::max()));
            break;
        case 1: // anywhere in or near the block, out of order
            time = data.ConsumeIntegralInRange<std::int32_t>(-2, blockSize + 2);
            break;
        case 2:
            break; // same time as the previous one: one group
        default:
            time = data.ConsumeIntegral<std::int32_t>();
            break;
        }
        e.time = time;
        e.type = data.ConsumeBool() ? data.ConsumeIntegralInRange<std::int32_t>(99, 105)
                                    : data.ConsumeIntegral<std::int32_t>();
        e.pinId = data.ConsumeBool() ? data.ConsumeIntegralInRange<std::int32_t>(-1, 7)
                                     : data.ConsumeIntegral<std::int32_t>();
        switch (data.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: // inline, any claimed size
            e.valueSize = data.ConsumeIntegralInRange<std::int32_t>(-4, 12);
            e.value[0] = data.ConsumeIntegral<std::int32_t>();
            e.value[1] = data.ConsumeIntegral<std::int32_t>();
            e.valuePointer = nullptr;
            break;
        case 1: { // pointed, of the size it claims
            const std::int32_t size =
                data.PickValueInArray({0, 1, 3, 4, 8, 9, 1604, 4100, 4228, 4229, 65536,
                                       data.ConsumeIntegralInRange<std::int32_t>(0, 9000)});
            std::vector<std::uint8_t> bytes = data.ConsumeBytes<std::uint8_t>(
                static_cast<std::size_t>(data.ConsumeIntegralInRange<std::int32_t>(0, 16)));
            bytes.resize(static_cast<std::size_t>(size), 0x5a);
            block.values.push_back(std::move(bytes));
            e.valueSize = size;
            e.valuePointer = block.values.back().empty() ? static_cast<const void*>(e.value)
                                                         : block.values.back().data();
            break;
        }
        case 2: // a pointer with a size that reads nothing
            e.valueSize = data.ConsumeIntegralInRange<std::int32_t>(
                std::numeric_limits<std::int32_t>::min(), 0);
            e.valuePointer = e.value;
            break;
        default: // a claimed size with no pointer
            e.valueSize = data.ConsumeIntegral<std::int32_t>();
            e.valuePointer = nullptr;
            break;
        }
        if (e.type == vex::kEventPinValue && e.pinId == vex::kAudioFramePin) {
            hostSetFramePin = true;
        }
        e.next = i + 1 < count ? &block.events[i + 1] : nullptr;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static const int registered = vex::registerModuleClasses();
    (void)registered;
    FuzzedDataProvider data(bytes, size);

    hostSetFramePin = false;
    vex::host::RecordingHost host;
    host.recordSends = false;
    host.onPinSend = checkSend;
    host.sampleRate = sampleRate(data);
    host.hostFlag = data.ConsumeIntegral<std::int32_t>();

    auto* module = createAnalyzer<vex::AudioModuleInterface>(0, host.hostPointer());

    // Buffers as large as the largest block, as a host has them. Allocated once (each input
    // fills both before use, so nothing carries over from the previous input); they stay
    // separate heap blocks, so a read or write past either end still meets a redzone.
    static std::vector<float> a(kLargestBlock);
    static std::vector<float> b(kLargestBlock);
    fill(data, a.data());
    fill(data, b.data());

    EventBlock events;
    std::int64_t samples = 0;
    bool released = false;
    for (std::int32_t action = 0; action < kMostActions && data.remaining_bytes() > 0 && !released;
         ++action) {
        switch (data.ConsumeIntegralInRange<int>(0, 7)) {
        case 0:
            host.sampleRate = sampleRate(data);
            host.hostFlag = data.ConsumeIntegral<std::int32_t>();
            check(module->open() == vex::kMpOk);
            break;
        case 1: {
            const std::int32_t pin = data.ConsumeBool()
                                         ? data.ConsumeIntegralInRange<std::int32_t>(-1, 7)
                                         : data.ConsumeIntegral<std::int32_t>();
            const int which = data.ConsumeIntegralInRange<int>(0, 2);
            float* buffer = which == 0 ? a.data() : (which == 1 ? b.data() : nullptr);
            const std::int32_t result = module->setBuffer(pin, buffer);
            check(result == vex::kMpOk || result == vex::kMpFail);
            break;
        }
        case 2:
            fill(data, data.ConsumeBool() ? a.data() : b.data());
            break;
        case 3:
        case 4:
        case 5: {
            std::int32_t frames = 0;
            switch (data.ConsumeIntegralInRange<int>(0, 3)) {
            case 0:
                frames = data.PickValueInArray({0, 1, 2, 3, 17, 127, 2027, 4096, kLargestBlock});
                break;
            case 1:
                frames = data.ConsumeIntegralInRange<std::int32_t>(0, 256);
                break;
            case 2:
                frames = data.ConsumeIntegralInRange<std::int32_t>(0, kLargestBlock);
                break;
            default:
                frames = data.ConsumeIntegralInRange<std::int32_t>(
                    std::numeric_limits<std::int32_t>::min(), -1);
                break;
            }
            makeEvents(data, frames, events);
            const std::int32_t repeats = data.ConsumeIntegralInRange<std::int32_t>(1, 16);
            for (std::int32_t r = 0; r < repeats && samples < kMostSamples; ++r) {
                check(module->process(frames, r == 0 ? events.first() : nullptr) == vex::kMpOk);
                samples += frames > 0 ? frames : 0;
            }
            break;
        }
        case 6: {
            vex::MpGuid iid{};
            const std::vector<std::uint8_t> raw = data.ConsumeBytes<std::uint8_t>(sizeof(iid));
            if (!raw.empty()) {
                std::memcpy(&iid, raw.data(), raw.size());
            }
            if (data.ConsumeBool()) {
                iid = vex::kAudioModuleInterfaceId;
            }
            void* answer = nullptr;
            if (module->queryInterface(&iid, &answer) == vex::kMpOk) {
                check(answer == module);
                check(module->release() > 0);
            } else {
                check(answer == nullptr);
            }
            check(module->reserved7(data.ConsumeIntegral<std::int32_t>(), 0, 0) == vex::kMpOk);
            break;
        }
        default:
            // Release at any point: the host's reference was the only one.
            check(module->release() == 0);
            released = true;
            break;
        }
    }
    if (!released) {
        check(module->release() == 0);
    }
    check(host.references(vex::kHostAudioInterfaceId) == 0);
    return 0;
}
