// The bundle's DSP library as an LV2 host drives it: loaded with dlopen from the assembled
// bundle, instantiated through its descriptor, its ports connected to buffers of ours.
// run() must not allocate, free or lock over 10^5 calls with changing modes and rates and
// blocks of 1 to 8192 samples; frames reach the notify port whole, only when wanted; the
// audio passes through unchanged; with a worker, the fine analysis's frames replace the
// module's spectra.
#include "tests/lv2/lv2_instance.h"
#include "tests/support/realtime_counters.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace vex::test {
namespace {

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

// One frame event of a run as the test reads it: the frame's time, its #analysis (-1: none)
// and its bytes.
struct SeenFrame {
    std::int64_t time = -1;
    std::int32_t analysis = -1;
    std::vector<std::uint8_t> bytes;
};

// The frames of `plugin`'s last run. Allocates: not inside a counted stretch.
std::vector<SeenFrame> framesOf(Instance& plugin) {
    const LV2_URID frame = plugin.urids(kFrameUri);
    const LV2_URID time = plugin.urids("urn:vex:analyzer#time");
    const LV2_URID analysis = plugin.urids("urn:vex:analyzer#analysis");
    const LV2_URID bytes = plugin.urids("urn:vex:analyzer#bytes");
    std::vector<SeenFrame> frames;
    LV2_ATOM_SEQUENCE_FOREACH(&plugin.notify(), event) {
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
        if (object->body.otype != frame) {
            continue;
        }
        const LV2_Atom* values[3] = {};
        lv2_atom_object_get(object, time, &values[0], analysis, &values[1], bytes, &values[2], 0);
        SeenFrame seen;
        if (values[0] != nullptr) {
            seen.time = reinterpret_cast<const LV2_Atom_Long*>(values[0])->body;
        }
        if (values[1] != nullptr) {
            seen.analysis = reinterpret_cast<const LV2_Atom_Int*>(values[1])->body;
        }
        if (values[2] != nullptr) {
            const auto* data = reinterpret_cast<const std::uint8_t*>(values[2] + 1);
            seen.bytes.assign(data, data + values[2]->size);
        }
        frames.push_back(std::move(seen));
    }
    return frames;
}

// A spectrum frame's level of `signal` at point `k`: after the two presence bytes and two
// spare ones, each point's two levels as floats, A then B.
float levelAt(const SeenFrame& frame, std::int32_t signal, std::int32_t k) {
    float level = 0.0f;
    std::memcpy(&level, frame.bytes.data() + 4 + 8 * k + 4 * signal, sizeof level);
    return level;
}

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
            plugin.forEachEvent([&](std::int32_t size, std::int64_t time, std::int64_t) {
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
                static_cast<long long>(counts.pageFaults), countingMethod());
}

// The counters see allocations made inside the dlopened libraries, so the zero above is
// not blindness: instantiation allocates there.
TEST(Lv2Dsp, CountersSeeTheLibrariesAllocations) {
    if (!countsLibraryAllocations()) {
        GTEST_SKIP() << "this build counts " << countingMethod();
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
    // Room for one scope frame after the 16-byte sequence header: the event's 16-byte
    // header, the object's 8-byte body, the time (24 bytes), the sample rate (24) and the
    // analysis (24), the bytes' entry (16) and the 1604 bytes padded to 1608; not for a
    // spectrum frame.
    Instance plugin(48000.0, 1800);
    ASSERT_TRUE(plugin.ready());
    SineInput sine(1000.0, 48000.0, 0.5f);
    std::int32_t events = 0;
    std::int32_t other = 0;
    const auto play = [&](std::int32_t blocks) {
        for (std::int32_t i = 0; i < blocks; ++i) {
            sine.fill(plugin.signalA.data(), plugin.signalB.data(), 512);
            plugin.run(512);
            plugin.forEachEvent([&](std::int32_t size, std::int64_t, std::int64_t) {
                size == 1604 ? ++events : ++other;
            });
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
// of the inputs; frames come at the rate the sample rate given at instantiation implies,
// each stating its time: the samples run since activation up to its place in its block.
TEST(Lv2Dsp, PassesAudioThroughAndReportsPeaks) {
    constexpr double kSampleRate = 96000.0;
    Instance plugin(kSampleRate, 65536);
    ASSERT_TRUE(plugin.ready());
    plugin.controls[kRate] = 4.0f; // 25 per second: a hold-off of 3840 samples
    plugin.controls[kAlways] = 1.0f;
    std::int64_t timed = 0;
    std::int64_t mistimed = 0;
    std::int64_t lastTime = -1;
    double statedRate = 0.0;
    SineInput sine(1000.0, kSampleRate, 0.25f);
    std::mt19937 random(77);
    std::uniform_int_distribution<std::uint32_t> blockSize(0, 700);
    std::int64_t samples = 0;
    bool same = true;
    while (samples < static_cast<std::int64_t>(kSampleRate) * 4) {
        const std::uint32_t frames = blockSize(random);
        sine.fill(plugin.signalA.data(), plugin.signalB.data(), frames);
        plugin.run(frames);
        plugin.forEachEvent([&](std::int32_t size, std::int64_t offset, std::int64_t time) {
            if (size < 0) {
                return; // not a frame
            }
            const bool right = time == samples + offset && time > lastTime;
            ++(right ? timed : mistimed);
            lastTime = time;
        });
        statedRate = std::max(statedRate, plugin.frameRateStated());
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
    EXPECT_EQ(mistimed, 0);
    EXPECT_EQ(timed, static_cast<std::int64_t>(plugin.controls[kFramesSent]));
    EXPECT_EQ(statedRate, kSampleRate);
}

// With a worker, the fine analysis's frames replace the module's spectra: each at the time
// of a spectrum frame the module sent (as an instance without a worker sends them), one
// block later, stating the fine analysis, a 100 Hz sine peaking in the band of 100 Hz
// (band k at 10 * 2^(k/48) Hz). The analysis control set to module gives the module's
// frames at once. Without a worker the frames are the module's and say the fine analysis
// cannot run. A worker that answers at once gives fine frames too.
TEST(Lv2Dsp, FineFramesReplaceTheModulesSpectraWhenAWorkerRunsThem) {
    Instance fine(48000.0, 65536, 0.0f, true);
    Instance module(48000.0, 65536, 0.0f, false);
    ASSERT_TRUE(fine.ready() && module.ready());
    SineInput sineFine(100.0, 48000.0, 0.5f);
    SineInput sineModule(100.0, 48000.0, 0.5f);
    std::set<std::int64_t> moduleTimes;
    std::vector<SeenFrame> fineFrames, moduleFrames;
    const auto play = [&](std::int32_t blocks) {
        fineFrames.clear();
        moduleFrames.clear();
        for (std::int32_t i = 0; i < blocks; ++i) {
            for (Instance* plugin : {&fine, &module}) {
                plugin->controls[kAlways] = 1.0f;
                plugin->controls[kMode] = 2.0f;
                (plugin == &fine ? sineFine : sineModule)
                    .fill(plugin->signalA.data(), plugin->signalB.data(), 512);
                plugin->cycle(512);
                for (SeenFrame& frame : framesOf(*plugin)) {
                    (plugin == &fine ? fineFrames : moduleFrames).push_back(frame);
                }
            }
        }
        for (const SeenFrame& frame : moduleFrames) {
            moduleTimes.insert(frame.time);
        }
    };
    play(300); // 3.2 s
    ASSERT_GT(fineFrames.size(), 20u);
    std::int32_t fineAnalysis = 0, atModuleTimes = 0, moduleOnly = 0;
    for (const SeenFrame& frame : fineFrames) {
        fineAnalysis += frame.analysis == 1 && frame.bytes.size() == 4228 ? 1 : 0;
        atModuleTimes += moduleTimes.count(frame.time) > 0 ? 1 : 0;
    }
    for (const SeenFrame& frame : moduleFrames) {
        moduleOnly += frame.analysis == 2 ? 1 : 0;
    }
    EXPECT_EQ(fineAnalysis, static_cast<std::int32_t>(fineFrames.size()));
    EXPECT_EQ(atModuleTimes, static_cast<std::int32_t>(fineFrames.size()));
    EXPECT_EQ(moduleOnly, static_cast<std::int32_t>(moduleFrames.size()));
    const SeenFrame& last = fineFrames.back();
    std::int32_t peak = 0;
    for (std::int32_t k = 0; k < 528; ++k) {
        ASSERT_TRUE(std::isfinite(levelAt(last, 0, k))) << k;
        peak = levelAt(last, 0, k) > levelAt(last, 0, peak) ? k : peak;
    }
    EXPECT_NEAR(10.0 * std::pow(2.0, peak / 48.0), 100.0, 100.0 * (std::pow(2.0, 1 / 96.0) - 1));

    // The module's analysis chosen: its frames at once, the same bytes as the other's.
    fine.controls[kAnalysis] = 0.0f;
    play(100);
    ASSERT_FALSE(fineFrames.empty());
    std::int32_t same = 0;
    for (const SeenFrame& frame : fineFrames) {
        for (const SeenFrame& other : moduleFrames) {
            same += frame.time == other.time && frame.bytes == other.bytes && frame.analysis == 0;
        }
    }
    EXPECT_EQ(same, static_cast<std::int32_t>(fineFrames.size()));

    // A worker that answers inside schedule_work (a host running offline): the same.
    fine.controls[kAnalysis] = 1.0f;
    fine.synchronous = true;
    play(20);
    ASSERT_FALSE(fineFrames.empty());
    EXPECT_EQ(fineFrames.back().analysis, 1);
    EXPECT_EQ(moduleTimes.count(fineFrames.back().time), 1u);
}

// Group segments of this test process alone, removed when the test ends.
class GroupScope {
public:
    explicit GroupScope(int group) {
        scope = "lv2dsp" + std::to_string(getpid());
        name = "/vex-analyzer-" + std::to_string(geteuid()) + "-group-" + std::to_string(group) +
               "-" + scope;
        setenv("VEX_GROUP_SCOPE", scope.c_str(), 1);
        shm_unlink(name.c_str());
    }
    ~GroupScope() {
        shm_unlink(name.c_str());
        unsetenv("VEX_GROUP_SCOPE");
    }
    std::string scope;
    std::string name;
};

// The frame sizes on an instance's notify port in its last run.
std::vector<std::int32_t> frameSizes(const Instance& plugin) {
    std::vector<std::int32_t> sizes;
    plugin.forEachEvent(
        [&](std::int32_t size, std::int64_t, std::int64_t) { sizes.push_back(size); });
    return sizes;
}

// 16 members of one group run in turn, 10^5 runs in all with changing blocks, modes and
// rates: no allocation, free, lock, system call or page fault on the audio thread.
TEST(Lv2Dsp, RunInAGroupIsRealtimeSafe) {
    GroupScope group(3);
    std::vector<std::unique_ptr<Instance>> members;
    for (int i = 0; i < 16; ++i) {
        members.push_back(std::make_unique<Instance>(48000.0, 65536, 3.0f));
        ASSERT_TRUE(members.back()->ready());
        members.back()->controls[kAlways] = 1.0f;
    }
    std::vector<float> a(1 << 16), b(1 << 16);
    SineInput sine(440.0, 48000.0, 0.5f);
    sine.fill(a.data(), b.data(), static_cast<std::uint32_t>(a.size()));
    // Every member runs its first blocks before the count: the object's first frames and
    // the group's first view are set-up, not the steady state measured.
    for (auto& member : members) {
        for (int i = 0; i < 120; ++i) {
            member->controls[kMode] = static_cast<float>(i / 40);
            std::copy_n(a.begin() + i * 512, 512, member->signalA.begin());
            member->run(512);
        }
    }
    std::mt19937 random(2317);
    std::uniform_int_distribution<std::uint32_t> blockSize(1, 2048);
    std::uniform_int_distribution<std::size_t> offset(0, a.size() - 2048);
    std::int64_t frames = 0;
    const RealtimeCounts counts = countOnAudioThread([&] {
        for (std::int32_t call = 0; call < 100000; ++call) {
            Instance& member = *members[static_cast<std::size_t>(call % 16)];
            const std::uint32_t length = blockSize(random);
            const std::size_t start = offset(random);
            std::copy_n(a.begin() + start, length, member.signalA.begin());
            std::copy_n(b.begin() + start, length, member.signalB.begin());
            if (call % 997 == 0) {
                member.controls[kMode] = static_cast<float>((call / 997) % 3);
            }
            if (call % 89 == 0) {
                member.controls[kRate] = static_cast<float>((call / 89) % 8);
            }
            member.run(length);
            member.forEachEvent([&](std::int32_t, std::int64_t, std::int64_t) { ++frames; });
        }
    });
    EXPECT_EQ(counts.allocations, 0);
    EXPECT_EQ(counts.frees, 0);
    EXPECT_EQ(counts.locks, 0);
    if (countsSyscalls()) {
        EXPECT_EQ(counts.syscalls, 0);
    }
    if (countsPageFaults()) {
        // Why not 0: measured 0 or 1 from run to run with the same work, a fault the kernel
        // makes (a page moved or merged under the process) rather than first touches.
        EXPECT_LE(counts.pageFaults, 2);
    }
    EXPECT_GT(frames, 10000);
    std::set<float> slots;
    for (auto& member : members) {
        EXPECT_EQ(member->controls[kMembers], 16.0f);
        slots.insert(member->controls[kSlot]);
    }
    EXPECT_EQ(slots.size(), 16u);
    EXPECT_EQ(*slots.begin(), 0.0f);
    EXPECT_EQ(*slots.rbegin(), 15.0f);
    std::printf("100000 run calls in a group of 16, %lld frames; audio thread: %lld allocations, "
                "%lld frees, %lld locks, %lld system calls (%s), %lld page faults\n",
                static_cast<long long>(frames), static_cast<long long>(counts.allocations),
                static_cast<long long>(counts.frees), static_cast<long long>(counts.locks),
                static_cast<long long>(counts.syscalls),
                countsSyscalls() ? "counted" : "not counted here",
                static_cast<long long>(counts.pageFaults));
}

// The members and slot outputs; the 129th member gets no slot until one frees; one member's
// mode control switches the frames of every member (the group's view).
TEST(Lv2Dsp, GroupCountsMembersRefusesThe129thAndSharesTheView) {
    GroupScope group(5);
    std::vector<std::unique_ptr<Instance>> members;
    const auto runAll = [&](int blocks) {
        for (int i = 0; i < blocks; ++i) {
            for (auto& member : members) {
                if (member) {
                    member->run(1024);
                }
            }
        }
    };
    for (int i = 0; i < 129; ++i) {
        members.push_back(std::make_unique<Instance>(48000.0, 16384, 5.0f));
        ASSERT_TRUE(members.back()->ready());
    }
    runAll(6); // past a tenth of a second: the members are counted
    for (int i = 0; i < 128; ++i) {
        EXPECT_EQ(members[static_cast<std::size_t>(i)]->controls[kSlot], static_cast<float>(i));
    }
    EXPECT_EQ(members[128]->controls[kSlot], -1.0f);
    EXPECT_EQ(members[128]->controls[kMembers], 128.0f);

    members[40].reset(); // deactivated: its slot is free at once
    runAll(50);          // the 129th looks again within a second of audio
    EXPECT_EQ(members[128]->controls[kSlot], 40.0f);
    EXPECT_EQ(members[0]->controls[kMembers], 128.0f);
    members.resize(2);

    Instance alone(48000.0, 16384, 0.0f);
    alone.run(64);
    EXPECT_EQ(alone.controls[kSlot], -1.0f);
    EXPECT_EQ(alone.controls[kMembers], 0.0f);

    // Member 1 chooses the linear view; member 0, whose control still says scope, sends
    // linear frames too.
    members[0]->controls[kAlways] = 1.0f;
    members[1]->controls[kMode] = 1.0f;
    SineInput sine(1000.0, 48000.0, 0.5f);
    std::set<std::int32_t> sizes;
    for (int i = 0; i < 40; ++i) {
        members[1]->run(1024);
        sine.fill(members[0]->signalA.data(), members[0]->signalB.data(), 1024);
        members[0]->run(1024);
        if (i >= 10) {
            for (std::int32_t size : frameSizes(*members[0])) {
                sizes.insert(size);
            }
        }
    }
    EXPECT_EQ(sizes, (std::set<std::int32_t>{4100}));
}

// A worker that answers inside schedule_work (a host running offline): a change of the
// group control joins the group asked for, every time.
TEST(Lv2Dsp, AWorkerAnsweringAtOnceJoinsEachGroupAskedFor) {
    GroupScope seven(7);
    GroupScope eight(8);
    Instance plugin(48000.0, 16384, 0.0f, true);
    ASSERT_TRUE(plugin.ready());
    plugin.synchronous = true;
    for (const float group : {7.0f, 8.0f, 7.0f}) {
        plugin.controls[kGroup] = group;
        plugin.run(64);
        plugin.run(64);
        EXPECT_EQ(plugin.controls[kSlot], 0.0f) << group;
    }
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
// changed every block, the fine analysis on a worker (its jobs run after every fourth
// block, off the counted audio thread). The audio passes through bit for bit, every frame
// reaches the notify port whole with finite levels (a spectrum's fine twin, or none when a
// newer one replaced it), and run and the worker's answers neither allocate, free nor lock.
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
        Instance plugin(rate, 65536, 0.0f, true);
        ASSERT_TRUE(plugin.ready());
        plugin.controls[kAlways] = 1.0f;
        std::int64_t delivered = 0;
        std::int64_t fineFrames = 0;
        std::int64_t infinite = 0;
        std::int64_t malformed = 0;
        bool same = true;
        bool growing = true;
        float sent = 0.0f;
        float dropped = 0.0f;
        resetRealtimeCounts();
        RealtimeCounts counts;
        {
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
                {
                    AudioThreadScope audioThread;
                    plugin.run(frames);
                    plugin.respond();
                }
                if (block % 4 == 3) {
                    plugin.runJobs(); // a worker slower than the audio: requests replaced
                }
                same = same &&
                       std::memcmp(plugin.signalA.data(), plugin.outA.data(), frames * 4) == 0 &&
                       std::memcmp(plugin.signalB.data(), plugin.outB.data(), frames * 4) == 0;
                plugin.forEachEvent([&](std::int32_t size, std::int64_t time, std::int64_t) {
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
                for (const SeenFrame& frame : framesOf(plugin)) {
                    const bool spectrum = frame.bytes.size() == 4100 || frame.bytes.size() == 4228;
                    fineFrames += spectrum && frame.analysis == 1 ? 1 : 0;
                    const auto points = static_cast<std::int32_t>(frame.bytes.size() / 8);
                    for (std::int32_t k = 0; spectrum && k < points; ++k) {
                        infinite += std::isfinite(levelAt(frame, 0, k)) &&
                                            std::isfinite(levelAt(frame, 1, k))
                                        ? 0
                                        : 1;
                    }
                }
            }
            counts = realtimeCounts();
        }
        EXPECT_TRUE(same) << rate;
        EXPECT_TRUE(growing) << rate;
        EXPECT_EQ(malformed, 0) << rate;
        EXPECT_LE(delivered + static_cast<std::int64_t>(dropped), static_cast<std::int64_t>(sent))
            << rate;
        EXPECT_GT(fineFrames, 0) << rate;
        EXPECT_EQ(infinite, 0) << rate;
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
