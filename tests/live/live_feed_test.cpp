// The audio path of the live window: the frames the voices send arrive in the queue in
// order, and a block run from the audio thread allocates, frees and locks nothing.
#include "host/kit/module_library.h"
#include "host/vexhost/live/frame_queue.h"
#include "host/vexhost/live/live_feed.h"
#include "host/vexhost/live/live_inputs.h"
#include "tests/support/realtime_counters.h"

#include <gtest/gtest.h>

#include <vector>

namespace vex::host {
namespace {

TEST(FrameQueue, KeepsOrderDropsWhenFullAndRefusesOverlongFrames) {
    FrameQueue queue(2);
    const std::uint8_t bytes[4] = {1, 2, 3, 4};
    EXPECT_TRUE(queue.push(10, 0, bytes, 4));
    EXPECT_TRUE(queue.push(20, 1, bytes, 2));
    EXPECT_FALSE(queue.push(30, 2, bytes, 4));
    std::vector<std::uint8_t> longer(4229, 0);
    const QueuedFrame* first = queue.front();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->sample, 10);
    EXPECT_EQ(first->size, 4);
    EXPECT_EQ(first->bytes[3], 4);
    queue.pop();
    EXPECT_FALSE(queue.push(40, 0, longer.data(), 4229));
    EXPECT_EQ(queue.front()->voice, 1);
    queue.pop();
    EXPECT_EQ(queue.front(), nullptr);
    EXPECT_EQ(queue.dropped(), 2);
}

TEST(LiveFeed, RunsSixteenVoicesWithoutAllocationOrLockAndQueuesTheirFrames) {
    ModuleLibrary library;
    ASSERT_TRUE(library.load(defaultModulePath())) << library.error();
    EngineSettings settings;
    settings.blockSize = 256;
    settings.mode = 2;
    settings.rate = 7;
    auto engine = std::make_unique<VoiceEngine>(*library.factory(), settings);
    std::vector<HandedInput*> inputs;
    for (int v = 0; v < 16; ++v) {
        auto input = std::make_unique<HandedInput>();
        inputs.push_back(input.get());
        engine->addVoice(std::move(input));
    }
    FrameQueue queue(4096);
    LiveFeed feed(std::move(engine), queue);
    std::vector<float> a(256, 0.25f);
    const auto runBlocks = [&](int blocks) {
        for (int i = 0; i < blocks; ++i) {
            for (HandedInput* input : inputs) {
                input->set(a.data(), nullptr);
            }
            feed.run(256);
        }
    };
    // Frames of each size in the queue, emptying it.
    const auto drain = [&](std::int32_t size) {
        std::int64_t count = 0;
        while (const QueuedFrame* frame = queue.front()) {
            count += frame->size == size ? 1 : 0;
            queue.pop();
        }
        return count;
    };
    runBlocks(200); // warm-up: every object has sent frames of each size once
    drain(0);
    feed.requestMode(1);
    runBlocks(200);
    // The switch reaches the objects: linear frames (4100 bytes) arrive, at least one per
    // voice.
    EXPECT_GE(drain(4100), 16);
    feed.requestMode(2);
    runBlocks(200);
    drain(0);
    test::resetRealtimeCounts();
    {
        test::AudioThreadScope audio;
        runBlocks(375); // two seconds at 48 kHz
        feed.requestMode(1);
        runBlocks(10);
    }
    const test::RealtimeCounts counts = test::realtimeCounts();
    EXPECT_EQ(counts.allocations, 0);
    EXPECT_EQ(counts.frees, 0);
    EXPECT_EQ(counts.locks, 0);
    EXPECT_EQ(feed.position(), 985 * 256);
    // Log frames from each of 16 voices over two seconds, in session order.
    std::int64_t frames = 0;
    std::int64_t last = -1;
    while (const QueuedFrame* frame = queue.front()) {
        EXPECT_GE(frame->sample, last);
        last = frame->sample;
        frames += frame->size == 4228 ? 1 : 0;
        queue.pop();
    }
    EXPECT_GE(frames, 16 * 20);
    EXPECT_EQ(queue.dropped(), 0);
}

} // namespace
} // namespace vex::host
