// The whole analyzer through its ABI: an audio object analyses two tones, the test host
// carries each frame it sends to the display object's frames pin, and the display paints the
// picture of the tones in every view.
#include "analyzer/analyzer_pins.h"
#include "framework/audio/audio_module_interface.h"
#include "framework/display/display_module_interfaces.h"
#include "host/kit/module_library.h"
#include "host/kit/view/paint_surface.h"
#include "tests/support/recording_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace vex::host {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr std::uint32_t kTraceA = 0xff00ff00u;
constexpr std::uint32_t kTraceB = 0xffffff00u;

class AnalyzerEndToEndTest : public ::testing::TestWithParam<std::int32_t> {
protected:
    void SetUp() override {
        ASSERT_TRUE(startGdiplus());
        ASSERT_TRUE(library.load(defaultModulePath())) << library.error();
        void* out = nullptr;
        ASSERT_EQ(library.factory()->createObject(MP_TEXT("VexAnalyzer"), 0,
                                                  audioHost.hostPointer(), &out),
                  kMpOk);
        audio = static_cast<AudioModuleInterface*>(static_cast<UnknownInterface*>(out));
        ASSERT_EQ(library.factory()->createObject(MP_TEXT("VexAnalyzer"), 1,
                                                  displayHost.hostPointer(), &out),
                  kMpOk);
        display = static_cast<DisplayModuleInterface*>(out);
        ASSERT_EQ(display->queryInterface(&kDrawingInterfaceId, &out), kMpOk);
        drawing = static_cast<DrawingInterface*>(out);
        drawing->release();

        // The host carries the audio object's frames to the display's frames pin, voice 0.
        audioHost.recordSends = false;
        audioHost.onPinSend = [this](std::int32_t, std::int32_t pinId, const void* data,
                                     std::int32_t size) {
            if (pinId != kAudioFramePin) {
                return;
            }
            EXPECT_EQ(display->setPin(kDisplayFramesPin, 0, size, data), kMpOk);
            EXPECT_EQ(display->notifyPin(kDisplayFramesPin, 0), kMpOk);
            if (size > 0) {
                ++framesCarried;
            }
        };
    }
    void TearDown() override {
        if (audio != nullptr) {
            EXPECT_EQ(audio->release(), 0);
        }
        if (display != nullptr) {
            EXPECT_EQ(display->release(), 0);
        }
    }

    void setText(std::int32_t pin, const std::basic_string<MpChar>& text) {
        EXPECT_EQ(display->setPin(pin, 0, static_cast<std::int32_t>(2 * text.size()), text.data()),
                  kMpOk);
        EXPECT_EQ(display->notifyPin(pin, 0), kMpOk);
    }

    // Runs the audio object with A = 0.5 sin(1 kHz) and B = 0.25 sin(5 kHz) at 48 kHz
    // until it has sent a frame of `mode`.
    void analyse(std::int32_t mode) {
        ASSERT_EQ(audio->open(), kMpOk);
        PinEvent events[3] = {};
        events[0].type = kEventPinValue;
        events[0].pinId = kAudioModePin;
        events[0].valueSize = 4;
        events[0].value[0] = mode;
        events[0].next = &events[1];
        events[1].type = kEventStreamingStart;
        events[1].pinId = kAudioSignalAPin;
        events[1].next = &events[2];
        events[2].type = kEventStreamingStart;
        events[2].pinId = kAudioSignalBPin;
        std::vector<float> a(480);
        std::vector<float> b(480);
        ASSERT_EQ(audio->setBuffer(kAudioSignalAPin, a.data()), kMpOk);
        ASSERT_EQ(audio->setBuffer(kAudioSignalBPin, b.data()), kMpOk);
        std::int64_t position = 0;
        for (int block = 0; block < 400 && framesCarried == 0; ++block) {
            for (std::size_t i = 0; i < a.size(); ++i) {
                const double t = static_cast<double>(position + static_cast<std::int64_t>(i));
                a[i] = static_cast<float>(0.5 * std::sin(2.0 * kPi * 1000.0 * t / 48000.0));
                b[i] = static_cast<float>(0.25 * std::sin(2.0 * kPi * 5000.0 * t / 48000.0));
            }
            ASSERT_EQ(audio->process(480, block == 0 ? events : nullptr), kMpOk);
            position += 480;
        }
        ASSERT_GT(framesCarried, 0);
    }

