// The display half of the host: the order in which the display is told its look, frame
// delivery and the replay of voice activity in session time.
#include "host/kit/view/display_session.h"

#include "fake_module.h"
#include "host/kit/host_error.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vex::host {
namespace {

using test::DisplayCall;

std::vector<std::uint8_t> text16(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    for (char c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c));
        bytes.push_back(0);
    }
    return bytes;
}

template <typename T> std::vector<std::uint8_t> bytesOf(T value) {
    std::vector<std::uint8_t> bytes(sizeof(T));
    std::memcpy(bytes.data(), &value, sizeof(T));
    return bytes;
}

struct DisplaySessionTest : ::testing::Test {
    test::FakeFactory factory;

    std::vector<DisplayCall> callsAfterSetUp(std::size_t from) const {
        return std::vector<DisplayCall>(factory.displayCalls.begin() + from,
                                        factory.displayCalls.end());
    }
};

TEST_F(DisplaySessionTest, LookIsDeliveredAsSetPinThenNotifyInAFixedOrder) {
    DisplayLook look = defaultLook();
    look.width = 300;
    look.height = 200;
    look.follow = true;
    look.grid.clear();
    look.gates = {0.5f, 0.0f};
    DisplaySession session(factory, 2, look, 3, 48000.0);
    const auto& calls = factory.displayCalls;
    ASSERT_EQ(factory.displays.size(), 1u);
    EXPECT_EQ(factory.displays[0]->area[0], 0);
    EXPECT_EQ(factory.displays[0]->area[1], 200);
    EXPECT_EQ(factory.displays[0]->area[2], 0);
    EXPECT_EQ(factory.displays[0]->area[3], 300);

    struct Expected {
        std::int32_t pin, voice;
        std::vector<std::uint8_t> bytes;
    };
    const std::vector<Expected> expected = {
        {kDisplayModeItemsPin, 0, {}},
        {kDisplayModePin, 0, bytesOf<std::int32_t>(2)},
        {kDisplayFollowPin, 0, {1}},
        {kDisplaySplitPin, 0, {0}},
        {kDisplayShadePin, 0, bytesOf(-0.8f)},
        {kDisplayBackgroundPin, 0, text16(look.background)},
        {kDisplayTrace1Pin, 0, text16(look.trace1)},
        {kDisplayTrace2Pin, 0, text16(look.trace2)},
        {kDisplayLabelPin, 0, text16(look.label)},
        {kDisplayGatePin, 0, bytesOf(0.5f)},
        {kDisplayGatePin, 1, bytesOf(0.0f)},
        {kDisplayGatePin, 2, bytesOf(1.0f)},
    };
    ASSERT_EQ(calls.size(), 1 + 2 * expected.size());
    EXPECT_EQ(calls[0].what, 'a');
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const DisplayCall& set = calls[1 + 2 * i];
        const DisplayCall& notify = calls[2 + 2 * i];
        EXPECT_EQ(set.what, 's') << i;
        EXPECT_EQ(set.pinId, expected[i].pin) << i;
        EXPECT_EQ(set.voice, expected[i].voice) << i;
        EXPECT_EQ(set.bytes, expected[i].bytes) << i;
        EXPECT_EQ(notify.what, 'n') << i;
        EXPECT_EQ(notify.pinId, expected[i].pin) << i;
        EXPECT_EQ(notify.voice, expected[i].voice) << i;
    }
}

