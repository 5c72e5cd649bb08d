// The display paints the same pixels after any change to how it draws them. A fixed set of
// paints (every mode, a small and a large panel, one voice and all 128, opaque and
// translucent colours, noisy seeded frames) is hashed and compared with hashes recorded
// from the native build before the drawing was made fast.
//
// Native build only: under wine the system's own GDI+ paints, whose text differs from the
// stand-in's glyphs in a few pixels, so its hashes could not match this table.
//
// After a deliberate change to what is painted, print the new table with
//   VEX_PRINT_PAINT_HASHES=1 build/linux/paint_identity_tests
// and paste it below (the test still compares, so it fails until the table is pasted).
#include "analyzer/analyzer_pins.h"
#include "analyzer/audio/analyzer_messages.h"
#include "analyzer/display/analyzer_display.h"
#include "host/kit/view/paint_surface.h"
#include "tests/analyzer/display/test_frames.h"
#include "tests/support/recording_host.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace vex {
namespace {

// 64-bit FNV-1a.
std::uint64_t hashPixels(const std::vector<std::uint32_t>& pixels) {
    std::uint64_t value = 0xcbf29ce484222325ull;
    for (std::uint32_t p : pixels) {
        for (int shift = 0; shift < 32; shift += 8) {
            value = (value ^ ((p >> shift) & 0xffu)) * 0x100000001b3ull;
        }
    }
    return value;
}

std::uint32_t fixedClock() {
    return 1000000;
}

// A noisy frame: mostly within the plot, a few points far above or below it and one NaN,
// so clipping to the pane is drawn too.
std::vector<std::uint8_t> noisyFrame(std::int32_t mode, std::mt19937& random) {
    const std::int32_t points = test::pointsOfView(mode);
    const auto uniform = [&random] {
        return static_cast<float>(static_cast<std::int32_t>(random() >> 8) - (1 << 23)) *
               (1.0f / 8388608.0f); // [-1, 1)
    };
    return test::frameFrom(mode, [&](std::int32_t k, float& a, float& b) {
        if (mode == 0) {
            a = 0.6f * uniform() + (k % 37 == 5 ? 1.5f : 0.0f);
            b = 0.3f * uniform() - (k % 41 == 7 ? 2.0f : 0.0f);
        } else {
            a = -20.0f - 0.08f * static_cast<float>(k) + 6.0f * uniform() +
                (k % 53 == 9 ? 40.0f : 0.0f);
            b = -30.0f - 0.06f * static_cast<float>(k) + 6.0f * uniform() -
                (k % 61 == 3 ? 200.0f : 0.0f);
        }
        if (k == points / 3) {
            a = std::numeric_limits<float>::quiet_NaN();
        }
    });
}

struct PaintCase {
    std::int32_t mode;
    std::int32_t width;
    std::int32_t height;
    std::int32_t voices;
    bool translucent; // translucent colours, split channels, lighter other voices
};

void setText(AnalyzerDisplay& display, std::int32_t pin, const char* text) {
    MpString wide;
    for (const char* c = text; *c != 0; ++c) {
        wide.push_back(static_cast<MpChar>(*c));
    }
    display.setPin(pin, 0, static_cast<std::int32_t>(2 * wide.size()), wide.data());
    display.notifyPin(pin, 0);
}

std::uint64_t paintHash(const PaintCase& c) {
    host::RecordingHost testHost;
    auto* display = new AnalyzerDisplay(testHost.hostPointer());
    display->addRef();
    display->setClock(&fixedClock);
    display->arrange(0, c.height, 0, c.width);
    if (c.translucent) {
        setText(*display, kDisplayBackgroundPin, "ARGB(200,20,30,40)");
        setText(*display, kDisplayTrace1Pin, "ARGB(128,0,255,0)");
        setText(*display, kDisplayTrace2Pin, "ARGB(90,255,255,0)");
        setText(*display, kDisplayLabelPin, "ARGB(160,0,200,0)");
        setText(*display, kDisplayGridPin, "ARGB(100,0,80,0)");
        const float shade = 0.4f;
        display->setPin(kDisplayShadePin, 0, 4, &shade);
        display->notifyPin(kDisplayShadePin, 0);
        const std::uint8_t split = 1;
        display->setPin(kDisplaySplitPin, 0, 1, &split);
        display->notifyPin(kDisplaySplitPin, 0);
    } else {
        setText(*display, kDisplayBackgroundPin, "RGB(20,30,40)");
        setText(*display, kDisplayTrace1Pin, "RGB(0,255,0)");
        setText(*display, kDisplayTrace2Pin, "RGB(255,255,0)");
        setText(*display, kDisplayLabelPin, "RGB(0,200,0)");
        setText(*display, kDisplayGridPin, "RGB(0,80,0)");
        const float shade = -0.8f;
        display->setPin(kDisplayShadePin, 0, 4, &shade);
        display->notifyPin(kDisplayShadePin, 0);
    }
    const std::uint8_t on = 1;
    display->setPin(kDisplayFollowPin, 0, 1, &on);
    display->notifyPin(kDisplayFollowPin, 0);
    display->setPin(kDisplayModePin, 0, 4, &c.mode);
    display->notifyPin(kDisplayModePin, 0);
    std::mt19937 random(static_cast<std::uint32_t>(1000 + 10 * c.mode + c.voices));
    for (std::int32_t v = 0; v < c.voices; ++v) {
        test::deliverGated(display, v, noisyFrame(c.mode, random));
    }
    host::PaintSurface surface(c.width, c.height);
    const std::int32_t result = display->paint(surface.dc());
    display->release();
    EXPECT_EQ(result, kMpOk);
    return hashPixels(surface.pixels());
}

constexpr PaintCase kCases[] = {
    {0, 425, 225, 1, false},    {0, 425, 225, 128, false},  {0, 1280, 600, 1, false},
    {0, 1280, 600, 128, false}, {1, 425, 225, 1, false},    {1, 425, 225, 128, false},
    {1, 1280, 600, 1, false},   {1, 1280, 600, 128, false}, {2, 425, 225, 1, false},
    {2, 425, 225, 128, false},  {2, 1280, 600, 1, false},   {2, 1280, 600, 128, false},
    {0, 425, 225, 1, true},     {0, 425, 225, 128, true},   {0, 1280, 600, 1, true},
    {0, 1280, 600, 128, true},  {1, 425, 225, 1, true},     {1, 425, 225, 128, true},
    {1, 1280, 600, 1, true},    {1, 1280, 600, 128, true},  {2, 425, 225, 1, true},
    {2, 425, 225, 128, true},   {2, 1280, 600, 1, true},    {2, 1280, 600, 128, true},
};

// Recorded from the native build, in the order of kCases.
constexpr std::uint64_t kExpected[] = {
    0x78ee35ff4584088bull, // mode 0, 425x225, 1 voices, opaque
    0x2e9036350c41331cull, // mode 0, 425x225, 128 voices, opaque
    0x96a7667ce66bb20eull, // mode 0, 1280x600, 1 voices, opaque
    0x6bf6e9e7e692db59ull, // mode 0, 1280x600, 128 voices, opaque
    0x32211ff3ce424da6ull, // mode 1, 425x225, 1 voices, opaque
    0x84e2e2463bb98b40ull, // mode 1, 425x225, 128 voices, opaque
    0x1cb7e2ca7dc6bdf6ull, // mode 1, 1280x600, 1 voices, opaque
    0x738b61c8cd44c351ull, // mode 1, 1280x600, 128 voices, opaque
    0x9702a013cbc9ea8eull, // mode 2, 425x225, 1 voices, opaque
    0xce30770d3d60e36full, // mode 2, 425x225, 128 voices, opaque
    0xea6f969caf402406ull, // mode 2, 1280x600, 1 voices, opaque
    0x48295d2ce6746951ull, // mode 2, 1280x600, 128 voices, opaque
    0x83baa7322f8e8cf0ull, // mode 0, 425x225, 1 voices, translucent
    0xd3b128fcad461f80ull, // mode 0, 425x225, 128 voices, translucent
    0x0506a5b393fee534ull, // mode 0, 1280x600, 1 voices, translucent
    0x25d44925ff94a39full, // mode 0, 1280x600, 128 voices, translucent
    0xc7d927bf4a83bbebull, // mode 1, 425x225, 1 voices, translucent
    0x9866a6de0227b352ull, // mode 1, 425x225, 128 voices, translucent
    0x43aa44bd802d3f06ull, // mode 1, 1280x600, 1 voices, translucent
    0xfffe024d625e80dcull, // mode 1, 1280x600, 128 voices, translucent
    0x0a916b8b6bbde8a1ull, // mode 2, 425x225, 1 voices, translucent
    0x73e757c39cd95e3eull, // mode 2, 425x225, 128 voices, translucent
    0x5970363cfc787d1dull, // mode 2, 1280x600, 1 voices, translucent
    0x2d04eeb4880955ceull, // mode 2, 1280x600, 128 voices, translucent
};

TEST(PaintIdentity, FixedPaintsKeepTheirPixels) {
    ASSERT_TRUE(host::startGdiplus());
    const bool print = std::getenv("VEX_PRINT_PAINT_HASHES") != nullptr;
    constexpr std::size_t count = sizeof(kCases) / sizeof(kCases[0]);
    static_assert(sizeof(kExpected) / sizeof(kExpected[0]) == count, "one hash per case");
    for (std::size_t i = 0; i < count; ++i) {
        const PaintCase& c = kCases[i];
        const std::uint64_t hash = paintHash(c);
        if (print) {
            std::printf("    0x%016" PRIx64 "ull, // mode %d, %dx%d, %d voices, %s\n", hash, c.mode,
                        c.width, c.height, c.voices, c.translucent ? "translucent" : "opaque");
        }
        EXPECT_EQ(hash, kExpected[i])
            << "mode " << c.mode << ", " << c.width << "x" << c.height << ", " << c.voices
            << " voices, " << (c.translucent ? "translucent" : "opaque");
    }
}

} // namespace
} // namespace vex
