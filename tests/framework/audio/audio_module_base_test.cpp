// The audio base driven as a host drives it: created through a factory with the test host,
// then called through AudioModuleInterface.
#include "framework/audio/module_factory.h"
#include "tests/framework/audio/test_module.h"
#include "tests/framework/identity_checks.h"

#include <gtest/gtest.h>

#include <random>

namespace vex::test {
namespace {

const MpChar kTestId[] = MP_TEXT("TestModule");

class AudioModuleBaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        factory.registerAudioClass(kTestId, &TestModule::create);
        void* out = nullptr;
        ASSERT_EQ(factory.createObject(kTestId, kAudioSide, host.hostPointer(), &out), kMpOk);
        object = static_cast<AudioModuleInterface*>(static_cast<UnknownInterface*>(out));
        module = static_cast<TestModule*>(object);
        module->destroyed = &destroyCount;
    }
    void TearDown() override {
        if (object != nullptr) {
            EXPECT_EQ(object->release(), 0);
        }
    }
    void expectCalls(std::initializer_list<RoutineCall> expected) {
        ASSERT_EQ(module->routineCalls.count, expected.size());
        std::size_t i = 0;
        for (const RoutineCall& call : expected) {
            EXPECT_EQ(module->routineCalls[i].offset, call.offset) << "call " << i;
            EXPECT_EQ(module->routineCalls[i].frames, call.frames) << "call " << i;
            EXPECT_EQ(module->routineCalls[i].maySleep, call.maySleep) << "call " << i;
            ++i;
        }
    }

    host::RecordingHost host;
    ModuleFactory factory;
    AudioModuleInterface* object = nullptr;
    TestModule* module = nullptr;
    int destroyCount = 0;
    EventList events;
};

TEST_F(AudioModuleBaseTest, AnswersItsTwoIdentitiesAndCountsReferences) {
    EXPECT_EQ(module->references(), 1);
    test::expectAnswersWithItself(object, kUnknownInterfaceId);
    test::expectAnswersWithItself(object, kAudioModuleInterfaceId);
    void* out = nullptr;
    EXPECT_EQ(module->references(), 3);
    int sentinel = 0;
    out = &sentinel;
    EXPECT_EQ(object->queryInterface(&kHostAudioInterfaceId, &out), kMpUnsupported);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(object->queryInterface(&kAudioModuleInterfaceId, nullptr), kMpUnsupported);
    EXPECT_EQ(object->queryInterface(nullptr, &out), kMpUnsupported);
    EXPECT_EQ(object->release(), 2);
    EXPECT_EQ(object->release(), 1);
    EXPECT_EQ(object->addRef(), 2);
    EXPECT_EQ(object->release(), 1);
    EXPECT_EQ(destroyCount, 0);
    EXPECT_EQ(object->reserved7(1, 2, 3), kMpOk);
    EXPECT_EQ(object->open(), kMpOk);
}

TEST_F(AudioModuleBaseTest, HoldsTheHostInterfaceOnceAndReleasesItOnceAtTheLastRelease) {
    EXPECT_EQ(host.queries(kHostAudioInterfaceId), 1);
    EXPECT_EQ(host.references(kHostAudioInterfaceId), 1);
    EXPECT_EQ(module->references(), 1);
    EXPECT_EQ(object->release(), 0);
    object = nullptr;
    EXPECT_EQ(destroyCount, 1);
    EXPECT_EQ(host.references(kHostAudioInterfaceId), 0);
    EXPECT_EQ(host.releases(), 1);
}

TEST_F(AudioModuleBaseTest, ATeardownErrorAtTheLastReleaseAnswersMinusOne) {
    module->failTeardown = true;
    EXPECT_EQ(object->release(), kMpFail);
    EXPECT_EQ(destroyCount, 1);
    // The object was not torn down: it still holds the host, and a later teardown frees it.
    EXPECT_EQ(host.references(kHostAudioInterfaceId), 1);
    module->failTeardown = false;
    module->destroy(1);
    object = nullptr;
    EXPECT_EQ(host.references(kHostAudioInterfaceId), 0);
}

