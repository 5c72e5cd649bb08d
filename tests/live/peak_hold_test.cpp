// Peak hold: the highest level of each point is kept after the signal falls and then falls
// at 10 dB per second of session time (the frames' own clock, not the wall clock).
#include "host/kit/view/peak_hold.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace vex::host {
namespace {

// A log-spectrum frame (4228 bytes: 4 header bytes, 528 records of A and B levels) with
// signal A at `floor` dB except band `band` at `level`; signal B absent.
std::vector<std::uint8_t> logFrame(float floor, std::int32_t band, float level) {
    std::vector<std::uint8_t> frame(4228, 0);
    frame[0] = 1;
    for (std::int32_t b = 0; b < 528; ++b) {
        const float value = b == band ? level : floor;
        std::memcpy(frame.data() + 4 + 8 * b, &value, 4);
    }
    return frame;
}

TEST(PeakHold, KeepsAToneAfterItStopsAndFallsTenDecibelsPerSecond) {
    PeakHold hold(4228);
    ASSERT_EQ(hold.points(), 528);
    const auto tone = logFrame(-119.891f, 319, -6.0f);
    const auto silence = logFrame(-119.891f, 319, -119.891f);
    hold.add(tone.data(), 4228, 1.0);
    EXPECT_DOUBLE_EQ(hold.level(0, 319, 1.0), -6.0);
    hold.add(silence.data(), 4228, 1.04);
    hold.add(silence.data(), 4228, 1.5);
    EXPECT_NEAR(hold.level(0, 319, 1.5), -11.0, 1e-9);
    EXPECT_NEAR(hold.level(0, 319, 3.0), -26.0, 1e-9);
    // A higher level arriving later is held from then on.
    const auto louder = logFrame(-119.891f, 319, -20.0f);
    hold.add(louder.data(), 4228, 4.0);
    EXPECT_NEAR(hold.level(0, 319, 4.0), -20.0, 1e-9);
    EXPECT_NEAR(hold.level(0, 319, 6.0), -40.0, 1e-9);
    // Signal B was never present: nothing held.
    EXPECT_FALSE(hold.holds(1));
    // A level that is not finite is not held (it would never fall).
    const auto broken = logFrame(-119.891f, 319, HUGE_VALF);
    hold.add(broken.data(), 4228, 6.0);
    EXPECT_NEAR(hold.level(0, 319, 6.0), -40.0, 1e-9);
}

TEST(PeakHold, IgnoresFramesOfAnotherSizeAndStartsOverOnReset) {
    PeakHold hold(4228);
    std::vector<std::uint8_t> linear(4100, 0);
    linear[0] = 1;
    hold.add(linear.data(), 4100, 0.0);
    EXPECT_FALSE(hold.holds(0));
    hold.reset(4100);
    EXPECT_EQ(hold.points(), 512);
    hold.add(linear.data(), 4100, 0.0);
    EXPECT_TRUE(hold.holds(0));
    EXPECT_DOUBLE_EQ(hold.level(0, 10, 0.0), 0.0);
    hold.reset(1604);
    EXPECT_EQ(hold.points(), 0);
}

} // namespace
} // namespace vex::host
