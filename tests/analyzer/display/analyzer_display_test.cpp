// The analyzer display object driven as the host drives it: pin values in, pin writes and
// redraw requests out, and the painted picture read back from pixels.
#include "analyzer/analyzer_pins.h"
#include "analyzer/audio/analyzer_messages.h"
#include "analyzer/display/analyzer_display.h"
#include "host/kit/view/paint_surface.h"
#include "tests/analyzer/display/pixel_helpers.h"
#include "tests/analyzer/display/test_frames.h"
#include "tests/support/recording_host.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <limits>
#include <vector>

namespace vex {
namespace {

std::uint32_t clockNow = 0;
std::uint32_t testClock() {
    return clockNow;
}

std::vector<std::uint8_t> logFrame(float a, float b, bool hasA = true, bool hasB = true) {
    return test::frameOf(kLogBands, hasA, a, hasB, b);
}

class AnalyzerDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host::startGdiplus());
        clockNow = 100000;
        display = new AnalyzerDisplay(host.hostPointer());
        display->addRef();
        display->setClock(&testClock);
        display->arrange(0, 225, 0, 425);
    }
    void TearDown() override { display->release(); }

    void notify(std::int32_t pin, std::int32_t voice = 0) {
        EXPECT_EQ(display->notifyPin(pin, voice), kMpOk);
    }
    void setInt(std::int32_t pin, std::int32_t value) {
        EXPECT_EQ(display->setPin(pin, 0, 4, &value), kMpOk);
        notify(pin);
    }
    void setBool(std::int32_t pin, bool value) {
        const std::uint8_t byte = value ? 1 : 0;
        EXPECT_EQ(display->setPin(pin, 0, 1, &byte), kMpOk);
        notify(pin);
    }
    void setFloat(std::int32_t pin, float value, std::int32_t voice = 0) {
        EXPECT_EQ(display->setPin(pin, voice, 4, &value), kMpOk);
        notify(pin, voice);
    }
    void setText(std::int32_t pin, const MpString& text) {
        EXPECT_EQ(display->setPin(pin, 0, static_cast<std::int32_t>(2 * text.size()), text.data()),
                  kMpOk);
        notify(pin);
    }
    void sendFrame(std::int32_t voice, const std::vector<std::uint8_t>& bytes) {
        EXPECT_EQ(display->setPin(kDisplayFramesPin, voice, static_cast<std::int32_t>(bytes.size()),
                                  bytes.data()),
                  kMpOk);
        notify(kDisplayFramesPin, voice);
    }
    std::unique_ptr<host::PaintSurface> paint(std::int32_t w = 425, std::int32_t h = 225) {
        auto surface = std::make_unique<host::PaintSurface>(w, h);
        EXPECT_EQ(display->paint(surface->dc()), kMpOk);
        return surface;
    }
    std::int32_t lastIntWrite() const {
        std::int32_t value = -1;
        if (!host.pinWrites.empty() && host.pinWrites.back().bytes.size() == 4) {
            std::memcpy(&value, host.pinWrites.back().bytes.data(), 4);
        }
        return value;
    }

    host::RecordingHost host;
    AnalyzerDisplay* display = nullptr;
};

TEST_F(AnalyzerDisplayTest, ThirteenPinsAreBoundInIndexOrder) {
    const std::int32_t types[] = {10, 8, 4, 6, 8, 1, 1, 1, 1, 1, 1, 4, 6};
    for (std::int32_t i = 0; i < 13; ++i) {
        ASSERT_NE(display->getPin(i), nullptr) << i;
        EXPECT_EQ(display->getPin(i)->typeCode(), types[i]) << i;
        EXPECT_EQ(display->getPin(i)->getId(), i);
    }
    EXPECT_EQ(display->getPin(13), nullptr);
    std::int32_t value = 1;
    EXPECT_EQ(display->setPin(13, 0, 4, &value), kMpFail);
    EXPECT_EQ(display->notifyPin(-1, 0), kMpFail);
    EXPECT_EQ(display->getCurrentMode(), 0);
    EXPECT_EQ(display->getSelectedVoice(), 0);
    EXPECT_FALSE(display->getLabelsOn());
    EXPECT_FALSE(display->getGridOn());
    EXPECT_EQ(display->font().status, 0);
    EXPECT_NE(display->font().handle, nullptr);
}