TEST(AudioModuleBaseDestroy, DestroyWithoutFreeingReleasesTheHostOnlyOnce) {
    host::RecordingHost host;
    {
        TestModule module(host.hostPointer());
        module.destroy(0);
        EXPECT_EQ(host.references(kHostAudioInterfaceId), 0);
        EXPECT_EQ(module.findPin(TestModule::kInt), nullptr) << "registry emptied";
    }
    EXPECT_EQ(host.releases(), 1) << "the destructor does not release a second time";
}

TEST(AudioModuleBaseCreate, FailsWithMinusOneWhenTheHostHasNoAudioInterface) {
    ModuleFactory factory;
    factory.registerAudioClass(kTestId, &TestModule::create);
    host::RecordingHost host;
    host.refuse(kHostAudioInterfaceId);
    int sentinel = 0;
    void* out = &sentinel;
    EXPECT_EQ(factory.createObject(kTestId, kAudioSide, host.hostPointer(), &out), kMpFail);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(host.queries(kHostAudioInterfaceId), 1);
    EXPECT_EQ(host.references(kHostAudioInterfaceId), 0);
    out = &sentinel;
    EXPECT_EQ(factory.createObject(kTestId, kAudioSide, nullptr, &out), kMpFail);
    EXPECT_EQ(out, nullptr);
}

TEST_F(AudioModuleBaseTest, SetBufferReachesOnlyRegisteredPinsAndOnlyAudioPinsKeepIt) {
    float samples[4] = {};
    EXPECT_EQ(object->setBuffer(TestModule::kAudioA, samples), kMpOk);
    EXPECT_EQ(module->audioA.samples(), samples);
    EXPECT_EQ(module->audioB.samples(), nullptr);
    EXPECT_EQ(object->setBuffer(TestModule::kInt, samples), kMpOk) << "accepted, ignored";
    EXPECT_EQ(module->intPin.get(), 0);
    EXPECT_EQ(object->setBuffer(99, samples), kMpFail);
    EXPECT_EQ(object->setBuffer(-1, samples), kMpFail);
    EXPECT_EQ(module->audioB.samples(), nullptr);
}

TEST_F(AudioModuleBaseTest, ProcessBeforeAnyBufferHandsTheRoutineNullBuffersNotGarbage) {
    // The base never reads the sample buffers; a module sees null until the host sets one.
    events.add(0, kEventStreamingStart, TestModule::kAudioA);
    EXPECT_EQ(object->process(32, events.first()), kMpOk);
    EXPECT_EQ(module->audioA.samples(), nullptr);
    EXPECT_EQ(module->audioB.samples(), nullptr);
    expectCalls({{0, 32, true}});
}

TEST_F(AudioModuleBaseTest, BlockWithoutEventsRunsOneStretch) {
    EXPECT_EQ(object->process(64, nullptr), kMpOk);
    expectCalls({{0, 64, true}});
    EXPECT_EQ(module->setPinsCalls.count, 0u);
}

TEST_F(AudioModuleBaseTest, SplitsAtEventGroupsAndKeepsTheBlockPosition) {
    events.value(0, TestModule::kInt, 1);
    events.value(10, TestModule::kInt, 2);
    object->process(64, events.first());
    expectCalls({{0, 10, false}, {10, 54, true}});
    ASSERT_EQ(module->setPinsCalls.count, 2u);
    EXPECT_EQ(module->setPinsCalls[0].blockPosition, 0);
    EXPECT_EQ(module->setPinsCalls[1].blockPosition, 10);
    EXPECT_EQ(module->position(), 10);

    module->routineCalls.clear();
    object->process(64, nullptr);
    expectCalls({{0, 64, true}});
    EXPECT_EQ(module->position(), 10) << "only a new event group moves it";
}

