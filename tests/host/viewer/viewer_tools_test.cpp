// The tools' arithmetic against values worked out by hand: tilt per octave around 1 kHz,
// exponential smoothing over seconds of audio, freeze, and the reference taken from the
// highlighted voice before the tilt.
#include "host/kit/view/group_caption.h"
#include "host/kit/view/viewer_pane.h"
#include "host/kit/view/viewer_tools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace vex::host {
namespace {

// Frames as the formats give them: 4 header bytes (presence of A and B), then per point
// signal A's and signal B's float. Log: 528 points, 4228 bytes; linear: 512, 4100.
std::vector<std::uint8_t> frame(std::int32_t points, float a, bool withB = false, float b = 0.0f) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(4 + 8 * points), 0);
    bytes[0] = 1;
    bytes[1] = withB ? 1 : 0;
    for (std::int32_t k = 0; k < points; ++k) {
        std::memcpy(bytes.data() + 4 + 8 * k, &a, 4);
        std::memcpy(bytes.data() + 8 + 8 * k, &b, 4);
    }
    return bytes;
}

float at(const std::uint8_t* bytes, std::int32_t signal, std::int32_t k) {
    float value;
    std::memcpy(&value, bytes + 4 + 8 * k + 4 * signal, 4);
    return value;
}

TEST(Tilt, SlopePerOctaveAroundOneKilohertz) {
    EXPECT_DOUBLE_EQ(tiltDb(3.0, 2000.0), 3.0);
    EXPECT_DOUBLE_EQ(tiltDb(4.5, 500.0), -4.5);
    EXPECT_DOUBLE_EQ(tiltDb(3.0, 1000.0), 0.0);
    // 10 Hz is log2(1/100) octaves below 1 kHz; below 10 Hz (DC) takes 10 Hz's tilt.
    EXPECT_NEAR(tiltDb(3.0, 10.0), -19.931568569324174, 1e-12);
    EXPECT_NEAR(tiltDb(4.5, 0.0), -29.89735285398626, 1e-12);

    // Log band 48 is 20 Hz, band 0 10 Hz; linear bin 64 at 48 kHz is 3 kHz.
    TiltTable log;
    log.set(2, 48000.0, Tilt::kThree);
    auto bytes = frame(528, -50.0f, true, NAN);
    log.apply(bytes.data(), 4228);
    EXPECT_NEAR(at(bytes.data(), 0, 48), -50.0 + 3.0 * std::log2(0.02), 1e-4);
    EXPECT_NEAR(at(bytes.data(), 0, 0), -50.0 - 19.931568569324174, 1e-4);
    EXPECT_TRUE(std::isnan(at(bytes.data(), 1, 48))) << "a NaN level stays as sent";
    TiltTable linear;
    linear.set(1, 48000.0, Tilt::kFourAndHalf);
    EXPECT_NEAR(linear.offset(64), 4.5 * 1.584962500721156, 1e-5);
    auto scope = frame(200, 0.5f);
    linear.apply(scope.data(), 1604); // another view's frame: left alone
    EXPECT_EQ(at(scope.data(), 0, 7), 0.5f);
}

TEST(Smoothing, ExponentialOverSecondsOfAudio) {
    // Fast: tau 0.125 s. From -60 dB a step to 0 dB one tau later reaches -60 e^-1.
    SpectrumSmoother smoother;
    smoother.set(2, Smoothing::kFast);
    auto quiet = frame(528, -60.0f);
    auto loud = frame(528, 0.0f);
    smoother.apply(3, quiet.data(), 4228, 1.0);
    EXPECT_EQ(at(quiet.data(), 0, 100), -60.0f) << "a voice's first frame is taken as it is";
    smoother.apply(3, loud.data(), 4228, 1.125);
    EXPECT_NEAR(at(loud.data(), 0, 100), -22.07276647028654, 1e-4);
    // Slow: tau 1 s, half a second later: -60 e^-0.5. A frame of the same time moves
    // nothing; a non-finite level keeps the point where it was.
    smoother.set(2, Smoothing::kSlow);
    auto first = frame(528, -60.0f);
    smoother.apply(0, first.data(), 4228, 2.0);
    auto same = frame(528, 0.0f);
    smoother.apply(0, same.data(), 4228, 2.0);
    EXPECT_EQ(at(same.data(), 0, 5), -60.0f);
    auto step = frame(528, 0.0f);
    float nan = NAN;
    std::memcpy(step.data() + 4 + 8 * 9, &nan, 4);
    smoother.apply(0, step.data(), 4228, 2.5);
    EXPECT_NEAR(at(step.data(), 0, 5), -36.391839582758, 1e-4);
    EXPECT_EQ(at(step.data(), 0, 9), -60.0f);
    EXPECT_DOUBLE_EQ(smoothingSeconds(Smoothing::kFast), 0.125);
    EXPECT_DOUBLE_EQ(smoothingSeconds(Smoothing::kSlow), 1.0);
}

