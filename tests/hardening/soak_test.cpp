// The soak run: hours of audio through the plug-in's audio object, its frames carried to
// the display object for voices that come and go, with paints in between, pin automation
// and sample-rate changes. Resident memory must not grow once warmed up.
//
// By default it runs the equivalent of one hour of 48 kHz audio (172.8 million samples).
// Longer on demand: soak_tests --soak-hours=24 (fractions allowed), best in the linux
// build at full optimisation.
#include "host/kit/module_library.h"
#include "tests/hardening/hardening_support.h"
#include "tests/support/memory_usage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace vex::test {
namespace {

double soakHours = 1.0;

constexpr std::int32_t kLargestBlock = 16384;
constexpr std::int32_t kSignalLength = 1 << 17;
constexpr double kSamplesPerHour = 3600.0 * 48000.0;
constexpr std::int64_t kMegabyte = 1 << 20;

// Block sizes: random 1 to 4096, every 7th block a single sample, and every 11th one of
// the sizes hosts are known to use at the edges.
class BlockSizes {
public:
    explicit BlockSizes(std::mt19937& random) : random(random) {}
    std::int32_t next() {
        ++count;
        if (count % 7 == 0) {
            return 1;
        }
        if (count % 11 == 0) {
            static const std::int32_t kFixed[] = {0, 1, 2, 3, 17, 127, 2027, 4096, kLargestBlock};
            return kFixed[(count / 11) % std::size(kFixed)];
        }
        return 1 + static_cast<std::int32_t>(random() % 4096);
    }

private:
    std::mt19937& random;
    std::int64_t count = 0;
};

class Soak {
public:
    Soak(FactoryInterface* factory, std::uint32_t seed)
        : random(seed), sizes(random), audio(factory, 48000.0f), display(factory),
          a(kSignalLength + kLargestBlock), b(kSignalLength + kLargestBlock), surface(320, 200) {
        makeSignals();
    }

    bool ready() const { return audio.module != nullptr && display.ready(); }

    void start() {
        // Every voice has sounded once with the largest frame: the display's storage for
        // frames is at its most, as after any long session.
        const std::vector<std::uint8_t> largest(kLogSpectrumPayloadSize, 0);
        for (std::int32_t voice = 0; voice < 128; ++voice) {
            display.frame(voice, largest);
            voiceBytes[voice] = kLogSpectrumPayloadSize;
        }
        EXPECT_EQ(audio.module->open(), kMpOk);
        events.streaming(kAudioSignalAPin, true).streaming(kAudioSignalBPin, true);
        display.text(kDisplayTrace1Pin, u"0xFF00FF00");
        display.text(kDisplayTrace2Pin, u"RGB(255,255,0)");
        display.text(kDisplayGridPin, u"RGB(0,80,0)");
        display.text(kDisplayLabelPin, u"ARGB(255,0,200,0)");
        display.text(kDisplayBackgroundPin, u"0xFF000000");
        display.boolean(kDisplayFollowPin, true);
        display.real(kDisplayShadePin, 0.5f);
    }

    // One block with whatever the host does around it; answers the samples processed.
    std::int32_t step() {
        const std::int32_t frames = sizes.next();
        automate(frames);
        const std::int64_t at = position % kSignalLength;
        audio.fresh = false;
        audio.process(frames, a.data() + at, b.data() + at, &events);
        position += frames;
        if (audio.fresh) {
            deliver();
        }
        // The test host's own record of redraw requests would grow for ever.
        display.host.clearRecords();
        return frames;
    }

    // Bytes of frames the display holds for its voices: they come and go with the frames
    // it is given, up to 128 of the largest.
    std::int64_t frameStorage() const {
        std::int64_t sum = 0;
        for (const std::int64_t bytes : voiceBytes) {
            sum += bytes;
        }
        return sum;
    }