TEST_F(AudioModuleBaseTest, AGroupIsDeliveredAsAWholeBeforeCallbacksAndOnSetPins) {
    // The callback pin comes first in the list, the int pin after it, in one group.
    const std::uint8_t blob[3] = {1, 2, 3};
    events.bytes(5, TestModule::kBlobIn, 3, blob);
    events.value(5, TestModule::kInt, 42);
    events.floatValue(5, TestModule::kFloat, 0.5f);
    object->process(16, events.first());
    expectCalls({{0, 5, false}, {5, 11, true}});
    ASSERT_EQ(module->callbackIntValues.count, 1u);
    EXPECT_EQ(module->callbackIntValues[0], 42) << "callbacks run after every pre-event step";
    EXPECT_EQ(module->callbackTimes[0], 5);
    ASSERT_EQ(module->setPinsCalls.count, 1u) << "one call for the group";
    const SetPinsCall& seen = module->setPinsCalls[0];
    EXPECT_TRUE(seen.intUpdated && seen.floatUpdated && seen.blobUpdated);
    EXPECT_FALSE(seen.boolUpdated) << "only the pins of the group are updated";
    EXPECT_EQ(seen.intValue, 42);
    EXPECT_FALSE(module->intPin.updated()) << "lowered after the group";
    EXPECT_FALSE(module->blobIn.updated());
    EXPECT_EQ(module->floatPin.get(), 0.5f);
}

TEST_F(AudioModuleBaseTest, GroupsOfOtherAndStartEventsDoNotCallOnSetPinsButStillSplit) {
    events.add(8, kEventPinOther, TestModule::kInt);
    events.add(8, kEventGraphStart, 0);
    events.add(20, 999, TestModule::kInt); // unknown type
    events.value(30, 77, 5);               // unregistered pin
    events.add(40, kEventPinOther, TestModule::kBlobIn);
    object->process(64, events.first());
    expectCalls({{0, 8, false}, {8, 12, false}, {20, 10, false}, {30, 10, false}, {40, 24, true}});
    EXPECT_EQ(module->setPinsCalls.count, 1u) << "only the value group at 30, for no pin";
    EXPECT_EQ(module->callbackTimes.count, 1u) << "a type-103 event reaches the callback";
}

TEST_F(AudioModuleBaseTest, GraphStartSendsEveryOutputInIdOrderAtTheBlockPosition) {
    const std::uint8_t frame[2] = {7, 9};
    module->blobOut.setValueRaw(2, frame);
    events.value(3, TestModule::kBool, 1);
    events.add(12, kEventGraphStart, 0);
    object->process(20, events.first());
    ASSERT_EQ(host.pinSends.size(), 2u);
    EXPECT_EQ(host.pinSends[0].pinId, TestModule::kBlobOut);
    EXPECT_EQ(host.pinSends[0].time, 12);
    EXPECT_EQ(host.pinSends[0].bytes, (std::vector<std::uint8_t>{7, 9}));
    EXPECT_EQ(host.pinSends[1].pinId, TestModule::kBoolOut);
    EXPECT_EQ(host.pinSends[1].bytes, (std::vector<std::uint8_t>{0}));
}

TEST_F(AudioModuleBaseTest, SendWithoutATimeUsesTheGroupBeingDelivered) {
    module->sendFromCallback = true;
    events.add(12, kEventPinOther, TestModule::kBlobIn);
    object->process(64, events.first());
    ASSERT_EQ(host.pinSends.size(), 1u);
    EXPECT_EQ(host.pinSends[0].time, 12);
    EXPECT_EQ(host.pinSends[0].pinId, TestModule::kBoolOut);
    module->boolOut.sendPinUpdate(3);
    EXPECT_EQ(host.pinSends.back().time, 3);
}