TEST_F(AnalyzerDisplayTest, ModeIsClampedAndEchoedOnModeOut) {
    setInt(kDisplayModePin, 7);
    EXPECT_EQ(display->getCurrentMode(), 2);
    ASSERT_EQ(host.pinWrites.size(), 1u);
    EXPECT_EQ(host.pinWrites[0].pinId, kDisplayModeOutPin);
    EXPECT_EQ(host.pinWrites[0].fourth, 0);
    EXPECT_EQ(lastIntWrite(), 2);
    ASSERT_FALSE(host.invalidations.empty());
    EXPECT_TRUE(host.invalidations.back().whole);

    setInt(kDisplayModePin, -3);
    EXPECT_EQ(display->getCurrentMode(), 0);
    EXPECT_EQ(lastIntWrite(), 0);

    setInt(kDisplayModePin, 2);
    host.clearRecords();
    setInt(kDisplayModeOutPin, 1); // the host writes the echo pin: the display puts the mode back
    EXPECT_EQ(display->getCurrentMode(), 2);
    ASSERT_EQ(host.pinWrites.size(), 1u);
    EXPECT_EQ(lastIntWrite(), 2);

    host.clearRecords();
    setInt(kDisplayModePin, 2); // unchanged: nothing written, still redrawn
    EXPECT_TRUE(host.pinWrites.empty());
    EXPECT_EQ(host.invalidations.size(), 1u);
    setInt(kDisplayModePin, INT_MIN);
    EXPECT_EQ(display->getCurrentMode(), 0);
    setInt(kDisplayModePin, INT_MAX);
    EXPECT_EQ(display->getCurrentMode(), 2);
}

TEST_F(AnalyzerDisplayTest, TheModeListIsPutBackOnce) {
    setText(kDisplayModeItemsPin, MP_TEXT("anything"));
    ASSERT_EQ(host.pinWrites.size(), 1u);
    EXPECT_EQ(host.pinWrites[0].pinId, kDisplayModeItemsPin);
    ASSERT_EQ(host.pinWrites[0].bytes.size(), 60u);
    MpString sent(30, 0);
    std::memcpy(sent.data(), host.pinWrites[0].bytes.data(), 60);
    EXPECT_EQ(sent, MpString(MP_TEXT("Scope,Freq (Linear),Freq (Log)")));
    host.clearRecords();
    setText(kDisplayModeItemsPin, MP_TEXT("Scope,Freq (Linear),Freq (Log)"));
    EXPECT_TRUE(host.pinWrites.empty());
    setText(kDisplayModeItemsPin, MP_TEXT(""));
    EXPECT_EQ(host.pinWrites.size(), 1u);
}

TEST_F(AnalyzerDisplayTest, GatesSelectTheVoiceWhileFollowing) {
    setBool(kDisplayFollowPin, true);
    host.clearRecords();
    setFloat(kDisplayGatePin, 0.5f, 9);
    EXPECT_EQ(display->getSelectedVoice(), 9);
    setFloat(kDisplayGatePin, 0.0f, 3);
    EXPECT_EQ(display->getSelectedVoice(), 9);
    setFloat(kDisplayGatePin, std::numeric_limits<float>::quiet_NaN(), 4);
    EXPECT_EQ(display->getSelectedVoice(), 4);
    EXPECT_TRUE(host.invalidations.empty());
    setBool(kDisplayFollowPin, false);
    EXPECT_EQ(display->getSelectedVoice(), 0);
    setFloat(kDisplayGatePin, 1.0f, 12);
    EXPECT_EQ(display->getSelectedVoice(), 0);
    // Voices outside 0..127 are ignored by the pin.
    setBool(kDisplayFollowPin, true);
    float gate = 1.0f;
    EXPECT_EQ(display->setPin(kDisplayGatePin, 128, 4, &gate), kMpOk);
    EXPECT_EQ(display->notifyPin(kDisplayGatePin, 128), kMpOk);
    EXPECT_EQ(display->getSelectedVoice(), 0);
}

