// The analyzer's process allocates nothing in steady state, in every mode: counted by
// replacing this program's allocation functions, with the module linked in directly.
#include "analyzer/audio/analyzer_audio_module.h"
#include "host/test_host.h"
#include "tests/allocation_counter.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace vex::test {
namespace {

TEST(AnalyzerAllocation, SteadyStateProcessAllocatesNothing) {
    host::TestHost host;
    host.recordSends = false;
    std::int32_t frames = 0;
    host.onPinSend = [&frames](std::int32_t, std::int32_t pin, const void*, std::int32_t size) {
        frames += (pin == 0 && size > 0) ? 1 : 0;
    };
    UnknownInterface* object = createAnalyzerAudioModule(host.hostPointer());
    ASSERT_NE(object, nullptr);
    object->addRef();
    auto* module = static_cast<AudioModuleInterface*>(object);
    module->open();
    std::vector<float> a(64), b(64);
    std::int64_t t = 0;
    auto runBlocks = [&](int count, const PinEvent* events) {
        for (int block = 0; block < count; ++block) {
            for (int i = 0; i < 64; ++i, ++t) {
                a[i] = static_cast<float>(std::sin(0.05 * static_cast<double>(t)));
                b[i] = static_cast<float>(std::sin(0.011 * static_cast<double>(t)));
            }
            module->setBuffer(4, a.data());
            module->setBuffer(5, b.data());
            module->process(64, block == 0 ? events : nullptr);
        }
    };
    std::array<PinEvent, 4> events{};
    events[0] = PinEvent{0, kEventStreamingStart, 4, 0, {0, 0}, nullptr, &events[1]};
    events[1] = PinEvent{0, kEventStreamingStart, 5, 0, {0, 0}, nullptr, &events[2]};
    events[2] = PinEvent{0, kEventPinValue, 6, 4, {7, 0}, nullptr, nullptr};
    runBlocks(1, events.data());
    // Warm-up: every mode once, so the frame pin has held the largest frame.
    for (const std::int32_t mode : {2, 1, 0}) {
        events[3] = PinEvent{5, kEventPinValue, 1, 4, {mode, 0}, nullptr, nullptr};
        runBlocks(2000, &events[3]);
    }
    for (const std::int32_t mode : {0, 1, 2}) {
        events[3] = PinEvent{5, kEventPinValue, 1, 4, {mode, 0}, nullptr, nullptr};
        const std::int32_t before = frames;
        allocations = 0;
        countAllocations = true;
        runBlocks(3000, &events[3]);
        countAllocations = false;
        EXPECT_EQ(allocations, 0) << "mode " << mode;
        EXPECT_GT(frames - before, 50) << "mode " << mode;
    }
    EXPECT_EQ(object->release(), 0);
}

} // namespace
} // namespace vex::test
