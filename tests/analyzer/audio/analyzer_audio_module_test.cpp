// The analyzer's audio object end to end through the plug-in: frame timing, trigger,
// pins, idle sleep and the stop request, as the host sees them in setPin.
#include "tests/analyzer/audio/analyzer_harness.h"

#include <cmath>
#include <limits>

namespace vex::test {
namespace {

// Square wave of period 100 (low for i % 100 < 50, high after), carrying its index.
float square(std::int64_t i) {
    return indexed(i, i % 100 >= 50);
}
// Alternating sign every sample, low on even indices.
float alternating(std::int64_t i) {
    return indexed(i, i % 2 == 1);
}

struct FrameTiming {
    std::int32_t block;
    std::int64_t firstSent;   // absolute time of the first frame's send
    std::int64_t secondStart; // index of the second frame's first sample
};

// At 48000 Hz and 25 frames per second the hold-off is 1920 samples, counted in whole
// stretches from the rest of the stretch that completed the frame: the trigger search
// begins with the first stretch after the one in which the count goes below 0. The first
// frame (samples 0..199) is sent at the start of the stretch that completes it.
//   block 1:    sent 199; hold-off ends after 1921 more samples, search from 2121 (low),
//               rise at 2150.
//   block 7:    sent 196; 3 + 274·7 samples, search from 2121, rise at 2150.
//   block 64:   sent 192; 56 + 30·64, search from 2176 (high), low 2200, rise 2250.
//   block 512:  sent 0; 312 + 4·512, search from 2560, low 2600, rise 2650.
//   block 4096: sent 0; 3896 in the same block, search from 4096, low 4100, rise 4150.
TEST(AnalyzerFrames, HoldOffCountsWholeStretchesThenAFrameStartsAtTheRise) {
    const FrameTiming cases[] = {
        {1, 199, 2150}, {7, 196, 2150}, {64, 192, 2250}, {512, 0, 2650}, {4096, 0, 4150}};
    for (const FrameTiming& expected : cases) {
        AnalyzerHarness h;
        ASSERT_TRUE(h.ready());
        h.openStreaming();
        h.run(8192, expected.block, square, square);
        const auto frames = h.frames();
        ASSERT_GE(frames.size(), 2u) << "block " << expected.block;
        EXPECT_EQ(frames[0].bytes.size(), 1604u);
        EXPECT_EQ(frames[0].time, expected.firstSent) << "block " << expected.block;
        EXPECT_EQ(indexOf(frames[0].record(0, 0)), 0);
        EXPECT_EQ(indexOf(frames[1].record(0, 0)), expected.secondStart)
            << "block " << expected.block;
        EXPECT_GT(frames[1].record(0, 0), 0.0f);
        // 200 consecutive samples, bit for bit, on both signals.
        for (std::int32_t k = 0; k < 200; ++k) {
            ASSERT_EQ(frames[1].record(k, 0), square(expected.secondStart + k));
            ASSERT_EQ(frames[1].record(k, 1), square(expected.secondStart + k));
        }
    }
}

TEST(AnalyzerFrames, ARiseOnEitherInputStartsTheFrame) {
    // A never rises; B's square wave does. Blocks of 1: the search starts at 2121, where B
    // is low, and B rises at 2150.
    AnalyzerHarness h;
    ASSERT_TRUE(h.ready());
    h.openStreaming();
    h.run(
        4000, 1, [](std::int64_t i) { return indexed(i, false); }, square);
    const auto frames = h.frames();
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(indexOf(frames[1].record(0, 0)), 2150);
    EXPECT_GT(frames[1].record(0, 1), 0.0f);
}

TEST(AnalyzerFrames, WithoutACrossingCaptureStartsAfterAThirdOfASecond) {
    // Held positive: no low sample, so the low search times out after 16000 samples (the
    // count goes below 0 in the 251st block of 64), and the rise is found at once in the
    // next block. Held negative: the low is found at once and the rise search times out
    // the same way. Either way the second frame starts at 2176 + 251·64 = 18240.
    for (const bool positive : {true, false}) {
        AnalyzerHarness h;
        ASSERT_TRUE(h.ready());
        h.open();
        h.streaming(kAudioSignalAPin, true);
        const Signal held = [positive](std::int64_t i) { return indexed(i, positive); };
        h.run(20000, 64, held, held);
        const auto frames = h.frames();
        ASSERT_EQ(frames.size(), 2u) << (positive ? "positive" : "negative");
        EXPECT_EQ(indexOf(frames[1].record(0, 0)), 18240);
    }
}

TEST(AnalyzerFrames, RateChoicesAreClampedToFiveToFortyPerSecond) {
    // Blocks of 1 and an input that alternates every sample: with hold-off H the search
    // starts at s = 201 + H, and the frame starts at the first odd index after a low one.
    const struct {
        std::int32_t choice;
        std::int64_t holdoff;
    } cases[] = {{0, 9600}, {4, 1920}, {7, 1200}, {100, 1200}, {-3, 9600}, {1, 4800}};
    for (const auto& c : cases) {
        // The definition hosts read: the frames per second that give this hold-off at 48 kHz.
        EXPECT_EQ(framesPerSecondOfChoice(c.choice), 48000 / c.holdoff) << "choice " << c.choice;
        AnalyzerHarness h;
        ASSERT_TRUE(h.ready());
        h.openStreaming();
        h.setInt(kAudioRatePin, c.choice);
        h.run(10200, 1, alternating, alternating);
        const auto frames = h.frames();
        ASSERT_GE(frames.size(), 2u) << "choice " << c.choice;
        const std::int64_t s = 201 + c.holdoff;
        EXPECT_EQ(indexOf(frames[1].record(0, 0)), s % 2 == 0 ? s + 1 : s + 2)
            << "choice " << c.choice;
    }
}

TEST(AnalyzerFrames, ModeChoicesAreClampedAndSelectTheFrameKind) {
    const struct {
        std::int32_t mode;
        std::size_t size;
    } cases[] = {{0, 1604}, {1, 4100}, {2, 4228}, {7, 4228}, {-1, 1604}};
    for (const auto& c : cases) {
        AnalyzerHarness h;
        ASSERT_TRUE(h.ready());
        h.open();
        h.streaming(kAudioSignalAPin, true);
        h.setInt(kAudioModePin, c.mode);
        h.run(2048, 64, square, nullptr);
        const auto frames = h.frames();
        ASSERT_GE(frames.size(), 1u);
        EXPECT_EQ(frames[0].bytes.size(), c.size) << "mode " << c.mode;
        EXPECT_EQ(frames[0].bytes[0], 1);
        EXPECT_EQ(frames[0].bytes[1], 0) << "B does not stream";
    }
}

TEST(AnalyzerFrames, SwitchingToTheScopeWithMoreThan200CapturedSendsAtOnce) {
    AnalyzerHarness h;
    ASSERT_TRUE(h.ready());
    h.open();
    h.streaming(kAudioSignalAPin, true);
    h.setInt(kAudioModePin, 1);
    h.run(320, 64, square, square); // 320 samples of the linear spectrum's frame
    EXPECT_TRUE(h.frames().empty());
    h.setInt(kAudioModePin, 0, 10);
    h.run(64, 64, square, square);
    const auto frames = h.frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].time, 330) << "sent at the event, without new samples";
    EXPECT_EQ(frames[0].bytes.size(), 1604u);
    for (std::int32_t k = 0; k < 200; ++k) {
        ASSERT_EQ(frames[0].record(k, 0), 0.0f) << "nothing copied into the scope frame";
    }
}