    std::int64_t blocks = 0;
    std::int64_t frames = 0;
    std::int64_t paints = 0;
    std::int64_t rateChanges = 0;

private:
    // Pin automation and sample-rate changes, now and then.
    void automate(std::int32_t frames) {
        ++blocks;
        const std::int32_t time = frames > 0 ? static_cast<std::int32_t>(random() % frames) : 0;
        switch (random() % 400) {
        case 0: {
            const std::int32_t mode = static_cast<std::int32_t>(random() % 3);
            events.integer(kAudioModePin, mode, time);
            // The display follows, mostly.
            display.integer(kDisplayModePin, random() % 8 == 0 ? (mode + 1) % 3 : mode);
            break;
        }
        case 1:
            events.integer(kAudioRatePin, static_cast<std::int32_t>(random() % 8), time);
            break;
        case 2: { // the stop request with the host flag set, or its release
            audio.host.hostFlag = 1;
            events.real(kAudioEnablePin, random() % 2 == 0 ? 0.0f : 1.0f, time);
            break;
        }
        case 3: { // an input stops or starts streaming
            const std::int32_t pin = random() % 2 == 0 ? kAudioSignalAPin : kAudioSignalBPin;
            events.streaming(pin, random() % 4 != 0, time);
            break;
        }
        case 4: {
            static const float kRates[] = {44100.0f,  48000.0f, 96000.0f, 22050.0f,
                                           192000.0f, 8000.0f,  88200.0f};
            audio.host.sampleRate = kRates[random() % std::size(kRates)];
            audio.host.hostFlag = static_cast<std::int32_t>(random() % 2);
            EXPECT_EQ(audio.module->open(), kMpOk);
            events.clear();
            events.streaming(kAudioSignalAPin, true).streaming(kAudioSignalBPin, true);
            ++rateChanges;
            break;
        }
        case 5:
            display.boolean(kDisplaySplitPin, random() % 2 == 0);
            display.real(kDisplayShadePin, static_cast<float>(random() % 200) / 100.0f - 1.0f);
            break;
        case 6:
            display.boolean(kDisplayFollowPin, random() % 4 != 0);
            break;
        default:
            break;
        }
        // Voices come and go: a gate opens on one voice or closes on another.
        if (random() % 64 == 0) {
            const std::int32_t voice = static_cast<std::int32_t>(random() % 128);
            const bool on = random() % 2 == 0;
            display.real(kDisplayGatePin, on ? 1.0f : 0.0f, voice);
            gates[voice] = on;
        }
    }

    // Two tones with a little noise, made once; each block starts at the next position
    // in them, wrapping around.
    void makeSignals() {
        std::normal_distribution<float> noise{0.0f, 0.01f};
        for (std::size_t i = 0; i < a.size(); ++i) {
            const double t = static_cast<double>(i);
            a[i] = static_cast<float>(0.7 * std::sin(t * 0.0291)) + noise(random);
            b[i] = static_cast<float>(0.3 * std::sin(t * 0.00377) + 0.2 * std::sin(t * 0.41));
        }
    }

    // The new frame goes to a sounding voice (voice 0 when none sounds); every 40th frame
    // the display paints.
    void deliver() {
        ++frames;
        std::int32_t voice = 0;
        for (std::int32_t tries = 0; tries < 8; ++tries) {
            const auto v = static_cast<std::int32_t>(random() % 128);
            if (gates[v]) {
                voice = v;
                break;
            }
        }
        if (audio.last.empty()) {
            display.set(kDisplayFramesPin, voice, nullptr, 0);
        } else {
            display.frame(voice, audio.last);
        }
        voiceBytes[voice] = static_cast<std::int64_t>(audio.last.size());
        if (frames % 40 == 0) {
            EXPECT_EQ(display.paint(surface), kMpOk);
            ++paints;
        }
    }

