// The audio path of the live window: the frames the voices send arrive in the queue in
// order, and a block run from the audio thread allocates, frees and locks nothing; the
// window thread's fine analysis of the queued frames, and a group member's frames handed
// over between the two threads.
#include "host/kit/group/group_reader.h"
#include "host/kit/group/group_segment.h"
#include "host/kit/module_library.h"
#include "host/vexhost/live/frame_queue.h"
#include "host/vexhost/live/live_feed.h"
#include "host/vexhost/live/live_group.h"
#include "host/vexhost/live/live_inputs.h"
#include "tests/support/realtime_counters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

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

// One voice of log frames at the fastest rate (a frame per hold-off of 1200 samples and
// capture of 1024: 21 a second at 48 kHz), fed a 100 Hz sine block by block.
struct SineFeed {
    static constexpr std::int32_t kBlock = 256;
    ModuleLibrary library;
    HandedInput* input = nullptr;
    FrameQueue queue{1024};
    std::unique_ptr<LiveFeed> feed;
    std::vector<float> block = std::vector<float>(kBlock);
    std::int64_t played = 0;

    SineFeed() {
        EXPECT_TRUE(library.load(defaultModulePath())) << library.error();
        EngineSettings settings;
        settings.blockSize = kBlock;
        settings.mode = 2;
        settings.rate = 7;
        auto engine = std::make_unique<VoiceEngine>(*library.factory(), settings);
        auto handed = std::make_unique<HandedInput>();
        input = handed.get();
        engine->addVoice(std::move(handed));
        feed = std::make_unique<LiveFeed>(std::move(engine), queue);
    }
    void run(double seconds) {
        for (std::int64_t end = played + std::llround(seconds * 48000.0); played < end;) {
            for (std::int32_t i = 0; i < kBlock; ++i, ++played) {
                block[static_cast<std::size_t>(i)] =
                    static_cast<float>(0.5 * std::sin(2.0 * M_PI * 100.0 * played / 48000.0));
            }
            input->set(block.data(), nullptr);
            feed->run(kBlock);
        }
    }
};

constexpr std::int32_t kLogFrame = 4228;

// The band of signal A's highest level in a log frame.
std::int32_t peakBand(const std::uint8_t* frame) {
    std::int32_t peak = 0;
    for (std::int32_t b = 0; b < 528; ++b) {
        if (frameValue(frame, 0, b) > frameValue(frame, 0, peak)) {
            peak = b;
        }
    }
    return peak;
}

TEST(LiveFeed, TheWindowRefinesQueuedSpectraAlsoAfterFallingBehind) {
    SineFeed sine;
    LiveFeed& feed = *sine.feed;
    sine.run(1.5);
    auto last = std::make_unique<QueuedFrame>();
    std::int32_t logFrames = 0;
    while (const QueuedFrame* frame = sine.queue.front()) {
        EXPECT_EQ(feed.refine(*frame), frame->bytes) << "the module's analysis: as queued";
        if (frame->size == kLogFrame) {
            *last = *frame;
            ++logFrames;
        }
        sine.queue.pop();
    }
    ASSERT_GE(logFrames, 25);
    feed.setAnalysis(Analysis::kFine);
    EXPECT_EQ(feed.analysis(), Analysis::kFine);
    const std::uint8_t* fine = feed.refine(*last);
    ASSERT_NE(fine, nullptr);
    EXPECT_NE(fine, last->bytes);
    EXPECT_EQ(fine[0], last->bytes[0]);
    EXPECT_EQ(fine[1], last->bytes[1]);
    // Band b is 10 * 2^(b/48) Hz: 100 Hz is band 48 * log2(10), 159.45.
    EXPECT_NEAR(peakBand(fine), 48.0 * std::log2(10.0), 1.0);
    EXPECT_GT(std::abs(peakBand(last->bytes) - 48.0 * std::log2(10.0)), 1.0);
    QueuedFrame empty;
    EXPECT_EQ(feed.refine(empty), empty.bytes) << "not a spectrum: as queued";
    // A window that fell three seconds behind: the analysis starts again from the samples
    // the history holds, and the newest frame still reads the tone.
    sine.run(3.0);
    while (const QueuedFrame* frame = sine.queue.front()) {
        if (frame->size == kLogFrame) {
            *last = *frame;
        }
        sine.queue.pop();
    }
    fine = feed.refine(*last);
    ASSERT_NE(fine, nullptr);
    EXPECT_NEAR(peakBand(fine), 48.0 * std::log2(10.0), 1.0);
    last->voice = 1;
    EXPECT_EQ(feed.refine(*last), nullptr) << "no such voice";
}

