// process makes no allocation: counted by replacing the global allocation functions for
// this test program, while a run of blocks with events goes through the base.
#include "tests/allocation_counter.h"
#include "tests/framework/audio/test_module.h"

#include <gtest/gtest.h>

namespace vex::test {
namespace {

TEST(ProcessAllocation, ABlockRunWithEventsAllocatesNothing) {
    host::TestHost host;
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

    allocations = 0;
    countAllocations = true;
    for (int block = 0; block < 200; ++block) {
        module.process(block % 2 == 0 ? 512 : 64, events.first());
        module.process(128, nullptr);
        module.blobOut.setValueRaw(4100, frame.data());
        module.blobOut.sendPinUpdate(-1);
    }
    countAllocations = false;
    EXPECT_EQ(allocations, 0);
    EXPECT_GT(module.routineCalls.count, 0u);
    EXPECT_GT(host.sleepRequests, 0) << "the gate ran too";

    // The count is live: a blob pin whose length changes does allocate.
    countAllocations = true;
    module.blobOut.setValueRaw(4228, std::vector<std::uint8_t>(4228).data());
    countAllocations = false;
    EXPECT_EQ(allocations, 2) << "the vector above and the pin's new storage";
}

} // namespace
} // namespace vex::test