    // The painted pixels of `colour` and the column of their highest point.
    struct Trace {
        std::int32_t count = 0;
        std::int32_t top = 1 << 30;
        std::int32_t bottom = -1;
        std::int32_t left = 1 << 30;
        std::int32_t right = -1;
        std::int32_t peakColumn = -1;
    };
    static Trace traceOf(const PaintSurface& surface, std::uint32_t colour) {
        Trace trace;
        for (std::int32_t y = 0; y < surface.height(); ++y) {
            for (std::int32_t x = 0; x < surface.width(); ++x) {
                if (surface.pixel(x, y) != colour) {
                    continue;
                }
                ++trace.count;
                if (y < trace.top) {
                    trace.top = y;
                    trace.peakColumn = x;
                }
                trace.bottom = std::max(trace.bottom, y);
                trace.left = std::min(trace.left, x);
                trace.right = std::max(trace.right, x);
            }
        }
        return trace;
    }

    ModuleLibrary library;
    RecordingHost audioHost;
    RecordingHost displayHost;
    AudioModuleInterface* audio = nullptr;
    DisplayModuleInterface* display = nullptr;
    DrawingInterface* drawing = nullptr;
    std::int32_t framesCarried = 0;
};

TEST_P(AnalyzerEndToEndTest, FramesCarriedToTheDisplayPaintTheTones) {
    const std::int32_t mode = GetParam();
    ASSERT_EQ(drawing->arrange(0, 225, 0, 425), kMpOk);
    setText(kDisplayBackgroundPin, MP_TEXT("RGB(0,0,0)"));
    setText(kDisplayTrace1Pin, MP_TEXT("RGB(0,255,0)"));
    setText(kDisplayTrace2Pin, MP_TEXT("RGB(255,255,0)"));
    setText(kDisplayLabelPin, MP_TEXT("RGB(0,200,0)"));
    std::int32_t requested = mode;
    EXPECT_EQ(display->setPin(kDisplayModePin, 0, 4, &requested), kMpOk);
    EXPECT_EQ(display->notifyPin(kDisplayModePin, 0), kMpOk);

    displayHost.clearRecords();
    analyse(mode);
    // Each frame asked for a redraw of the plot {20, 20, 420, 220}.
    ASSERT_FALSE(displayHost.invalidations.empty());
    EXPECT_EQ(displayHost.invalidations.back().left, 20);
    EXPECT_EQ(displayHost.invalidations.back().bottom, 220);

    PaintSurface surface(425, 225);
    ASSERT_EQ(drawing->paint(surface.dc()), kMpOk);
    const Trace a = traceOf(surface, kTraceA);
    const Trace b = traceOf(surface, kTraceB);
    ASSERT_GT(a.count, 0);
    ASSERT_GT(b.count, 0);
    EXPECT_EQ(a.left, 21);
    EXPECT_EQ(a.right, 419);
    if (mode == 0) {
        // Peaks of +-0.5 at y = 74 and 166, +-0.25 near 97 and 143; the frame starts at a
        // rising zero crossing, on the centre line.
        EXPECT_EQ(a.top, 74);
        EXPECT_EQ(a.bottom, 166);
        EXPECT_NEAR(b.top, 97, 1);
        EXPECT_NEAR(b.bottom, 143, 1);
    } else if (mode == 1) {
        // 1 kHz is bin 21.3 and 5 kHz bin 106.7 of 512 across 399 pixels from x = 21.
        EXPECT_NEAR(a.peakColumn, 38, 2);
        EXPECT_NEAR(b.peakColumn, 104, 2);
    } else {
        // The log grid's 1 kHz and 5 kHz lines lie at x = 261 and 346.
        EXPECT_NEAR(a.peakColumn, 261, 3);
        EXPECT_NEAR(b.peakColumn, 346, 3);
    }
    // The black background under the plot's empty corner.
    EXPECT_EQ(surface.pixel(410, 215), 0xff000000u);
}

INSTANTIATE_TEST_SUITE_P(EveryView, AnalyzerEndToEndTest, ::testing::Values(0, 1, 2));

} // namespace
} // namespace vex::host