TEST_F(AnalyzerDisplayTest, FramesRecordTheirTimeAndInvalidateThePlot) {
    clockNow = 12345;
    sendFrame(4, logFrame(0.0f, 0.0f));
    EXPECT_EQ(display->frameTime(4), 12345u);
    EXPECT_EQ(display->frameTime(5), 0u);
    ASSERT_EQ(host.invalidations.size(), 1u);
    const host::Invalidation& plain = host.invalidations[0];
    EXPECT_FALSE(plain.whole);
    EXPECT_EQ(plain.left, 5);
    EXPECT_EQ(plain.top, 5);
    EXPECT_EQ(plain.right, 420);
    EXPECT_EQ(plain.bottom, 220);

    setText(kDisplayLabelPin, MP_TEXT("RGB(255,255,255)"));
    host.clearRecords();
    sendFrame(4, logFrame(0.0f, 0.0f));
    ASSERT_EQ(host.invalidations.size(), 1u);
    EXPECT_EQ(host.invalidations[0].left, 20);
    EXPECT_EQ(host.invalidations[0].top, 20);
    EXPECT_EQ(host.invalidations[0].right, 420);
    EXPECT_EQ(host.invalidations[0].bottom, 220);

    // A voice outside the pin's range changes nothing.
    host.clearRecords();
    const std::vector<std::uint8_t> frame = logFrame(0.0f, 0.0f);
    EXPECT_EQ(display->setPin(kDisplayFramesPin, -1, static_cast<std::int32_t>(frame.size()),
                              frame.data()),
              kMpOk);
    EXPECT_EQ(display->notifyPin(kDisplayFramesPin, -1), kMpOk);
    EXPECT_TRUE(host.invalidations.empty());
}

TEST_F(AnalyzerDisplayTest, BackgroundFrameAndOutlineAreReadBackFromPixels) {
    // No background colour: no fill, no frame.
    EXPECT_TRUE(test::changedPixels(*paint()).empty());

    setText(kDisplayBackgroundPin, MP_TEXT("RGB(100,100,100)"));
    const auto surface = paint();
    EXPECT_EQ(surface->pixel(200, 100), 0xff646464u);
    // Black outline on the area's edges, then two rows of the darkened colour inside.
    for (std::int32_t x : {0, 100, 424}) {
        EXPECT_EQ(surface->pixel(x, 0), 0xff000000u);
        EXPECT_EQ(surface->pixel(x, 224), 0xff000000u);
    }
    EXPECT_EQ(surface->pixel(0, 100), 0xff000000u);
    EXPECT_EQ(surface->pixel(424, 100), 0xff000000u);
    for (std::int32_t d : {1, 2}) {
        EXPECT_EQ(surface->pixel(100, d), 0xff4c4c4cu);
        EXPECT_EQ(surface->pixel(100, 224 - d), 0xff4c4c4cu);
        EXPECT_EQ(surface->pixel(d, 100), 0xff4c4c4cu);
        EXPECT_EQ(surface->pixel(424 - d, 100), 0xff4c4c4cu);
    }
    EXPECT_EQ(surface->pixel(3, 100), 0xff646464u);
    EXPECT_EQ(surface->pixel(100, 3), 0xff646464u);
}

TEST_F(AnalyzerDisplayTest, InitialPensDrawUntilColoursArrive) {
    sendFrame(0, logFrame(0.0f, -20.0f));
    setInt(kDisplayModePin, 2);
    auto surface = paint();
    // Not following: voice 0 is drawn; no labels, so the plot is {5, 5, 420, 220}.
    EXPECT_EQ(test::pixelsOf(*surface, 0xff00ff00u).size(), 414u);
    EXPECT_EQ(test::pixelsOf(*surface, 0xffffff00u).size(), 414u);

    // Once the colours have been read, trace colours never given are transparent.
    setText(kDisplayGridPin, MP_TEXT("RGB(0,80,0)"));
    surface = paint();
    EXPECT_TRUE(test::pixelsOf(*surface, 0xff00ff00u).empty());
    EXPECT_TRUE(test::pixelsOf(*surface, 0xffffff00u).empty());
    EXPECT_TRUE(display->getGridOn());
    EXPECT_FALSE(test::pixelsOf(*surface, 0xff005000u).empty());
    setText(kDisplayGridPin, MP_TEXT("none"));
    EXPECT_FALSE(display->getGridOn());
}

