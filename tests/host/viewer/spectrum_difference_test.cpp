// The difference against values worked out here: powers averaged (a plain mean, and an
// exponential one over seconds of audio), B minus A per point, gaps where a side is 40 dB
// below its loudest point or at the floor, and the readout under the pointer.
#include "host/kit/view/viewer_tools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace vex::host {
namespace {

constexpr std::int32_t kLogPoints = 528; // 4 + 8 * 528 = 4228 bytes
constexpr float kLogFloor = -119.891f;

// A log frame: per band, signal A's level then B's, after the presence bytes.
std::vector<std::uint8_t> logFrame(const std::vector<float>& a, const std::vector<float>& b) {
    std::vector<std::uint8_t> bytes(4 + 8 * kLogPoints, 0);
    bytes[0] = a.empty() ? 0 : 1;
    bytes[1] = b.empty() ? 0 : 1;
    for (std::int32_t k = 0; k < kLogPoints; ++k) {
        if (!a.empty()) {
            std::memcpy(bytes.data() + 4 + 8 * k, &a[k], 4);
        }
        if (!b.empty()) {
            std::memcpy(bytes.data() + 8 + 8 * k, &b[k], 4);
        }
    }
    return bytes;
}

double db(double power) {
    return 10.0 * std::log10(power);
}

TEST(SpectrumDifference, MeanPowersGapsAndTheExponentialWeight) {
    // A: -20 dB, with band 100 45 dB down and band 200 at the floor; B: A + 6 dB, with
    // band 300 alternating between -20 and -10 dB (mean power: (0.01 + 0.1) / 2).
    std::vector<float> a(kLogPoints, -20.0f), b(kLogPoints, -14.0f);
    a[100] = -65.0f;
    a[200] = kLogFloor;
    std::vector<float> b2 = b;
    b[300] = -20.0f;
    b2[300] = -10.0f;
    PowerAverage subject, reference;
    subject.reset(kLogPoints);
    reference.reset(kLogPoints);
    const auto f1 = logFrame(a, b), f2 = logFrame(a, b2);
    for (const auto* f : {&f1, &f2}) {
        subject.add(f->data(), 1, 0.0, 0.0, kLogFloor);
        reference.add(f->data(), 0, 0.0, 0.0, kLogFloor);
    }
    std::vector<float> out;
    differenceDb(subject, reference, kLogFloor, out);
    ASSERT_EQ(out.size(), 528u);
    EXPECT_NEAR(out[0], 6.0, 1e-4);
    EXPECT_NEAR(out[527], 6.0, 1e-4);
    EXPECT_NEAR(out[300], db((0.01 + 0.1) / 2) + 20.0, 1e-4);
    EXPECT_TRUE(std::isnan(out[100])) << "45 dB below A's loudest";
    EXPECT_TRUE(std::isnan(out[200])) << "at the floor";

    // Exponential: a second frame one time constant later weighs 1 - 1/e.
    PowerAverage smooth;
    smooth.reset(kLogPoints);
    smooth.add(f1.data(), 1, 2.0, 0.5, kLogFloor);
    smooth.add(f2.data(), 1, 2.5, 0.5, kLogFloor);
    const double w = 1.0 - std::exp(-1.0);
    EXPECT_NEAR(smooth.levelDb(300), db(0.01 + w * (0.1 - 0.01)), 1e-6);
    // A frame from an earlier time counts as arriving at once: weight 0, nothing changes.
    smooth.add(f1.data(), 1, 1.0, 0.5, kLogFloor);
    EXPECT_NEAR(smooth.levelDb(300), db(0.01 + w * (0.1 - 0.01)), 1e-6);

    // NaN and infinities count as the floor; nothing else is touched.
    std::vector<float> bad = a;
    bad[5] = std::nanf("");
    bad[6] = INFINITY;
    PowerAverage odd;
    odd.reset(kLogPoints);
    odd.add(logFrame(bad, {}).data(), 0, 0.0, 0.0, kLogFloor);
    EXPECT_NEAR(odd.levelDb(5), kLogFloor, 1e-4);
    EXPECT_NEAR(odd.levelDb(6), kLogFloor, 1e-4);
    EXPECT_NEAR(odd.levelDb(7), -20.0, 1e-4);
}

TEST(SpectrumDifference, ToolsReadBAgainstAUnderThePointerAndSayWhatIsMissing) {
    ViewerTools tools(2, 48000.0);
    const PlotLayout layout = plotLayout(800, 400, true, false);
    PaintSurface surface(800, 400);
    tools.setDifference(true);
    const std::vector<float> a(kLogPoints, -30.0f), b(kLogPoints, -24.0f);
    tools.take(0, logFrame(a, {}).data(), 4228, 0.0);
    EXPECT_EQ(tools.differenceProblem(), "no signal B to compare");
    for (int i = 1; i <= 10; ++i) {
        tools.take(0, logFrame(a, b).data(), 4228, 0.04 * i);
    }
    EXPECT_EQ(tools.differenceProblem(), "");
    // 1 kHz is band 48 * log2(100) = 318.9: band 319, 10 * 2^(319/48) = 1002 Hz.
    const double x =
        layout.paneA.left + (319.0 + 0.5) / 528.0 * (layout.paneA.right - layout.paneA.left);
    std::int32_t column = static_cast<std::int32_t>(x);
    std::string text;
    for (std::int32_t dx = -3; dx <= 3 && text.find("1.00 kHz") == std::string::npos; ++dx) {
        tools.pointerAt(column + dx, (layout.paneA.top + layout.paneA.bottom) / 2);
        text = tools.cursorText(layout, false);
    }
    EXPECT_EQ(text, "1.00 kHz  +6.0 dB B\xE2\x88\x92"
                    "A");
    EXPECT_NE(tools.statusText().find("difference B"), std::string::npos);
    tools.draw(surface, layout, false, 0.4);

    // In a group without a reference, or with one that has no such signal: said, not drawn.
    tools.setDifferenceReference(true, -1, "");
    EXPECT_EQ(tools.differenceProblem(), "pick the reference member (v)");
    tools.setDifferenceReference(true, 5, "Bus");
    tools.take(0, logFrame(a, {}).data(), 4228, 1.0);
    tools.take(5, logFrame({}, b).data(), 4228, 1.0);
    EXPECT_EQ(tools.differenceProblem(), "the reference has no signal A");
    tools.take(5, logFrame(b, {}).data(), 4228, 1.1);
    EXPECT_EQ(tools.differenceProblem(), "");
    EXPECT_NEAR(tools.differenceValues()[40], -6.0, 1e-4);
    EXPECT_EQ(tools.differenceAgainst(), "against Bus");
}

} // namespace
} // namespace vex::host