TEST(ViewerTools, FreezeTiltAndTheReferenceOfTheHighlightedVoice) {
    ViewerTools tools(2, 48000.0);
    tools.setHighlighted(1);
    tools.key('t'); // tilt 3 dB/oct
    ASSERT_EQ(tools.tilt(), Tilt::kThree);
    const auto voice0 = frame(528, -30.0f);
    const auto voice1 = frame(528, -40.0f, true, -45.0f);
    const std::uint8_t* handed = tools.take(1, voice1.data(), 4228, 0.5);
    ASSERT_NE(handed, nullptr);
    EXPECT_NEAR(at(handed, 0, 48), -40.0 + 3.0 * std::log2(0.02), 1e-4) << "the display's copy";
    EXPECT_EQ(at(voice1.data(), 0, 48), -40.0f) << "the module's frame stays as sent";
    EXPECT_NEAR(tools.peaks().level(0, 48, 0.5), -40.0 + 3.0 * std::log2(0.02), 1e-4);
    tools.take(0, voice0.data(), 4228, 0.6);

    // The reference is voice 1's frame before the tilt, at the session's rate.
    EXPECT_EQ(tools.key('r'), ToolChange::kReference);
    const ReferenceTrace& kept = tools.reference();
    EXPECT_EQ(kept.view, 2);
    EXPECT_EQ(kept.sampleRate, 48000.0);
    EXPECT_TRUE(kept.present[0] && kept.present[1]);
    EXPECT_EQ(kept.values[0][48], -40.0f);
    EXPECT_EQ(kept.values[1][300], -45.0f);

    // Frozen: frames are dropped, the peak hold stays.
    EXPECT_EQ(tools.key(' '), ToolChange::kFreeze);
    const auto loud = frame(528, 0.0f);
    EXPECT_EQ(tools.take(1, loud.data(), 4228, 0.7), nullptr);
    EXPECT_NEAR(tools.peaks().level(0, 48, 0.6), -30.0 + 3.0 * std::log2(0.02), 1e-4);
    EXPECT_EQ(tools.statusText(), "module analysis  tilt 3 dB/oct  frozen  reference log 48000 Hz");

    EXPECT_EQ(tools.key('x'), ToolChange::kReference);
    EXPECT_TRUE(tools.reference().empty());
    EXPECT_EQ(tools.key('q'), ToolChange::kNone);
}

TEST(ViewerTools, AReferenceOfAnotherViewIsNotDrawn) {
    // The reference's colour as stated for it: RGB(224,64,224), opaque.
    const auto referencePixels = [](const PaintSurface& surface) {
        std::int32_t count = 0;
        for (std::int32_t y = 0; y < surface.height(); ++y) {
            for (std::int32_t x = 0; x < surface.width(); ++x) {
                count += surface.pixel(x, y) == 0xFFE040E0u ? 1 : 0;
            }
        }
        return count;
    };
    ViewerTools tools(1, 48000.0);
    const auto linear = frame(512, -30.0f);
    tools.take(0, linear.data(), 4100, 0.1);
    ASSERT_TRUE(tools.storeReference());
    tools.setView(2);
    const PlotLayout layout = plotLayout(640, 360, true, false);
    PaintSurface log(640, 360);
    tools.draw(log, layout, false, 0.1);
    EXPECT_EQ(referencePixels(log), 0);
    EXPECT_NE(tools.statusText().find("(another view: not drawn)"), std::string::npos);
    tools.setView(1);
    PaintSurface same(640, 360);
    tools.draw(same, layout, false, 0.1);
    EXPECT_GT(referencePixels(same), 300);
}

