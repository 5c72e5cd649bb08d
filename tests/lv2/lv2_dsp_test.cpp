// The bundle's DSP library as an LV2 host drives it: loaded with dlopen from the assembled
// bundle, instantiated through its descriptor, its ports connected to buffers of ours.
// run() must not allocate, free or lock over 10^5 calls with changing modes and rates and
// blocks of 1 to 8192 samples; frames reach the notify port whole, only when wanted; the
// audio passes through unchanged.
#include "tests/support/realtime_counters.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace vex::test {
namespace {

// Port indices and URIs as the bundle's description states them.
enum : std::uint32_t {
    kSignalA = 0,
    kSignalB = 1,
    kOutA = 2,
    kOutB = 3,
    kControl = 4,
    kNotify = 5,
    kMode = 6,
    kRate = 7,
    kEnable = 8,
    kAlways = 9,
    kFramesSent = 10,
    kFramesDropped = 11,
    kPeakA = 12,
    kPeakB = 13,
};
constexpr char kUri[] = "urn:vex:analyzer";
constexpr char kFrameUri[] = "urn:vex:analyzer#Frame";
constexpr char kUiOpenUri[] = "urn:vex:analyzer#UiOpen";
constexpr char kUiClosedUri[] = "urn:vex:analyzer#UiClosed";
constexpr std::uint32_t kLargestBlock = 8192;

// The host's URID map: called at instantiation only.
struct UridMap {
    std::vector<std::string> uris;
    LV2_URID_Map feature{this, map};