TEST_F(AnalyzerDisplayTest, OtherVoicesAreShadedTowardWhiteOrBlack) {
    setInt(kDisplayModePin, 2);
    setBool(kDisplayFollowPin, true);
    setText(kDisplayTrace1Pin, MP_TEXT("0xff008000"));
    setText(kDisplayTrace2Pin, MP_TEXT("ARGB(255,0,0,200)"));
    sendFrame(1, logFrame(0.0f, -20.0f)); // voice 1: recent, not selected
    setFloat(kDisplayShadePin, 1.0f);
    auto surface = paint();
    EXPECT_EQ(test::pixelsOf(*surface, 0xff7fbf7fu).size(), 414u);
    EXPECT_EQ(test::pixelsOf(*surface, 0xff7f7fe3u).size(), 414u);
    setFloat(kDisplayShadePin, -1.0f);
    surface = paint();
    EXPECT_EQ(test::pixelsOf(*surface, 0xff004000u).size(), 414u);
    EXPECT_EQ(test::pixelsOf(*surface, 0xff000064u).size(), 414u);

    // The selected voice, once active, uses the main pens.
    setFloat(kDisplayGatePin, 1.0f, 0);
    sendFrame(0, logFrame(-40.0f, -40.0f, true, false));
    surface = paint();
    EXPECT_EQ(test::pixelsOf(*surface, 0xff008000u).size(), 414u);
}

TEST_F(AnalyzerDisplayTest, VoicesCountAsActiveFor500Milliseconds) {
    setInt(kDisplayModePin, 2);
    setBool(kDisplayFollowPin, true);
    setText(kDisplayTrace1Pin, MP_TEXT("RGB(0,255,0)"));
    clockNow = 10000;
    sendFrame(5, logFrame(0.0f, 0.0f, true, false));
    const auto drawnAt = [&](std::uint32_t time) {
        clockNow = time;
        return test::pixelsOf(*paint(), 0xff00ff00u).size(); // shade 0: other pen unchanged
    };
    EXPECT_EQ(drawnAt(10000), 414u);
    EXPECT_EQ(drawnAt(10499), 414u);
    EXPECT_EQ(drawnAt(10500), 0u);
    EXPECT_EQ(drawnAt(20000), 0u);
    // A gate keeps the voice active whatever its age.
    setFloat(kDisplayGatePin, 0.25f, 5);
    EXPECT_EQ(drawnAt(20000), 414u);
    // Not following: only the selected voice 0, which has no frame.
    setBool(kDisplayFollowPin, false);
    EXPECT_EQ(drawnAt(20000), 0u);
}

TEST_F(AnalyzerDisplayTest, ViewsFollowTheModeAndSkipFramesOfOtherSizes) {
    setText(kDisplayTrace1Pin, MP_TEXT("RGB(0,255,0)"));
    setText(kDisplayTrace2Pin, MP_TEXT("RGB(255,255,0)"));
    sendFrame(0, logFrame(0.0f, 0.0f));
    setInt(kDisplayModePin, 0);
    EXPECT_TRUE(test::changedPixels(*paint()).empty());
    setInt(kDisplayModePin, 1);
    EXPECT_TRUE(test::changedPixels(*paint()).empty());
    setInt(kDisplayModePin, 2);
    EXPECT_FALSE(test::changedPixels(*paint()).empty());
    // An empty value (the audio side going to sleep) leaves the voice out.
    EXPECT_EQ(display->setPin(kDisplayFramesPin, 0, 0, nullptr), kMpOk);
    notify(kDisplayFramesPin, 0);
    EXPECT_TRUE(test::changedPixels(*paint()).empty());
}

TEST_F(AnalyzerDisplayTest, PaintSurvivesAnyAreaAndDeviceContext) {
    setText(kDisplayBackgroundPin, MP_TEXT("RGB(10,20,30)"));
    setText(kDisplayLabelPin, MP_TEXT("RGB(255,255,255)"));
    setText(kDisplayGridPin, MP_TEXT("RGB(0,80,0)"));
    sendFrame(0, logFrame(0.0f, 0.0f));
    setInt(kDisplayModePin, 2);
    EXPECT_EQ(display->paint(nullptr), kMpOk);
    display->arrange(0, 0, 0, 0);
    EXPECT_EQ(display->paint(paint(10, 10)->dc()), kMpOk);
    display->arrange(100, 50, 300, 10); // inverted
    auto small = paint(20, 20);
    display->arrange(INT_MIN, INT_MAX, INT_MIN, INT_MAX);
    auto huge = paint(30, 30);
    EXPECT_EQ(huge->pixel(0, 0), 0xff000000u);
    EXPECT_EQ(huge->pixel(15, 15), 0xff0a141eu);
}

} // namespace
} // namespace vex
