// The audio path is real-time safe: a million process calls with random block sizes,
// random timed events, all three modes, sample-rate changes through open, and the stop
// request, on a thread marked as the audio thread. Nothing may allocate, free or lock
// there (the frame pin's storage is sized for the longest frame when the object is made),
// nor touch memory for the first time (page faults).
//
// The module's classes are linked into this program (not loaded from the plug-in), so
// that the counters see the module's own allocations on every platform: natively through
// the malloc family and pthread locks, on Windows through operator new and delete.
#include "analyzer/audio/analyzer_audio_module.h"
#include "analyzer/audio/analyzer_messages.h"
#include "tests/support/realtime_counters.h"
#include "tests/support/recording_host.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace vex::test {
namespace {

constexpr std::int32_t kCalls = 1000000;
constexpr std::int32_t kLargestBlock = 4096;
constexpr std::int32_t kSignalLength = 1 << 16;

// What the host saw, counted without allocating.
struct FrameTally {
    std::int64_t frames[3] = {0, 0, 0}; // scope, linear, log
    std::int64_t empty = 0;
    std::int64_t malformed = 0;
    std::int32_t longest = 0;

    void take(std::int32_t pinId, std::int32_t size, const void* data) {
        if (pinId != kAudioFramePin) {
            return;
        }
        if (size > longest) {
            longest = size;
        }
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        if (size == 0) {
            ++empty;
        } else if (bytes == nullptr || bytes[0] > 1 || bytes[1] > 1) {
            ++malformed;
        } else if (size == kScopePayloadSize) {
            ++frames[0];
        } else if (size == kLinearSpectrumPayloadSize) {
            ++frames[1];
        } else if (size == kLogSpectrumPayloadSize) {
            ++frames[2];
        } else {
            ++malformed;
        }
    }
};

// Two signals with zero crossings and noise, long enough to hand out any block at a
// random offset.
std::vector<float> makeSignal(std::uint32_t seed, double cycle) {
    std::mt19937 random(seed);
    std::normal_distribution<float> noise(0.0f, 0.05f);
    std::vector<float> signal(kSignalLength + kLargestBlock);
    for (std::size_t i = 0; i < signal.size(); ++i) {
        signal[i] =
            static_cast<float>(0.8 * std::sin(static_cast<double>(i) * cycle)) + noise(random);
    }
    return signal;
}

// The events of one block: built in place, values inline or in `pointed`.
class EventScript {
public:
    explicit EventScript(std::mt19937& random) : random(random) {}

    // Up to four events at non-decreasing times within the block, or none (most blocks).
    const PinEvent* next(std::int32_t blockSize) {
        if (chance(random) >= 0.03) {
            return nullptr;
        }
        const std::int32_t count = 1 + static_cast<std::int32_t>(random() % 4);
        std::int32_t time = 0;
        for (std::int32_t i = 0; i < count; ++i) {
            time += static_cast<std::int32_t>(random() %
                                              static_cast<std::uint32_t>(blockSize - time + 1));
            PinEvent& e = events[static_cast<std::size_t>(i)];
            e = PinEvent{};
            e.time = time;
            fill(e);
            e.next = i + 1 < count ? &events[static_cast<std::size_t>(i + 1)] : nullptr;
        }
        return events.data();
    }

private:
    void fill(PinEvent& e) {
        switch (random() % 10) {
        case 0:
        case 1:
        case 2: // mode, now and then out of range
            value(e, kAudioModePin, static_cast<std::int32_t>(random() % 5) - 1);
            break;
        case 3:
            value(e, kAudioRatePin, static_cast<std::int32_t>(random() % 10) - 1);
            break;
        case 4: { // the stop request, or its release
            const float enable = random() % 3 == 0 ? 0.0f : 1.0f;
            e.type = kEventPinValue;
            e.pinId = kAudioEnablePin;
            e.valueSize = 4;
            std::memcpy(e.value, &enable, 4);
            break;
        }
        case 5:
        case 6: // streaming starts more often than it stops
            e.type = random() % 3 == 0 ? kEventStreamingStop : kEventStreamingStart;
            e.pinId = random() % 2 == 0 ? kAudioSignalAPin : kAudioSignalBPin;
            break;
        case 7:
            e.type = kEventGraphStart;
            break;
        case 8: // a value that does not fit inline, for a pin that takes 4 bytes of it
            e.type = kEventPinValue;
            e.pinId = kAudioRatePin;
            e.valueSize = static_cast<std::int32_t>(pointed.size());
            e.valuePointer = pointed.data();
            break;
        default: // pins and types the module does not have
            e.type = random() % 2 == 0 ? kEventPinOther : 99;
            e.pinId = 7 + static_cast<std::int32_t>(random() % 100);
            break;
        }
    }

