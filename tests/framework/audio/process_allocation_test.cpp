// process makes no allocation, frees nothing and takes no lock: counted on this thread,
// marked as the audio thread, while a run of blocks with events goes through the base.
#include "tests/framework/audio/test_module.h"
#include "tests/support/realtime_counters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace vex::test {
namespace {

TEST(ProcessAllocation, ABlockRunWithEventsAllocatesNothing) {
    host::RecordingHost host;
    host.recordSends = false; // the test host's own record would allocate
    TestModule module(host.hostPointer());
    std::vector<std::uint8_t> frame(4100, 3);
    std::vector<float> samples(512, 0.25f);
    module.setBuffer(TestModule::kAudioA, samples.data());
    module.setBuffer(TestModule::kAudioB, samples.data());

    // Warm-up: the blob pins take their first storage.
    module.blobOut.setValueRaw(4100, frame.data());
    EventList warm;
    warm.bytes(0, TestModule::kBlobIn, 4100, frame.data());
    module.process(64, warm.first());

    EventList events;
    events.add(0, kEventStreamingStart, TestModule::kAudioA);
    events.value(0, TestModule::kInt, 5);
    events.floatValue(3, TestModule::kFloat, 0.25f);
    events.value(3, TestModule::kBool, 1);
    events.bytes(17, TestModule::kBlobIn, 4100, frame.data());
    events.add(17, kEventGraphStart, 0);
    events.add(40, kEventStreamingStop, TestModule::kAudioA);
    events.add(41, kEventPinOther, TestModule::kBlobIn);
    module.sendFromCallback = true;

    resetRealtimeCounts();
    {
        AudioThreadScope audioThread;
        for (int block = 0; block < 200; ++block) {
            module.process(block % 2 == 0 ? 512 : 64, events.first());
            module.process(128, nullptr);
            module.blobOut.setValueRaw(4100, frame.data());
            module.blobOut.sendPinUpdate(-1);
        }
    }
    EXPECT_EQ(realtimeCounts().allocations, 0);
    EXPECT_EQ(realtimeCounts().frees, 0);
    EXPECT_EQ(realtimeCounts().locks, 0);
    EXPECT_GT(module.routineCalls.count, 0u);
    EXPECT_GT(host.sleepRequests, 0) << "the gate ran too";

    // The count is live: a blob pin whose length grows takes new storage.
    const std::vector<std::uint8_t> longer(4228);
    resetRealtimeCounts();
    {
        AudioThreadScope audioThread;
        module.blobOut.setValueRaw(4228, longer.data());
    }
    EXPECT_EQ(realtimeCounts().allocations, 1);
    EXPECT_EQ(realtimeCounts().frees, 1) << "the storage it replaced";
}

TEST(ProcessAllocation, ABlobPinReservedForItsLongestValueNeverAllocates) {
    BlobOutputPin pin;
    pin.reserve(4228);
    EXPECT_EQ(pin.valueSize(), 0) << "reserving leaves the value empty";
    std::vector<std::uint8_t> longest(4228);
    for (std::size_t i = 0; i < longest.size(); ++i) {
        longest[i] = static_cast<std::uint8_t>(i * 13 + 1);
    }

    resetRealtimeCounts();
    {
        AudioThreadScope audioThread;
        for (const std::int32_t size : {1604, 4100, 4228, 0, 1604, 4228}) {
            pin.setValueRaw(size, longest.data());
            ASSERT_EQ(pin.valueSize(), size);
            ASSERT_TRUE(std::equal(pin.get().begin(), pin.get().end(), longest.begin()));
        }
        pin.reserve(1604); // below the storage: nothing changes
    }
    EXPECT_EQ(realtimeCounts().allocations, 0);
    EXPECT_EQ(realtimeCounts().frees, 0);
    EXPECT_EQ(pin.valueSize(), 4228);

    // Beyond the reserved length the storage grows as before.
    const std::vector<std::uint8_t> longer(5000, 7);
    resetRealtimeCounts();
    {
        AudioThreadScope audioThread;
        pin.setValueRaw(5000, longer.data());
    }
    EXPECT_EQ(realtimeCounts().allocations, 1);
    EXPECT_EQ(pin.get(), longer);
}

} // namespace
} // namespace vex::test
