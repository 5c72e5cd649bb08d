// The plug-in's objects through many lives, and through signals no analyzer likes:
// afterwards they must be as good as new.
#include "host/kit/module_library.h"
#include "tests/hardening/hardening_support.h"
#include "tests/support/memory_usage.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>

namespace vex::test {
namespace {

constexpr std::int32_t kCycles = 10000;

class HostileHost : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host::startGdiplus());
        ASSERT_TRUE(library.load(host::defaultModulePath())) << library.error();
    }
    host::ModuleLibrary library;
};

// One life of each object: created, opened, given buffers, events and a few blocks (a
// frame is sent), and released; the display takes that frame, is arranged and paints.
void oneLife(FactoryInterface* factory, std::int32_t cycle, std::vector<float>& a,
             std::vector<float>& b) {
    const std::int32_t mode = cycle % 3;
    std::vector<std::uint8_t> frame;
    {
        AudioSide audio(factory, cycle % 2 == 0 ? 48000.0f : 44100.0f);
        ASSERT_NE(audio.module, nullptr);
        EXPECT_EQ(audio.module->open(), kMpOk);
        Events events;
        events.streaming(kAudioSignalAPin, true)
            .streaming(kAudioSignalBPin, true)
            .integer(kAudioModePin, mode);
        audio.process(512, a.data(), b.data(), &events);
        audio.process(512, a.data(), b.data());
        audio.process(512, a.data(), b.data());
        ASSERT_EQ(audio.last.size(), static_cast<std::size_t>(payloadSize(mode)));
        frame = audio.last;
    }
    DisplaySide display(factory);
    ASSERT_TRUE(display.ready());
    display.integer(kDisplayModePin, mode);
    display.text(kDisplayTrace1Pin, u"0xFF00FF00");
    display.frame(cycle % 128, frame);
    host::PaintSurface surface(48, 32);
    EXPECT_EQ(display.paint(surface), kMpOk);
}

TEST_F(HostileHost, TenThousandLivesOfBothObjectsLeaveNothingBehind) {
    std::vector<float> a(512), b(512);
    for (std::size_t i = 0; i < a.size(); ++i) {
        a[i] = static_cast<float>(std::sin(0.1 * static_cast<double>(i)));
        b[i] = static_cast<float>(std::cos(0.03 * static_cast<double>(i)));
    }
    FactoryInterface* factory = library.factory();
    // The warm-up: the first life makes the process-wide tables, the font family and the
    // drawing libraries' shared state, and within 384 lives the pattern of mode (cycle
    // mod 3), sample rate (mod 2) and voice (mod 128) has run through once. From there on
    // every life must give back exactly what it took: the count is of bytes allocated and
    // not freed (see liveHeapBytes), so neither the allocator's reuse of freed blocks nor
    // the state of the font caches on disk moves it.
    constexpr std::int32_t kWarmUp = 1000;
    std::int64_t heapBefore = -1;
    std::int32_t firstChanged = -1;
    for (std::int32_t cycle = 0; cycle < kCycles; ++cycle) {
        if (cycle == kWarmUp) {
            heapBefore = liveHeapBytes();
        }
        oneLife(factory, cycle, a, b);
        if (HasFatalFailure()) {
            FAIL() << "cycle " << cycle;
        }
        if (heapBefore >= 0 && firstChanged < 0 && liveHeapBytes() != heapBefore) {
            firstChanged = cycle;
        }
    }
    const std::int64_t heapAfter = liveHeapBytes();
    if (heapBefore < 0) {
        std::printf("%d lives of each object; the live heap is not counted here\n", kCycles);
        return;
    }
    std::printf("%d lives of each object; live heap after %d of them %lld bytes, at the end "
                "%lld bytes\n",
                kCycles, kWarmUp, static_cast<long long>(heapBefore),
                static_cast<long long>(heapAfter));
    EXPECT_EQ(heapAfter, heapBefore);
    EXPECT_EQ(firstChanged, -1) << "the live heap first differed after life " << firstChanged;
}

struct BadSignal {
    const char* name;
    std::function<float(std::int64_t)> sample;
};