    static void value(PinEvent& e, std::int32_t pin, std::int32_t v) {
        e.type = kEventPinValue;
        e.pinId = pin;
        e.valueSize = 4;
        e.value[0] = v;
    }

    std::mt19937& random;
    std::uniform_real_distribution<double> chance{0.0, 1.0};
    std::array<PinEvent, 4> events{};
    std::array<std::uint8_t, 64> pointed{3, 0, 0, 0};
};

// Block sizes as hosts use them: mostly small, now and then the usual powers of two, odd
// sizes, single samples and empty blocks.
std::int32_t blockSize(std::mt19937& random) {
    static const std::int32_t kFixed[] = {1,   2,   3,   17,  32,   64,
                                          127, 128, 256, 512, 2027, kLargestBlock};
    const std::uint32_t pick = random() % 100;
    if (pick < 70) {
        return 1 + static_cast<std::int32_t>(random() % 64);
    }
    if (pick < 90) {
        return 65 + static_cast<std::int32_t>(random() % 192);
    }
    if (pick < 98) {
        return kFixed[random() % std::size(kFixed)];
    }
    return 0;
}

TEST(RealtimeSafety, AMillionProcessCallsAllocateFreeAndLockNothing) {
    host::RecordingHost host;
    host.recordSends = false;
    host.hostFlag = 1; // lets the stop request act
    FrameTally tally;
    host.onPinSend = [&tally](std::int32_t, std::int32_t pinId, const void* data,
                              std::int32_t size) { tally.take(pinId, size, data); };
    UnknownInterface* object = createAnalyzerAudioModule(host.hostPointer());
    ASSERT_NE(object, nullptr);
    object->addRef();
    auto* module = static_cast<AudioModuleInterface*>(object);

    const std::vector<float> a = makeSignal(1, 0.031);
    const std::vector<float> b = makeSignal(2, 0.0047);
    std::mt19937 random(20261207);
    EventScript script(random);
    static const float kRates[] = {44100.0f, 48000.0f, 96000.0f, 8000.0f, 192000.0f};
    PinEvent start[2] = {};
    start[0].type = kEventStreamingStart;
    start[0].pinId = kAudioSignalAPin;
    start[0].next = &start[1];
    start[1].type = kEventStreamingStart;
    start[1].pinId = kAudioSignalBPin;

    resetRealtimeCounts();
    std::int64_t samples = 0;
    {
        AudioThreadScope audioThread;
        module->open();
        module->process(0, start);
        for (std::int32_t call = 0; call < kCalls; ++call) {
            if (call % 100000 == 99999) {
                host.sampleRate = kRates[(call / 100000) % std::size(kRates)];
                module->open();
                module->process(0, start);
            }
            const std::int32_t frames = blockSize(random);
            const std::size_t offset = random() % kSignalLength;
            module->setBuffer(kAudioSignalAPin, const_cast<float*>(a.data() + offset));
            module->setBuffer(kAudioSignalBPin, const_cast<float*>(b.data() + offset));
            module->process(frames, script.next(frames));
            samples += frames;
        }
    }
    const RealtimeCounts counts = realtimeCounts();
    EXPECT_EQ(object->release(), 0);

    // Nothing at all, though frames of every length went out, the longest (a log spectrum
    // frame) among them.
    EXPECT_EQ(counts.allocations, 0);
    EXPECT_EQ(counts.frees, 0);
    EXPECT_EQ(counts.locks, 0);
    EXPECT_EQ(tally.longest, 4228);
    // Nor does it touch memory for the first time (the FFT's tables are built before).
    if (countsPageFaults()) {
        EXPECT_LT(counts.pageFaults, 32);
    }
    // Every mode ran and sent frames, the stop request emptied the frame, and nothing the
    // host received was malformed.
    EXPECT_GT(tally.frames[0], 1000);
    EXPECT_GT(tally.frames[1], 1000);
    EXPECT_GT(tally.frames[2], 1000);
    EXPECT_GT(tally.empty, 10);
    EXPECT_EQ(tally.malformed, 0);
    std::printf("%d process calls, %lld samples, frames %lld/%lld/%lld, %lld empty; audio "
                "thread: %lld allocations, %lld frees, %lld locks, %lld page faults (%s)\n",
                kCalls, static_cast<long long>(samples), static_cast<long long>(tally.frames[0]),
                static_cast<long long>(tally.frames[1]), static_cast<long long>(tally.frames[2]),
                static_cast<long long>(tally.empty), static_cast<long long>(counts.allocations),
                static_cast<long long>(counts.frees), static_cast<long long>(counts.locks),
                static_cast<long long>(counts.pageFaults), countingMethod());
}

} // namespace
} // namespace vex::test