TEST(AnalyzerFrames, OpenSendsTheEmptyFrameAndMirrorsTheHostFlag) {
    for (const std::int32_t flag : {0, 5}) {
        AnalyzerHarness h(44100.0f, flag);
        ASSERT_TRUE(h.ready());
        h.open();
        const auto frame = h.sentOn(kAudioFramePin);
        ASSERT_EQ(frame.size(), 1u);
        EXPECT_TRUE(frame[0].bytes.empty());
        EXPECT_EQ(frame[0].time, 0);
        const auto mirrored = h.sentOn(kAudioHostFlagPin);
        if (flag == 0) {
            EXPECT_TRUE(mirrored.empty()) << "unchanged from false: not sent";
        } else {
            ASSERT_EQ(mirrored.size(), 1u);
            EXPECT_EQ(mirrored[0].bytes, std::vector<std::uint8_t>{1});
        }
        h.open(); // again: the mirror is sent only when it changes
        EXPECT_EQ(h.sentOn(kAudioHostFlagPin).size(), flag == 0 ? 0u : 1u);
    }
}

TEST(AnalyzerFrames, WithNoInputStreamingExactlyTwoMoreFramesThenSleep) {
    AnalyzerHarness h;
    ASSERT_TRUE(h.ready());
    h.open();
    h.streaming(kAudioSignalAPin, true);
    h.run(6000, 64, square, square);
    const std::size_t before = h.frames().size();
    ASSERT_GE(before, 2u);
    h.streaming(kAudioSignalAPin, false, 5);
    h.run(48000, 64, square, square);
    const auto frames = h.frames();
    ASSERT_EQ(frames.size(), before + 2);
    EXPECT_EQ(frames[before + 1].bytes[0], 0) << "captured without a streaming signal";
    EXPECT_GT(h.host.sleepRequests, 0);
    const std::int32_t sleeps = h.host.sleepRequests;
    h.run(4096, 64, square, square);
    EXPECT_EQ(h.frames().size(), before + 2) << "asleep: nothing more";
    EXPECT_GT(h.host.sleepRequests, sleeps) << "the host is asked again at every block";

    h.streaming(kAudioSignalBPin, true);
    h.run(8000, 64, square, square);
    EXPECT_GT(h.frames().size(), before + 3) << "a streaming input wakes it";
    EXPECT_EQ(h.frames().back().bytes[1], 1);
}