TEST_F(AudioModuleBaseTest, StreamingEventsCountInputsAndSwitchTheGate) {
    module->openGate();
    events.add(0, kEventStreamingStart, TestModule::kAudioA);
    events.add(4, kEventStreamingStart, TestModule::kAudioA); // already streaming
    events.add(6, kEventStreamingStart, TestModule::kAudioB);
    object->process(10, events.first());
    ASSERT_EQ(module->streamingChanges.count, 2u) << "a repeated start changes nothing";
    EXPECT_EQ(module->streaming(), 2);
    EXPECT_FALSE(module->gated());
    ASSERT_EQ(module->setPinsCalls.count, 3u);
    EXPECT_TRUE(module->setPinsCalls[1].streamingChangedA) << "raised by the repeated start";
    EXPECT_FALSE(module->setPinsCalls[2].streamingChangedA) << "an event for the other pin";
    EXPECT_FALSE(module->audioA.streamingChanged());
    EXPECT_TRUE(module->audioA.isStreaming());
    EXPECT_EQ(host.sleepRequests, 0);

    events.clear();
    events.add(0, kEventStreamingStop, TestModule::kAudioA);
    object->process(10, events.first());
    EXPECT_EQ(module->streaming(), 1);
    EXPECT_FALSE(module->gated());
    events.clear();
    events.add(0, kEventStreamingStop, TestModule::kAudioB);
    events.add(0, kEventStreamingStop, TestModule::kAudioB);
    module->routineCalls.clear();
    object->process(10, events.first());
    EXPECT_EQ(module->streaming(), 0);
    EXPECT_TRUE(module->gated()) << "the last input stopped";
    EXPECT_EQ(module->routineCalls.count, 0u);
    EXPECT_EQ(host.sleepRequests, 1);
}

TEST_F(AudioModuleBaseTest, TheGateAsksToSleepAtOnceWhenNothingStreams) {
    module->openGate();
    object->process(64, nullptr);
    EXPECT_EQ(host.sleepRequests, 1);
    EXPECT_EQ(module->routineCalls.count, 0u);
}

TEST_F(AudioModuleBaseTest, TheGateRunsTheStretchBeforeAPendingGroupThenSleeps) {
    module->openGate();
    events.add(20, kEventPinOther, TestModule::kInt);
    object->process(64, events.first());
    expectCalls({{0, 20, false}});
    EXPECT_EQ(module->countdown(), 0);
    EXPECT_EQ(host.sleepRequests, 1);
}

TEST_F(AudioModuleBaseTest, TheGateRunsEveryStretchBeforePendingGroupsAndSleepsAtTheTail) {
    module->openGate();
    events.add(30, kEventPinOther, TestModule::kInt);
    events.add(40, kEventPinOther, TestModule::kInt);
    object->process(64, events.first());
    expectCalls({{0, 30, false}, {30, 10, false}});
    EXPECT_EQ(host.sleepRequests, 1);

    // A stretch cut at the block's end by a group beyond it is still run, without a sleep.
    module->routineCalls.clear();
    events.clear();
    events.add(20, kEventPinOther, TestModule::kInt);
    object->process(10, events.first());
    expectCalls({{0, 10, false}});
    EXPECT_EQ(host.sleepRequests, 1);
}

TEST_F(AudioModuleBaseTest, SetSleepPutsTheGateInFrontAndReleasingItHandsOver) {
    events.add(0, kEventStreamingStart, TestModule::kAudioA);
    object->process(8, events.first());
    EXPECT_FALSE(module->gated());
    module->setSleep(true);
    EXPECT_EQ(module->outputs(), 1);
    EXPECT_TRUE(module->gated());
    module->routineCalls.clear();
    object->process(8, nullptr);
    EXPECT_EQ(host.sleepRequests, 1) << "static outputs sleep although an input streams";
    EXPECT_EQ(module->routineCalls.count, 0u);

    module->setSleep(false);
    EXPECT_EQ(module->outputs(), 0);
    EXPECT_TRUE(module->gated()) << "the gate hands over on its next call";
    object->process(8, nullptr);
    EXPECT_FALSE(module->gated());
    expectCalls({{0, 8, true}});
}