TEST_F(DisplaySessionTest, FramesGoToTheirVoiceAndAskForARedraw) {
    DisplaySession session(factory, 0, defaultLook(), 2, 48000.0);
    const std::size_t before = factory.displayCalls.size();
    const std::uint8_t frame[8] = {1, 0, 0, 0, 9, 9, 9, 9};
    EXPECT_FALSE(session.invalidated());
    session.deliverFrame(1, frame, 8, 100);
    session.deliverFrame(200, frame, 8, 100); // past the 128 voice slots: dropped
    const auto calls = callsAfterSetUp(before);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].what, 's');
    EXPECT_EQ(calls[0].pinId, kDisplayFramesPin);
    EXPECT_EQ(calls[0].voice, 1);
    EXPECT_EQ(calls[0].bytes, std::vector<std::uint8_t>(frame, frame + 8));
    EXPECT_EQ(calls[1].what, 'n');
    EXPECT_TRUE(session.invalidated());
    PaintSurface surface(64, 48);
    session.paint(surface, 100);
    EXPECT_FALSE(session.invalidated());
    EXPECT_EQ(factory.displays[0]->paintedOn, surface.dc());
}

TEST_F(DisplaySessionTest, UngatedVoicesAreActiveForHalfASecondOfSessionTime) {
    DisplayLook look = defaultLook();
    look.follow = true;
    look.gates = {1.0f, 0.0f};
    DisplaySession session(factory, 0, look, 2, 1000.0);
    const std::uint8_t frame[4] = {1, 1, 0, 0};
    session.deliverFrame(0, frame, 4, 0);
    session.deliverFrame(1, frame, 4, 0);
    PaintSurface surface(64, 48);

    std::size_t before = factory.displayCalls.size();
    session.paint(surface, 499); // younger than 500 samples at 1 kHz: the arrival is renewed
    auto calls = callsAfterSetUp(before);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].what, 'n');
    EXPECT_EQ(calls[0].voice, 1);
    EXPECT_EQ(calls[1].what, 'p');

    before = factory.displayCalls.size();
    session.paint(surface, 500); // old: the voice gets the empty value, once
    session.paint(surface, 900);
    calls = callsAfterSetUp(before);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].what, 's');
    EXPECT_EQ(calls[0].voice, 1);
    EXPECT_TRUE(calls[0].bytes.empty());
    EXPECT_EQ(calls[1].what, 'n');
    EXPECT_EQ(calls[2].what, 'p');
    EXPECT_EQ(calls[3].what, 'p');
}

TEST_F(DisplaySessionTest, WithoutFollowNothingIsReplayed) {
    DisplayLook look = defaultLook();
    look.gates = {0.0f};
    DisplaySession session(factory, 0, look, 1, 1000.0);
    const std::uint8_t frame[4] = {1, 1, 0, 0};
    session.deliverFrame(0, frame, 4, 0);
    PaintSurface surface(64, 48);
    const std::size_t before = factory.displayCalls.size();
    session.paint(surface, 5000);
    const auto calls = callsAfterSetUp(before);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].what, 'p');
}

TEST_F(DisplaySessionTest, DisplayFailuresAreReportedWithTheAnswer) {
    factory.displayResult = kMpUnsupported;
    try {
        DisplaySession session(factory, 0, defaultLook(), 1, 48000.0);
        FAIL() << "no error";
    } catch (const HostError& e) {
        EXPECT_NE(std::string(e.what()).find("answered -2 when asked for its VexAnalyzer "
                                             "display object"),
                  std::string::npos)
            << e.what();
    }
    factory.displayResult = kMpOk;
    DisplaySession session(factory, 0, defaultLook(), 1, 48000.0);
    factory.displays.back()->paintResult = kMpFail;
    PaintSurface surface(64, 48);
    EXPECT_THROW(session.paint(surface, 0), HostError);
    factory.displays.back()->refusedPin = kDisplayFramesPin;
    const std::uint8_t frame[4] = {};
    EXPECT_THROW(session.deliverFrame(0, frame, 4, 0), HostError);
}

TEST_F(DisplaySessionTest, DisplayWithoutDrawingInterfaceIsRefusedAndReleased) {
    factory.displaysAnswerDrawing = false;
    EXPECT_THROW(DisplaySession(factory, 0, defaultLook(), 1, 48000.0), HostError);
    EXPECT_EQ(factory.displays.size(), 1u);
    EXPECT_EQ(factory.destroyed, 1);
}

} // namespace
} // namespace vex::host