TEST(ViewerTools, StripButtonsAreTheKeys) {
    ViewerTools tools(1, 48000.0);
    PaintSurface surface(640, 360);
    const PlotLayout layout = plotLayout(640, 360, true, false);
    // Buttons 16 pixels high, 2 apart, from x = 24, their bottom 8 above the window's; at
    // least 46 wide, and 7 pixels a character and 3 on each side for their longest text
    // ("tilt 4.5": 62).
    const PlotPane tilt = ViewerTools::stripButton(StripButton::kTilt, 640, 360);
    EXPECT_EQ(tilt.left, 24 + 2 * 48);
    EXPECT_EQ(tilt.right, 24 + 2 * 48 + 62);
    EXPECT_EQ(tilt.top, 360 - 8 - 16);
    EXPECT_EQ(tilt.bottom, 352);
    tools.draw(surface, layout, false, 0.0);
    EXPECT_EQ(tools.click(tilt.left + 1, tilt.top + 1), ToolChange::kNone) << "strip hidden";
    tools.setStripShown(true);
    tools.draw(surface, layout, false, 0.0);
    EXPECT_EQ(tools.click(tilt.left, tilt.top), ToolChange::kTilt);
    EXPECT_EQ(tools.click(tilt.right - 1, tilt.bottom - 1), ToolChange::kTilt);
    EXPECT_EQ(tools.tilt(), Tilt::kFourAndHalf);
    EXPECT_EQ(tools.click(tilt.right, tilt.top), ToolChange::kNone) << "the gap";
    const PlotPane smoothing = ViewerTools::stripButton(StripButton::kSmoothing, 640, 360);
    EXPECT_EQ(tools.click(smoothing.left + 5, smoothing.top + 5), ToolChange::kSmoothing);
    EXPECT_EQ(tools.smoothing(), Smoothing::kFast);
    // 200 pixels wide (buttons up to x = 195): peak, read, tilt; smoothing, freeze (48 for
    // its 6 characters), ref; clear, module (55: its m counts twice), diff; vs, gram, ? on
    // four rows, the last at the bottom.
    const PlotPane first = ViewerTools::stripButton(StripButton::kPeakHold, 200, 360);
    EXPECT_EQ(first.left, 24);
    EXPECT_EQ(first.bottom, 352 - 3 * 18);
    const PlotPane diff = ViewerTools::stripButton(StripButton::kDifference, 200, 360);
    EXPECT_EQ(diff.left, 24 + 48 + 57);
    EXPECT_EQ(diff.bottom, 352 - 18);
    const PlotPane help = ViewerTools::stripButton(StripButton::kHelp, 200, 360);
    EXPECT_EQ(help.left, 24 + 2 * 48);
    EXPECT_EQ(help.right, 24 + 2 * 48 + 46);
    EXPECT_EQ(help.bottom, 352);

    // The analysis: its button is the key m; a host without the fine one says why instead.
    const PlotPane analysis = ViewerTools::stripButton(StripButton::kAnalysis, 640, 360);
    EXPECT_EQ(tools.click(analysis.left + 1, analysis.top + 1), ToolChange::kAnalysis);
    EXPECT_EQ(tools.analysis(), Analysis::kFine);
    EXPECT_EQ(tools.key('m'), ToolChange::kAnalysis);
    EXPECT_EQ(tools.analysis(), Analysis::kModule);
    tools.setAnalysis(Analysis::kFine, "no worker");
    EXPECT_EQ(tools.analysis(), Analysis::kModule);
    EXPECT_EQ(tools.key('m'), ToolChange::kNone);
    EXPECT_EQ(tools.message(), "no worker");
    EXPECT_EQ(tools.statusText().rfind("module analysis only", 0), 0u);

    // The difference: its button is the key d; the reference's (v) is a group's only.
    const PlotPane difference = ViewerTools::stripButton(StripButton::kDifference, 640, 360);
    EXPECT_EQ(tools.click(difference.left + 1, difference.top + 1), ToolChange::kDifference);
    EXPECT_TRUE(tools.difference());
    const PlotPane versus = ViewerTools::stripButton(StripButton::kDifferenceReference, 640, 360);
    EXPECT_EQ(tools.click(versus.left + 1, versus.top + 1), ToolChange::kNone);
    EXPECT_NE(tools.message().find("group"), std::string::npos);
    tools.setDifferenceReference(true, 3, "Kick");
    EXPECT_EQ(tools.key('v'), ToolChange::kDifferenceReference);
    EXPECT_EQ(tools.key('d'), ToolChange::kDifference);
    EXPECT_FALSE(tools.difference());
}

// A character of 4 bytes in a caption is one character, drawn as itself: its box is as
// wide as that of "x?" (7 pixels a character and 10 more, from x = 28), and its glyph is
// not a question mark.
TEST(ViewerCaption, AFourByteCharacterIsOneCharacter) {
    PaintSurface wide(200, 100);
    PaintSurface question(200, 100);
    group::drawCaption(wide, {"x\xF0\x9F\x98\x80"});
    group::drawCaption(question, {"x?"});
    const std::int32_t row = 100 - 28 - 19; // the top row of the one line's box (19 high)
    EXPECT_NE(wide.pixel(28 + 2 * 7 + 9, row), 0u);
    EXPECT_EQ(wide.pixel(28 + 2 * 7 + 10, row), 0u) << "past the box";
    EXPECT_NE(wide.pixels(), question.pixels());
}

// The scale a later paint is to take: 1..4, anything not finite 1.
TEST(ViewerPane, ScaleIsKeptWithinOneToFour) {
    ViewerPane pane(2, 48000.0);
    EXPECT_EQ(pane.scale(), 1.0);
    pane.setScale(2.5);
    EXPECT_EQ(pane.scale(), 2.5);
    pane.setScale(9.0);
    EXPECT_EQ(pane.scale(), 1.0);
    pane.setScale(4.0);
    EXPECT_EQ(pane.scale(), 4.0);
    pane.setScale(0.5);
    EXPECT_EQ(pane.scale(), 1.0);
    pane.setScale(std::nan(""));
    EXPECT_EQ(pane.scale(), 1.0);
}

} // namespace
} // namespace vex::host
