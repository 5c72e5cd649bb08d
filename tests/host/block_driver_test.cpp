// The block driver both hosts of ours run their audio objects through: which events reach
// the object in which block, when a sleeping object is left alone, and what reaches the
// frame sink. Driven against an in-process fake module.
#include "host/kit/block_driver.h"

#include "host/kit/host_error.h"

#include "fake_module.h"

#include <gtest/gtest.h>

namespace vex::host {
namespace {

struct Received {
    std::int32_t time;
    std::int32_t size;
    bool bytesGiven;
};

struct BlockDriverTest : ::testing::Test {
    test::FakeFactory factory;
    BlockDriver driver;
    std::vector<Received> frames;
    float signalA[64] = {};
    float signalB[64] = {};

    void SetUp() override {
        driver.services().sampleRate = 44100.0f;
        driver.onFrame = [this](std::int32_t time, const std::uint8_t* bytes, std::int32_t size) {
            frames.push_back({time, size, bytes != nullptr});
        };
        driver.create(factory);
        ASSERT_EQ(driver.open(), kMpOk);
        ASSERT_TRUE(driver.setBuffers(signalA, signalB));
    }
    const std::vector<test::ProcessCall>& calls() const { return factory.calls.at(0); }
};

TEST_F(BlockDriverTest, EventsReachTheObjectInTheOrderAddedAndOnlyInTheirBlock) {
    EXPECT_EQ(factory.objects.at(0)->sampleRate, 44100.0f);
    const std::int32_t mode = 2;
    driver.addEvent(0, kEventStreamingStart, 4);
    driver.addValue(0, 1, &mode);
    driver.addEvent(7, kEventStreamingStart, 5);
    EXPECT_EQ(driver.pendingEvents(), 3);
    EXPECT_TRUE(driver.process(16));
    EXPECT_EQ(driver.pendingEvents(), 0);
    EXPECT_TRUE(driver.process(16));

    ASSERT_EQ(calls().size(), 2u);
    const auto& first = calls()[0].events;
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[0].type, kEventStreamingStart);
    EXPECT_EQ(first[1].type, kEventPinValue);
    EXPECT_EQ(first[1].pinId, 1);
    EXPECT_EQ(first[1].valueSize, 4);
    EXPECT_EQ(first[1].value, 2);
    EXPECT_EQ(first[2].pinId, 5);
    EXPECT_EQ(first[2].time, 7);
    EXPECT_TRUE(calls()[1].events.empty());
    EXPECT_EQ(calls()[0].frames, 16);
}

TEST_F(BlockDriverTest, ASleepingObjectIsLeftAloneUntilThereAreEventsForIt) {
    EXPECT_TRUE(driver.process(16)); // nothing streams: the fake asks to sleep
    EXPECT_TRUE(driver.asleep());
    EXPECT_FALSE(driver.process(16));
    EXPECT_FALSE(driver.process(16));
    EXPECT_EQ(driver.processCalls(), 1);

    driver.addEvent(0, kEventStreamingStart, 5);
    EXPECT_TRUE(driver.process(16));
    EXPECT_FALSE(driver.asleep()); // signal B streams now
    EXPECT_TRUE(driver.process(16));
    EXPECT_EQ(driver.processCalls(), 3);
    EXPECT_EQ(calls().size(), 3u);
}

TEST_F(BlockDriverTest, FramesReachTheSinkWithTheirTimeAndTheEmptyValueWithoutBytes) {
    ASSERT_EQ(frames.size(), 1u); // open sends the empty value
    EXPECT_EQ(frames[0].size, 0);
    EXPECT_FALSE(frames[0].bytesGiven);

    driver.process(2); // the fake sends only in blocks longer than 3
    driver.addEvent(0, kEventStreamingStart, 4);
    driver.process(16);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1].time, 3);
    EXPECT_EQ(frames[1].size, 1604);
    EXPECT_TRUE(frames[1].bytesGiven);
}

TEST_F(BlockDriverTest, WhatTheSinkThrowsComesBackFromProcessOnce) {
    driver.onFrame = [](std::int32_t, const std::uint8_t*, std::int32_t) {
        throw HostError("sink failed");
    };
    driver.addEvent(0, kEventStreamingStart, 4);
    EXPECT_THROW(driver.process(16), HostError);
    driver.onFrame = nullptr;
    EXPECT_NO_THROW(driver.process(16));
    EXPECT_EQ(driver.processCalls(), 2);
}

TEST_F(BlockDriverTest, EventsPastTheBlocksRoomAreDroppedAndCounted) {
    for (std::int32_t i = 0; i < BlockDriver::kMaxEvents + 3; ++i) {
        driver.addValue(0, 2, &i);
    }
    driver.process(16);
    ASSERT_EQ(calls().at(0).events.size(), static_cast<std::size_t>(BlockDriver::kMaxEvents));
    EXPECT_EQ(calls()[0].events.back().value, BlockDriver::kMaxEvents - 1);
    EXPECT_EQ(driver.droppedEvents(), 3);
}

TEST_F(BlockDriverTest, AReleasedObjectIsNeverCalledAndCreateStartsAfresh) {
    driver.process(16);
    ASSERT_TRUE(driver.asleep());
    driver.release();
    EXPECT_EQ(factory.destroyed, 1);
    EXPECT_FALSE(driver.hasObject());
    driver.addEvent(0, kEventStreamingStart, 4);
    EXPECT_FALSE(driver.process(16));
    EXPECT_EQ(driver.open(), kMpFail);
    EXPECT_FALSE(driver.setBuffers(signalA, signalB));

    driver.create(factory);
    EXPECT_FALSE(driver.asleep());
    EXPECT_EQ(driver.pendingEvents(), 0);
    factory.audioResult = kMpFail;
    EXPECT_THROW(driver.create(factory), HostError);
    EXPECT_FALSE(driver.hasObject());
}

} // namespace
} // namespace vex::host