// Group 1 of a scope of this process's own, removed afterwards.
struct PrivateGroup {
    PrivateGroup() {
        setenv("VEX_GROUP_SCOPE", ("live_feed_" + std::to_string(getpid())).c_str(), 1);
        name = group::segmentName(1);
        shm_unlink(name.c_str());
    }
    ~PrivateGroup() {
        shm_unlink(name.c_str());
        unsetenv("VEX_GROUP_SCOPE");
    }
    std::string name;
};

TEST(LiveFeed, AMembersFineFramesArePublishedByTheWindowThreadAfterTheHandOver) {
    const PrivateGroup scope;
    SineFeed sine;
    LiveFeed& feed = *sine.feed;
    LiveGroup members(1, 1, 48000.0);
    feed.joinGroup(&members);
    std::string error;
    const auto segment = group::GroupSegment::openGroup(1, error);
    ASSERT_NE(segment, nullptr) << error;
    group::GroupReader reader;
    // The member's frame as the group holds it now (its first slot).
    const auto published = [&] {
        EXPECT_TRUE(
            reader.read(&segment->segment(), sizeof(group::Segment), group::monotonicNanos()));
        const group::MemberState& member = reader.member(0);
        EXPECT_TRUE(member.present);
        return std::vector<std::uint8_t>(member.frame.begin(), member.frame.begin() + member.bytes);
    };
    // Takes the queue as the window does; the last log frame, and how many were handed over.
    auto last = std::make_unique<QueuedFrame>();
    const auto take = [&] {
        std::int32_t handed = 0;
        while (const QueuedFrame* frame = sine.queue.front()) {
            handed += frame->handedOver ? 1 : 0;
            if (frame->size == kLogFrame) {
                *last = *frame;
            }
            feed.publishHandedOver(*frame);
            sine.queue.pop();
        }
        return handed;
    };

    sine.run(1.2);
    EXPECT_EQ(take(), 0) << "the module's analysis: the audio thread publishes";
    EXPECT_EQ(published(), std::vector<std::uint8_t>(last->bytes, last->bytes + kLogFrame));

    const std::vector<std::uint8_t> module = published();
    feed.setAnalysis(Analysis::kFine);
    sine.run(0.3);
    EXPECT_EQ(published(), module) << "nothing published until the window takes the frames";
    EXPECT_GE(take(), 5);
    const std::uint8_t* fine = feed.refine(*last);
    ASSERT_NE(fine, nullptr);
    const std::vector<std::uint8_t> twin(fine, fine + kLogFrame);
    EXPECT_EQ(published(), twin);

    // Back to the module's: the audio thread hands over until the window has published
    // every frame it was handed, then publishes again itself.
    sine.run(0.2);
    feed.setAnalysis(Analysis::kModule);
    sine.run(0.2);
    EXPECT_EQ(published(), twin);
    EXPECT_GE(take(), 7);
    EXPECT_EQ(published(), std::vector<std::uint8_t>(last->bytes, last->bytes + kLogFrame));
    sine.run(0.2);
    EXPECT_EQ(take(), 0);
    EXPECT_EQ(published(), std::vector<std::uint8_t>(last->bytes, last->bytes + kLogFrame));
}

} // namespace
} // namespace vex::host