    std::mt19937 random;
    BlockSizes sizes;
    AudioSide audio;
    DisplaySide display;
    Events events;
    std::vector<float> a;
    std::vector<float> b;
    host::PaintSurface surface;
    std::int64_t position = 0;
    bool gates[128] = {};
    std::int64_t voiceBytes[128] = {};
};

TEST(Soak, HoursOfAudioKeepResidentMemoryFlat) {
    ASSERT_TRUE(host::startGdiplus());
    host::ModuleLibrary library;
    ASSERT_TRUE(library.load(host::defaultModulePath())) << library.error();
    Soak soak(library.factory(), 24);
    ASSERT_TRUE(soak.ready());
    soak.start();

    const auto total = static_cast<std::int64_t>(soakHours * kSamplesPerHour);
    // Warm-up: the first tenth, at least six simulated minutes, in which every mode,
    // rate and paint path has run and the heap has settled.
    const std::int64_t warmUp = std::min<std::int64_t>(
        total, std::max<std::int64_t>(total / 10, static_cast<std::int64_t>(kSamplesPerHour / 10)));
    const auto started = std::chrono::steady_clock::now();
    std::int64_t samples = 0;
    std::int64_t residentAtWarmUp = -1;
    std::int64_t heapAtWarmUp = -1;
    std::int64_t residentMost = -1;
    std::int64_t nextCheck = 0;
    while (samples < total) {
        samples += soak.step();
        if (samples >= warmUp && residentAtWarmUp < 0) {
            residentAtWarmUp = residentBytes();
            heapAtWarmUp = liveHeapBytes() >= 0 ? liveHeapBytes() - soak.frameStorage() : -1;
            residentMost = residentAtWarmUp;
        }
        if (residentAtWarmUp >= 0 && samples >= nextCheck) {
            residentMost = std::max(residentMost, residentBytes());
            nextCheck = samples + 48000 * 60; // every simulated minute
        }
        if (::testing::Test::HasFatalFailure()) {
            return;
        }
    }
    const std::int64_t residentEnd = residentBytes();
    const std::int64_t heapEnd = liveHeapBytes() >= 0 ? liveHeapBytes() - soak.frameStorage() : -1;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("soak: %lld samples (%.2f simulated hours at 48 kHz) in %lld blocks, %lld "
                "frames, %lld paints, %lld sample-rate changes, %.1f s; resident %lld -> %lld "
                "(most %lld) bytes after warm-up; live heap beside the frames held %lld -> %lld "
                "bytes\n",
                static_cast<long long>(samples), static_cast<double>(samples) / kSamplesPerHour,
                static_cast<long long>(soak.blocks), static_cast<long long>(soak.frames),
                static_cast<long long>(soak.paints), static_cast<long long>(soak.rateChanges),
                seconds, static_cast<long long>(residentAtWarmUp),
                static_cast<long long>(residentEnd), static_cast<long long>(residentMost),
                static_cast<long long>(heapAtWarmUp), static_cast<long long>(heapEnd));
    // Frames keep coming (several per simulated second) and the display keeps painting.
    EXPECT_GT(soak.frames, static_cast<std::int64_t>(3600.0 * soakHours));
    EXPECT_GE(soak.paints, soak.frames / 40);
    // Under the sanitizers their own memory (held-back frees, shadow, recorded stacks)
    // drifts by a few megabytes an hour; there the live heap below is the measure.
    if (residentAtWarmUp >= 0 && !sanitizedHeap()) {
        EXPECT_LT(residentMost - residentAtWarmUp, kMegabyte);
    }
    if (heapAtWarmUp >= 0) {
        // Beside the frames the display holds, the heap keeps its size: a leak of a few
        // bytes per block or frame would show here.
        EXPECT_LT(heapEnd - heapAtWarmUp, 64 * 1024);
    }
}

} // namespace
} // namespace vex::test

// Takes --soak-hours=H (after the test framework's own arguments).
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const std::string prefix = "--soak-hours=";
        if (argument.compare(0, prefix.size(), prefix) == 0) {
            vex::test::soakHours = std::atof(argument.c_str() + prefix.size());
        }
    }
    return RUN_ALL_TESTS();
}