TEST_F(AudioModuleBaseTest, SetSubProcessStaysBehindAnActiveGate) {
    module->openGate();
    module->useOther();
    EXPECT_TRUE(module->gated());
    module->setSleep(false);
    object->process(16, nullptr);
    EXPECT_EQ(module->routineCalls.count, 0u);
    ASSERT_EQ(module->otherCalls.count, 1u);
    EXPECT_EQ(module->otherCalls[0].frames, 16);

    module->closeGate();
    module->useRecord();
    EXPECT_FALSE(module->gated());
    EXPECT_TRUE(module->runsRecord());
    module->setSubProcess(nullptr); // stands for a routine that does nothing
    object->process(16, nullptr);
    EXPECT_EQ(module->routineCalls.count, 0u);
}

// Hostile hosts: whatever the times and sizes, every stretch lies inside the block.
TEST_F(AudioModuleBaseTest, OddTimesAndSizesNeverGiveAStretchOutsideTheBlock) {
    events.value(5, TestModule::kInt, 1);
    events.value(200, TestModule::kInt, 2); // past the block's end
    object->process(64, events.first());
    expectCalls({{0, 5, false}, {5, 59, false}});
    EXPECT_EQ(module->intPin.get(), 1) << "an event past the block's end is not delivered";

    module->routineCalls.clear();
    events.clear();
    events.value(30, TestModule::kInt, 3);
    events.value(10, TestModule::kInt, 4); // earlier than the previous group
    events.value(-4, TestModule::kInt, 5);
    object->process(64, events.first());
    expectCalls({{0, 30, false}, {30, 34, true}});
    EXPECT_EQ(module->intPin.get(), 5) << "late groups are delivered at the current position";
    EXPECT_EQ(module->position(), 30);

    module->routineCalls.clear();
    events.clear();
    events.value(3, TestModule::kInt, 6);
    object->process(-64, events.first());
    expectCalls({{0, 0, true}});
    EXPECT_EQ(module->position(), 0);
    EXPECT_EQ(module->intPin.get(), 6);
}

TEST_F(AudioModuleBaseTest, RandomEventListsKeepEveryStretchInsideTheBlock) {
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> size(-8, 96);
    std::uniform_int_distribution<int> time(-20, 120);
    std::uniform_int_distribution<int> kind(0, 5);
    std::uniform_int_distribution<int> pin(-1, 9);
    std::int32_t previousPosition = module->position();
    for (int round = 0; round < 400; ++round) {
        module->routineCalls.clear();
        events.clear();
        const int frames = size(random);
        int t = 0;
        const int eventCount = kind(random) * 3;
        for (int i = 0; i < eventCount; ++i) {
            t = (kind(random) == 0) ? time(random) : t + kind(random);
            events.add(t, 99 + kind(random), pin(random)).valueSize = size(random) * 64;
        }
        if (round % 7 == 0) {
            module->openGate();
        }
        object->process(frames, events.first());
        const int limit = frames < 0 ? 0 : frames;
        int covered = 0;
        for (std::size_t i = 0; i < module->routineCalls.count && i < 256; ++i) {
            const RoutineCall& call = module->routineCalls[i];
            ASSERT_GE(call.offset, 0);
            ASSERT_GE(call.frames, 0);
            ASSERT_LE(call.offset + call.frames, limit) << "round " << round;
            ASSERT_EQ(call.offset, covered) << "stretches follow each other";
            covered += call.frames;
        }
        // Unchanged when no group was delivered in this block, else a time inside it.
        if (module->position() != previousPosition) {
            ASSERT_GE(module->position(), 0);
            ASSERT_LE(module->position(), limit);
        }
        previousPosition = module->position();
    }
}

} // namespace
} // namespace vex::test