TEST(AnalyzerFrames, EnableOffStopsOnlyWhenTheHostFlagIsSet) {
    for (const std::int32_t flag : {0, 1}) {
        AnalyzerHarness h(48000.0f, flag);
        ASSERT_TRUE(h.ready());
        h.open();
        h.streaming(kAudioSignalAPin, true);
        h.run(3000, 64, square, square);
        const std::size_t before = h.frames().size();
        const std::int32_t sleeps = h.host.sleepRequests;
        h.setFloat(kAudioEnablePin, 0.0f, 3);
        h.run(6000, 64, square, square);
        const auto all = h.sentOn(kAudioFramePin);
        if (flag == 0) {
            EXPECT_GT(h.frames().size(), before) << "flag 0: capture goes on";
            EXPECT_EQ(all.size(), h.frames().size() + 1) << "only open's empty";
            continue;
        }
        ASSERT_EQ(all.size(), before + 2) << "open's empty value, the frames, one empty";
        EXPECT_TRUE(all.back().bytes.empty());
        EXPECT_EQ(all.back().time, 3000 + 3);
        EXPECT_EQ(h.frames().size(), before);
        EXPECT_GT(h.host.sleepRequests, sleeps);
    }
}

TEST(AnalyzerFrames, UnsetBuffersAreSilence) {
    // No buffer for either input, ever: silent frames, nothing read through null.
    AnalyzerHarness h;
    ASSERT_TRUE(h.ready());
    h.openStreaming(1);
    h.run(6000, 64, nullptr, nullptr);
    const auto frames = h.frames();
    ASSERT_GE(frames.size(), 1u);
    EXPECT_NEAR(frames[0].record(100, 0), -130.758f, 0.0005);
    EXPECT_NEAR(frames[0].record(100, 1), -130.758f, 0.0005);
}

TEST(AnalyzerFrames, NoUsableSampleRateStillRunsAndLogBandsReadTheFloor) {
    // 0, negative and NaN give no hold-off and no trigger wait, so a rising input gives
    // frame after frame; an infinite rate gives a hold-off longer than the run.
    const float rates[] = {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(),
                           std::numeric_limits<float>::infinity()};
    for (const float rate : rates) {
        AnalyzerHarness h(rate);
        ASSERT_TRUE(h.ready());
        h.open();
        h.streaming(kAudioSignalAPin, true);
        h.setInt(kAudioModePin, 2);
        h.run(4096, 64, square, nullptr);
        const auto frames = h.frames();
        ASSERT_GE(frames.size(), std::isinf(rate) ? 1u : 3u) << "rate " << rate;
        for (std::int32_t b = 0; b < 528; ++b) {
            ASSERT_NEAR(frames[0].record(b, 0), -119.891f, 0.0005) << "rate " << rate;
        }
    }
}

TEST(AnalyzerFrames, NanAndInfiniteSamplesStillGiveFrames) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const std::int32_t mode : {0, 1, 2}) {
        AnalyzerHarness h;
        ASSERT_TRUE(h.ready());
        h.openStreaming(mode);
        h.run(
            8000, 64, [&](std::int64_t i) { return i % 3 == 0 ? nan : square(i); },
            [&](std::int64_t i) { return i % 5 == 0 ? -inf : (i % 7 == 0 ? inf : 0.5f); });
        EXPECT_GE(h.frames().size(), 2u) << "mode " << mode;
    }
}

} // namespace
} // namespace vex::test