    static LV2_URID map(LV2_URID_Map_Handle handle, const char* uri) {
        auto& uris = static_cast<UridMap*>(handle)->uris;
        const auto found = std::find(uris.begin(), uris.end(), uri);
        if (found != uris.end()) {
            return static_cast<LV2_URID>(found - uris.begin() + 1);
        }
        uris.emplace_back(uri);
        return static_cast<LV2_URID>(uris.size());
    }
    LV2_URID operator()(const char* uri) { return map(this, uri); }
};

// One plug-in instance with every port connected, as a host sets it up.
class Instance {
public:
    Instance(double sampleRate, std::uint32_t notifyBytes)
        : notifyStorage((notifyBytes + 7) / 8 + 1), controlStorage(64) {
        // Why: the module stays loaded for the program's life, as in a host's process.
        // Unloading it with the last instance would also unload the drawing libraries it
        // brings (Cairo, fontconfig, X11), whose one-time set-up the leak checker then
        // reports as lost.
        static void* const module =
            dlopen(VEX_LV2_BUNDLE_DIR "/VEX_ANALYZER.sem", RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(module, nullptr);
        library = dlopen(VEX_LV2_BUNDLE_DIR "/vex_analyzer_dsp.so", RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(library, nullptr) << dlerror();
        if (library == nullptr) {
            return;
        }
        auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"));
        descriptor = entry != nullptr ? entry(0) : nullptr;
        EXPECT_NE(descriptor, nullptr);
        if (descriptor == nullptr) {
            return;
        }
        EXPECT_STREQ(descriptor->URI, kUri);
        EXPECT_EQ(entry(1), nullptr);
        const LV2_Feature mapFeature{LV2_URID__map, &urids.feature};
        const LV2_Feature* features[] = {&mapFeature, nullptr};
        handle = descriptor->instantiate(descriptor, sampleRate, VEX_LV2_BUNDLE_DIR "/", features);
        EXPECT_NE(handle, nullptr);
        frameType = urids(kFrameUri);
        notifyCapacity = notifyBytes;
        for (float& value : controls) {
            value = 0.0f;
        }
        controls[kRate] = 4.0f;
        controls[kEnable] = 1.0f;
        signalA.assign(kLargestBlock, 0.0f);
        signalB.assign(kLargestBlock, 0.0f);
        outA.assign(kLargestBlock, 0.0f);
        outB.assign(kLargestBlock, 0.0f);
        if (handle == nullptr) {
            return;
        }
        connect(kSignalA, signalA.data());
        connect(kSignalB, signalB.data());
        connect(kOutA, outA.data());
        connect(kOutB, outB.data());
        connect(kControl, controlStorage.data());
        connect(kNotify, notifyStorage.data());
        for (std::uint32_t port = kMode; port <= kPeakB; ++port) {
            connect(port, &controls[port]);
        }
        descriptor->activate(handle);
        clearControl();
    }
    ~Instance() {
        if (handle != nullptr) {
            descriptor->deactivate(handle);
            descriptor->cleanup(handle);
        }
        if (library != nullptr) {
            dlclose(library);
        }
    }
    bool ready() const { return handle != nullptr; }

    void connect(std::uint32_t port, void* data) { descriptor->connect_port(handle, port, data); }

    // One run of `frames` samples from `a` and `b` (copied into the input buffers).
    void run(std::uint32_t frames) {
        auto* notify = reinterpret_cast<LV2_Atom_Sequence*>(notifyStorage.data());
        notify->atom.size = notifyCapacity;
        notify->atom.type = 0;
        descriptor->run(handle, frames);
        clearControl();
    }

    // A UI message on the control port for the next run.
    void sendUiMessage(const char* uri) {
        auto* control = reinterpret_cast<LV2_Atom_Sequence*>(controlStorage.data());
        auto* event = reinterpret_cast<LV2_Atom_Event*>(control + 1);
        event->time.frames = 0;
        event->body.type = urids(LV2_ATOM__Object);
        event->body.size = sizeof(LV2_Atom_Object_Body);
        auto* body = reinterpret_cast<LV2_Atom_Object_Body*>(event + 1);
        body->id = 0;
        body->otype = urids(uri);
        control->atom.size += lv2_atom_pad_size(sizeof(LV2_Atom_Event) + event->body.size);
    }

    // The frame events of the last run: their sizes, or -1 for an event of another type.
    template <typename Visit> void forEachEvent(Visit visit) const {
        const auto* notify = reinterpret_cast<const LV2_Atom_Sequence*>(notifyStorage.data());
        LV2_ATOM_SEQUENCE_FOREACH(notify, event) {
            visit(event->body.type == frameType ? static_cast<std::int32_t>(event->body.size) : -1,
                  event->time.frames);
        }
    }
    const LV2_Atom_Sequence& notify() const {
        return *reinterpret_cast<const LV2_Atom_Sequence*>(notifyStorage.data());
    }

    UridMap urids;
    float controls[kPeakB + 1];
    std::vector<float> signalA, signalB, outA, outB;

private:
    void clearControl() {
        auto* control = reinterpret_cast<LV2_Atom_Sequence*>(controlStorage.data());
        control->atom.type = urids(LV2_ATOM__Sequence);
        control->atom.size = sizeof(LV2_Atom_Sequence_Body);
        control->body.unit = 0;
        control->body.pad = 0;
    }

    void* library = nullptr;
    const LV2_Descriptor* descriptor = nullptr;
    LV2_Handle handle = nullptr;
    LV2_URID frameType = 0;
    std::uint32_t notifyCapacity = 0;
    std::vector<std::uint64_t> notifyStorage; // 8-byte aligned, as atoms need
    std::vector<std::uint64_t> controlStorage;
};

// A sine of `amplitude` at `hertz`, continued across blocks.
struct SineInput {
    double phase = 0.0;
    double step;
    float amplitude;
    SineInput(double hertz, double sampleRate, float amp)
        : step(2.0 * M_PI * hertz / sampleRate), amplitude(amp) {}
    void fill(float* a, float* b, std::uint32_t frames) {
        for (std::uint32_t i = 0; i < frames; ++i) {
            a[i] = amplitude * static_cast<float>(std::sin(phase));
            b[i] = -a[i];
            phase = std::fmod(phase + step, 2.0 * M_PI);
        }
    }
};

TEST(Lv2Dsp, RunIsRealtimeSafeOverManyBlocks) {
    constexpr std::int32_t kRuns = 100000;
    Instance plugin(48000.0, 65536);
    ASSERT_TRUE(plugin.ready());
    plugin.controls[kAlways] = 1.0f;
    SineInput sine(997.0, 48000.0, 0.7f);
    std::mt19937 random(1806);
    std::uniform_int_distribution<std::uint32_t> blockSize(1, kLargestBlock);
    // The input signal is long and filled before the audio thread starts: each block reads
    // a stretch of it at a random offset.
    std::vector<float> a(1 << 16), b(1 << 16);
    sine.fill(a.data(), b.data(), static_cast<std::uint32_t>(a.size()));
    std::uniform_int_distribution<std::size_t> offset(0, a.size() - kLargestBlock);

    std::int64_t sizes[4] = {0, 0, 0, 0}; // empty, scope, linear, log
    std::int64_t malformed = 0;
    std::int64_t samples = 0;
    std::int32_t dropped = 0;
    resetRealtimeCounts();
    RealtimeCounts counts;
    {
        AudioThreadScope audioThread;
        for (std::int32_t call = 0; call < kRuns; ++call) {
            const std::uint32_t frames = blockSize(random);
            const std::size_t start = offset(random);
            std::copy_n(a.begin() + start, frames, plugin.signalA.begin());
            std::copy_n(b.begin() + start, frames, plugin.signalB.begin());
            if (call % 97 == 0) {
                plugin.controls[kMode] = static_cast<float>((call / 97) % 3);
            }
            if (call % 89 == 0) {
                plugin.controls[kRate] = static_cast<float>((call / 89) % 8);
            }
            plugin.controls[kEnable] = call % 1009 < 20 ? 0.0f : 1.0f;
            if (call % 5003 == 0) {
                plugin.sendUiMessage(call % 2 == 0 ? kUiOpenUri : kUiClosedUri);
            }
            plugin.run(frames);
            samples += frames;
            plugin.forEachEvent([&](std::int32_t size, std::int64_t time) {
                if (time < 0 || time > static_cast<std::int64_t>(frames)) {
                    ++malformed;
                } else if (size == 0) {
                    ++sizes[0];
                } else if (size == 1604) {
                    ++sizes[1];
                } else if (size == 4100) {
                    ++sizes[2];
                } else if (size == 4228) {
                    ++sizes[3];
                } else {
                    ++malformed;
                }
            });
        }
        counts = realtimeCounts();
        dropped = static_cast<std::int32_t>(plugin.controls[kFramesDropped]);
    }
    EXPECT_EQ(counts.allocations, 0);
    EXPECT_EQ(counts.frees, 0);
    EXPECT_EQ(counts.locks, 0);
    if (countsPageFaults()) {
        EXPECT_LT(counts.pageFaults, 32);
    }
    // Every kind of frame came through whole, and the stop request sent empty ones.
    EXPECT_GT(sizes[1], 1000);
    EXPECT_GT(sizes[2], 1000);
    EXPECT_GT(sizes[3], 1000);
    EXPECT_GT(sizes[0], 10);
    EXPECT_EQ(malformed, 0);
    EXPECT_EQ(dropped, 0);
    const std::int64_t delivered = sizes[0] + sizes[1] + sizes[2] + sizes[3];
    EXPECT_EQ(static_cast<std::int64_t>(plugin.controls[kFramesSent]), delivered);
    std::printf("%d run calls, %lld samples, frames %lld/%lld/%lld, %lld empty; audio thread: "
                "%lld allocations, %lld frees, %lld locks, %lld page faults (%s)\n",
                kRuns, static_cast<long long>(samples), static_cast<long long>(sizes[1]),
                static_cast<long long>(sizes[2]), static_cast<long long>(sizes[3]),
                static_cast<long long>(sizes[0]), static_cast<long long>(counts.allocations),
                static_cast<long long>(counts.frees), static_cast<long long>(counts.locks),
                static_cast<long long>(counts.pageFaults),
                countsMallocAndLocks() ? "malloc family and locks" : "operator new and delete");
}

// The counters see allocations made inside the dlopened libraries, so the zero above is
// not blindness: instantiation allocates there.
TEST(Lv2Dsp, CountersSeeTheLibrariesAllocations) {
    if (!countsMallocAndLocks()) {
        GTEST_SKIP() << "this build counts operator new and delete of the program only";
    }
    resetRealtimeCounts();
    RealtimeCounts counts;
    {
        AudioThreadScope audioThread;
        Instance plugin(48000.0, 65536);
        ASSERT_TRUE(plugin.ready());
        counts = realtimeCounts();
    }
    EXPECT_GT(counts.allocations, 10);
}

// Frames go out only while a UI listens (or the always control is on), and a frame that
// does not fit the host's buffer is left out whole and counted.
TEST(Lv2Dsp, FramesReachTheNotifyPortWholeAndOnlyWhenWanted) {
    // Room for one scope frame (1604 bytes and its 16-byte event header after the 16-byte
    // sequence header), not for a spectrum frame.
    Instance plugin(48000.0, 1700);
    ASSERT_TRUE(plugin.ready());
    SineInput sine(1000.0, 48000.0, 0.5f);
    std::int32_t events = 0;
    std::int32_t other = 0;
    const auto play = [&](std::int32_t blocks) {
        for (std::int32_t i = 0; i < blocks; ++i) {
            sine.fill(plugin.signalA.data(), plugin.signalB.data(), 512);
            plugin.run(512);
            plugin.forEachEvent(
                [&](std::int32_t size, std::int64_t) { size == 1604 ? ++events : ++other; });
        }
    };
    play(200); // no UI, always off: the analysis runs, nothing goes out
    EXPECT_EQ(events + other, 0);
    EXPECT_GT(plugin.controls[kFramesSent], 20.0f);
    EXPECT_EQ(plugin.controls[kFramesDropped], 0.0f);

    plugin.sendUiMessage(kUiOpenUri);
    play(200);
    EXPECT_GT(events, 20);
    EXPECT_EQ(other, 0);
    EXPECT_EQ(plugin.controls[kFramesDropped], 0.0f);

    plugin.controls[kMode] = 2.0f; // 4228-byte frames do not fit
    const float sentBefore = plugin.controls[kFramesSent];
    events = 0;
    play(200);
    EXPECT_EQ(other, 0);
    EXPECT_LE(events, 1); // at most the scope frame finished as the mode changed
    const float sent = plugin.controls[kFramesSent] - sentBefore;
    EXPECT_GT(sent, 20.0f);
    EXPECT_EQ(plugin.controls[kFramesDropped], sent - static_cast<float>(events));
    EXPECT_EQ(plugin.notify().atom.size, sizeof(LV2_Atom_Sequence_Body));

    plugin.controls[kMode] = 0.0f;
    plugin.sendUiMessage(kUiClosedUri);
    play(4); // the message's block may still carry a frame
    events = 0;
    play(200);
    EXPECT_EQ(events + other, 0);
}

// The audio passes through bit for bit at any block size, 0 included; the peaks are those
// of the inputs; frames come at the rate the sample rate given at instantiation implies.
TEST(Lv2Dsp, PassesAudioThroughAndReportsPeaks) {
    constexpr double kSampleRate = 96000.0;
    Instance plugin(kSampleRate, 65536);
    ASSERT_TRUE(plugin.ready());
    plugin.controls[kRate] = 4.0f; // 25 per second: a hold-off of 3840 samples
    SineInput sine(1000.0, kSampleRate, 0.25f);
    std::mt19937 random(77);
    std::uniform_int_distribution<std::uint32_t> blockSize(0, 700);
    std::int64_t samples = 0;
    bool same = true;
    while (samples < static_cast<std::int64_t>(kSampleRate) * 4) {
        const std::uint32_t frames = blockSize(random);
        sine.fill(plugin.signalA.data(), plugin.signalB.data(), frames);
        plugin.run(frames);
        same = same &&
               std::equal(plugin.signalA.begin(), plugin.signalA.begin() + frames,
                          plugin.outA.begin()) &&
               std::equal(plugin.signalB.begin(), plugin.signalB.begin() + frames,
                          plugin.outB.begin());
        samples += frames;
    }
    EXPECT_TRUE(same);
    // 96 samples a cycle: the largest sample lies within 1.875 degrees of the crest.
    EXPECT_NEAR(plugin.controls[kPeakA], 0.25f, 0.25f * (1.0f - std::cos(1.875f * M_PI / 180)));
    EXPECT_NEAR(plugin.controls[kPeakB], 0.25f, 0.25f * (1.0f - std::cos(1.875f * M_PI / 180)));
    // Each frame: 200 captured samples, the hold-off, the rest of the block in which the
    // hold-off ends (up to 700 samples), then up to one cycle to the next rising edge.
    const double seconds = static_cast<double>(samples) / kSampleRate;
    EXPECT_GE(plugin.controls[kFramesSent],
              std::floor(seconds * kSampleRate / (200 + 3840 + 700 + 96)));
    EXPECT_LE(plugin.controls[kFramesSent], std::ceil(seconds * kSampleRate / (200 + 3840)) + 1);
}

// A host may hand each input's buffer to the other signal's output (crossed, in place):
// both signals still come out of their own outputs.
TEST(Lv2Dsp, CrossedInPlaceBuffersKeepBothSignals) {
    Instance plugin(48000.0, 65536);
    ASSERT_TRUE(plugin.ready());
    plugin.connect(kOutA, plugin.signalB.data());
    plugin.connect(kOutB, plugin.signalA.data());
    SineInput sine(440.0, 48000.0, 0.5f);
    for (int block = 0; block < 4; ++block) {
        sine.fill(plugin.signalA.data(), plugin.signalB.data(), 256);
        const std::vector<float> a(plugin.signalA.begin(), plugin.signalA.begin() + 256);
        const std::vector<float> b(plugin.signalB.begin(), plugin.signalB.begin() + 256);
        plugin.run(256);
        EXPECT_TRUE(std::equal(a.begin(), a.end(), plugin.signalB.begin())) << block;
        EXPECT_TRUE(std::equal(b.begin(), b.end(), plugin.signalA.begin())) << block;
    }
}

// The torture run: sample rates from 8 kHz to 768 kHz, blocks of 1 to 8192 samples of NaN,
// infinities, denormals and full-scale squares (or a mix), the mode, rate and enable
// changed every block. The audio passes through bit for bit, every frame sent reaches the
// notify port whole or is counted as dropped, and run neither allocates, frees nor locks.
TEST(Lv2Dsp, TortureRunKeepsAudioCountersAndRealTime) {
    constexpr std::int32_t kBlocks = 600;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float hostile[] = {nan,      -nan,      std::numeric_limits<float>::signaling_NaN(),
                             INFINITY, -INFINITY, 1e-40f,
                             -1e-45f,  1.0f,      -1.0f};
    std::mt19937 random(2026);
    std::uniform_int_distribution<std::uint32_t> anySize(1, kLargestBlock);
    std::int64_t sentOverall = 0;
    for (const double rate : {8000.0, 22050.0, 44100.0, 96000.0, 192000.0, 768000.0}) {
        Instance plugin(rate, 65536);
        ASSERT_TRUE(plugin.ready());
        plugin.controls[kAlways] = 1.0f;
        std::int64_t delivered = 0;
        std::int64_t malformed = 0;
        bool same = true;
        bool growing = true;
        float sent = 0.0f;
        float dropped = 0.0f;
        resetRealtimeCounts();
        RealtimeCounts counts;
        {
            AudioThreadScope audioThread;
            for (std::int32_t block = 0; block < kBlocks; ++block) {
                const std::uint32_t frames = block % 4 == 0 ? 1 + block % 3 : anySize(random);
                const std::uint32_t half = 1u + static_cast<std::uint32_t>(block) * 37u % 700u;
                for (std::uint32_t i = 0; i < frames; ++i) {
                    const float square = (i / half) % 2 == 0 ? 1.0f : -1.0f;
                    const float* kinds[] = {&hostile[i % 3], &hostile[3 + i % 2],
                                            &hostile[5 + i % 2], &square, &hostile[random() % 9]};
                    plugin.signalA[i] = *kinds[block % 5];
                    plugin.signalB[i] = *kinds[(block + 2) % 5];
                }
                plugin.controls[kMode] = static_cast<float>(block % 3);
                plugin.controls[kRate] = static_cast<float>(block * 3 % 8);
                plugin.controls[kEnable] = block % 7 == 6 ? 0.0f : 1.0f;
                plugin.run(frames);
                same = same &&
                       std::memcmp(plugin.signalA.data(), plugin.outA.data(), frames * 4) == 0 &&
                       std::memcmp(plugin.signalB.data(), plugin.outB.data(), frames * 4) == 0;
                plugin.forEachEvent([&](std::int32_t size, std::int64_t time) {
                    if (size < 0) {
                        return; // not a frame
                    }
                    const bool whole = size == 0 || size == 1604 || size == 4100 || size == 4228;
                    (whole && time >= 0 && time <= frames ? delivered : malformed) += 1;
                });
                growing = growing && plugin.controls[kFramesSent] >= sent &&
                          plugin.controls[kFramesDropped] >= dropped &&
                          plugin.controls[kPeakA] >= 0.0f && plugin.controls[kPeakB] >= 0.0f;
                sent = plugin.controls[kFramesSent];
                dropped = plugin.controls[kFramesDropped];
            }
            counts = realtimeCounts();
        }
        EXPECT_TRUE(same) << rate;
        EXPECT_TRUE(growing) << rate;
        EXPECT_EQ(malformed, 0) << rate;
        EXPECT_EQ(static_cast<std::int64_t>(sent), delivered + static_cast<std::int64_t>(dropped))
            << rate;
        EXPECT_EQ(counts.allocations, 0) << rate;
        EXPECT_EQ(counts.frees, 0) << rate;
        EXPECT_EQ(counts.locks, 0) << rate;
        if (countsPageFaults()) {
            EXPECT_LT(counts.pageFaults, 32) << rate;
        }
        sentOverall += static_cast<std::int64_t>(sent);
    }
    EXPECT_GT(sentOverall, 0) << "the squares gave the trigger nothing to find";
}

} // namespace
} // namespace vex::test