const BadSignal kBadSignals[] = {
    {"NaN", [](std::int64_t) { return std::numeric_limits<float>::quiet_NaN(); }},
    {"+Inf", [](std::int64_t) { return std::numeric_limits<float>::infinity(); }},
    {"-Inf", [](std::int64_t) { return -std::numeric_limits<float>::infinity(); }},
    {"1e-38", [](std::int64_t) { return 1e-38f; }},
    {"FLT_MIN", [](std::int64_t) { return FLT_MIN; }},
    {"DC 1e-27", [](std::int64_t) { return 1e-27f; }},
    {"+1", [](std::int64_t) { return 1.0f; }},
    {"-1", [](std::int64_t) { return -1.0f; }},
    {"+1e30", [](std::int64_t) { return 1e30f; }},
    {"-1e30", [](std::int64_t) { return -1e30f; }},
    {"Nyquist sine", [](std::int64_t i) { return i % 2 == 0 ? 0.70710678f : -0.70710678f; }},
    {"DC", [](std::int64_t) { return 0.5f; }},
    {"impulse", [](std::int64_t i) { return i == 0 ? 1.0f : 0.0f; }},
    {"silence", [](std::int64_t) { return 0.0f; }},
};

// A frame of silence on both signals: the scope's samples all 0, a spectrum's levels all
// at its floor.
void expectSilentFrame(const std::vector<std::uint8_t>& frame, std::int32_t mode,
                       const char* after) {
    ASSERT_EQ(frame.size(), static_cast<std::size_t>(payloadSize(mode))) << after;
    EXPECT_EQ(frame[0], 1) << after;
    EXPECT_EQ(frame[1], 1) << after;
    const std::size_t values = (frame.size() - kPayloadHeaderSize) / 4;
    const float first = floatAt(frame, kPayloadHeaderSize);
    for (std::size_t k = 0; k < values; ++k) {
        const float v = floatAt(frame, kPayloadHeaderSize + 4 * k);
        if (mode == 0) {
            ASSERT_EQ(v, 0.0f) << after << ", value " << k;
        } else {
            ASSERT_TRUE(std::isfinite(v)) << after << ", value " << k;
            ASSERT_EQ(v, first) << after << ", value " << k;
            ASSERT_LT(v, -100.0f) << after;
        }
    }
}

TEST_F(HostileHost, AfterEveryBadSignalSilenceGivesWellFormedFramesThatPaint) {
    constexpr std::int32_t kBlock = 1024;
    std::vector<float> a(kBlock), b(kBlock);
    for (std::int32_t mode = 0; mode < 3; ++mode) {
        AudioSide audio(library.factory(), 48000.0f);
        DisplaySide display(library.factory());
        ASSERT_NE(audio.module, nullptr);
        ASSERT_TRUE(display.ready());
        EXPECT_EQ(audio.module->open(), kMpOk);
        Events events;
        events.streaming(kAudioSignalAPin, true)
            .streaming(kAudioSignalBPin, true)
            .integer(kAudioModePin, mode)
            .integer(kAudioRatePin, 7);
        display.integer(kDisplayModePin, mode);
        display.text(kDisplayTrace1Pin, u"0xFF00FF00");
        display.text(kDisplayTrace2Pin, u"0xFF00FF00");
        display.text(kDisplayBackgroundPin, u"RGB(0,0,40)");
        display.text(kDisplayGridPin, u"RGB(60,60,60)");
        display.text(kDisplayLabelPin, u"RGB(200,200,200)");
        for (const BadSignal& bad : kBadSignals) {
            // The bad signal on both inputs until it has been through the analysis.
            std::int64_t position = 0;
            audio.fresh = false;
            for (std::int32_t block = 0; block < 64 && !audio.fresh; ++block) {
                for (std::int32_t i = 0; i < kBlock; ++i) {
                    a[i] = bad.sample(position + i);
                    b[i] = bad.sample(position + i);
                }
                audio.process(kBlock, a.data(), b.data(), &events);
                position += kBlock;
            }
            ASSERT_TRUE(audio.fresh) << bad.name << ": no frame in 64 blocks";
            display.frame(0, audio.last);
            host::PaintSurface badPaint(320, 200);
            EXPECT_EQ(display.paint(badPaint), kMpOk) << bad.name;

            // Then 256 blocks of silence.
            std::fill(a.begin(), a.end(), 0.0f);
            std::fill(b.begin(), b.end(), 0.0f);
            audio.fresh = false;
            for (std::int32_t block = 0; block < 256; ++block) {
                audio.process(kBlock, a.data(), b.data());
            }
            ASSERT_TRUE(audio.fresh) << bad.name;
            const std::string after =
                std::string("mode ") + std::to_string(mode) + " after " + bad.name;
            expectSilentFrame(audio.last, mode, after.c_str());
            display.frame(0, audio.last);
            host::PaintSurface surface(320, 200);
            EXPECT_EQ(display.paint(surface), kMpOk) << after;
            EXPECT_GT(greenPixels(surface), 100) << after << ": the trace is painted";
        }
    }
}

} // namespace
} // namespace vex::test
