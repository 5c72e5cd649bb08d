// Drives the LV2 plug-in's DSP through its descriptor as any host the LV2 contract allows
// could: any sample rate (or none that makes sense), the URID map given or not; ports
// connected in any order and again between runs, inputs and outputs sharing buffers
// (in place, crossed); activate, runs and deactivate in cycles, cleanup at the end; blocks of
// 0 to 8192 samples of NaN, infinities, denormals, full-scale squares or any bits; control
// values of any float; on the control port the UI's messages among objects of any type
// the host's map knows (with properties of any key and value) and atoms of any type and
// size; a notify buffer of any capacity; a worker (work:schedule) or none, whose jobs run
// after each run and whose answers go back before the next, as a host's worker thread's.
//
// Checked after every run: the outputs hold the inputs bit for bit; the notify port holds
// a well-formed sequence of whole frames (and objects) within its capacity, exactly the
// frames sent and not dropped while they are wanted and none otherwise (with the fine analysis
// on a worker: its spectra in place of the module's, at most one a run, every level finite;
// without a worker, no frame says fine); the counters are whole
// numbers that only grow within an activation, and never more dropped than sent; peaks are not
// negative.
#include "fuzz/private_groups.h"
#include "lv2/common/analyzer_lv2.h"
#include "lv2/common/frame_event.h"
#include "tests/support/urid_map.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace vex::lv2;

// The plug-in's control ports: what a host may write into the inputs (their range as the
// bundle states it) and which are outputs. One table: a port the plug-in gains is one line.
struct ControlPort {
    std::uint32_t index;
    bool input;
    float lo;
    float hi;
};
constexpr ControlPort kControlPorts[] = {
    {kPortMode, true, 0.0f, 2.0f},        {kPortRate, true, 0.0f, 7.0f},
    {kPortEnable, true, 0.0f, 1.0f},      {kPortAlways, true, 0.0f, 1.0f},
    {kPortFramesSent, false, 0.0f, 0.0f}, {kPortFramesDropped, false, 0.0f, 0.0f},
    {kPortPeakA, false, 0.0f, 0.0f},      {kPortPeakB, false, 0.0f, 0.0f},
    {kPortGroup, true, 0.0f, 16.0f},      {kPortMembers, false, 0.0f, 0.0f},
    {kPortSlot, false, 0.0f, 0.0f},       {kPortAnalysis, true, 0.0f, 1.0f},
};

const PrivateGroups privateGroups("fuzz");

constexpr std::uint32_t kLargestBlock = 8192;
constexpr std::uint32_t kNotifyBytes = 70000;
constexpr std::uint32_t kControlBytes = 4096;
constexpr std::int32_t kMostActions = 48;
// Bounds the samples of one input, so that an execution stays quick.
constexpr std::int64_t kMostSamples = 1 << 15;

void check(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

using vex::test::UridMap;

float anyFloat(FuzzedDataProvider& data) {
    static const float kSpecial[] = {
        0.0f,
        -0.0f,
        0.49f,
        0.5f,
        1.0f,
        1.5f,
        2.0f,
        2.5f,
        7.0f,
        7.5f,
        8.0f,
        -1.0f,
        1e-40f,
        -1e-40f,
        FLT_MIN,
        FLT_MAX,
        -FLT_MAX,
        16777217.0f,
        INFINITY,
        -INFINITY,
        std::numeric_limits<float>::quiet_NaN(),
        -std::numeric_limits<float>::quiet_NaN(),
        std::numeric_limits<float>::signaling_NaN(),
    };
    return data.ConsumeBool() ? data.PickValueInArray(kSpecial)
                              : data.ConsumeFloatingPoint<float>();
}

// One block of one input: NaN, infinities, denormals, a full-scale square, silence, or any
// bits.
// Why no coverage here: the loops write every sample, and their traced comparisons cost a
// tenth of each execution while telling the fuzzer nothing about the plug-in.
__attribute__((no_sanitize("coverage"))) void fillSignal(FuzzedDataProvider& data, float* out,
                                                         std::uint32_t frames) {
    switch (data.ConsumeIntegralInRange<int>(0, 6)) {
    case 0:
        std::fill_n(out, frames, std::numeric_limits<float>::quiet_NaN());
        break;
    case 1:
        for (std::uint32_t i = 0; i < frames; ++i) {
            out[i] = (i & 1) != 0 ? INFINITY : -INFINITY;
        }
        break;
    case 2: {
        const float tiny = data.ConsumeBool() ? 1e-40f : -1e-45f;
        for (std::uint32_t i = 0; i < frames; ++i) {
            out[i] = (i % 3) != 0 ? tiny : -tiny;
        }
        break;
    }
    case 3: {
        const std::uint32_t half = data.ConsumeIntegralInRange<std::uint32_t>(1, 4096);
        for (std::uint32_t i = 0; i < frames; ++i) {
            out[i] = (i / half) % 2 == 0 ? 1.0f : -1.0f;
        }
        break;
    }
    case 4:
        std::fill_n(out, frames, 0.0f);
        break;
    default: {
        const std::vector<std::uint8_t> bits = data.ConsumeBytes<std::uint8_t>(64);
        for (std::uint32_t i = 0; i < frames; ++i) {
            std::uint32_t word = 0x3F000000u + i;
            if (!bits.empty()) {
                const std::size_t at = (i * 4u) % bits.size();
                for (std::size_t b = 0; b < 4; ++b) {
                    word = (word << 8) | bits[(at + b) % bits.size()];
                }
            }
            std::memcpy(&out[i], &word, 4);
        }
        break;
    }
    }
}

struct Host {
    UridMap urids;
    LV2_URID atomObject = urids(LV2_ATOM__Object);
    LV2_URID atomBlank = urids(LV2_ATOM__Blank);
    LV2_URID atomSequence = urids(LV2_ATOM__Sequence);
    // The plug-in's URIDs, to read its frames with its reader.
    vex::lv2::Urids plugin{urids.feature};
    LV2_URID uiOpen = urids(kUiOpenUri);
    LV2_URID uiClosed = urids(kUiClosedUri);
    // Atom types a value may take.
    std::vector<LV2_URID> valueTypes = {
        urids(LV2_ATOM__Bool),   urids(LV2_ATOM__Int),    urids(LV2_ATOM__Long),
        urids(LV2_ATOM__Float),  urids(LV2_ATOM__Double), urids(LV2_ATOM__URID),
        urids(LV2_ATOM__String), urids(LV2_ATOM__Path),   urids(LV2_ATOM__Chunk),
        urids(LV2_ATOM__Tuple),  urids(LV2_ATOM__Vector), urids(LV2_ATOM__Object)};

    // Buffers: audio 0..3 (signal A, signal B, out A, out B), the atom ports, controls.
    // Why not std::vector: its fill, value by value with every comparison traced for the
    // fuzzer, took a tenth of each execution; a value-initialised array is one memset.
    std::unique_ptr<float[]> audio[4] = {
        std::make_unique<float[]>(kLargestBlock), std::make_unique<float[]>(kLargestBlock),
        std::make_unique<float[]>(kLargestBlock), std::make_unique<float[]>(kLargestBlock)};
    std::unique_ptr<std::uint64_t[]> control = std::make_unique<std::uint64_t[]>(kControlBytes / 8);
    std::unique_ptr<std::uint64_t[]> notify =
        std::make_unique<std::uint64_t[]>(kNotifyBytes / 8 + 1);
    float controls[kPortCount] = {};
    // Where each audio port is connected (an index into `audio`), -1: not yet.
    int audioPort[4] = {-1, -1, -1, -1};
    bool connected[kPortCount] = {};

    // The worker's rings: messages of a 4-byte size and their bytes, 4 KiB as a host's.
    struct Ring {
        std::uint8_t bytes[4096];
        std::size_t used = 0;
        LV2_Worker_Status put(std::uint32_t size, const void* from) {
            if (from == nullptr || sizeof size + size > sizeof bytes - used) {
                return LV2_WORKER_ERR_NO_SPACE;
            }
            std::memcpy(bytes + used, &size, sizeof size);
            std::memcpy(bytes + used + sizeof size, from, size);
            used += sizeof size + size;
            return LV2_WORKER_SUCCESS;
        }
        // Hands each message to `take` and empties the ring.
        template <typename Take> void drain(Take take) {
            for (std::size_t at = 0; at < used;) {
                std::uint32_t size = 0;
                std::memcpy(&size, bytes + at, sizeof size);
                take(size, bytes + at + sizeof size);
                at += sizeof size + size;
            }
            used = 0;
        }
    };
    Ring jobs, answers;
    static LV2_Worker_Status schedule(LV2_Worker_Schedule_Handle self, std::uint32_t size,
                                      const void* from) {
        return static_cast<Host*>(self)->jobs.put(size, from);
    }
    static LV2_Worker_Status respond(LV2_Worker_Respond_Handle self, std::uint32_t size,
                                     const void* from) {
        return static_cast<Host*>(self)->answers.put(size, from);
    }
    LV2_Worker_Schedule worker{this, &Host::schedule};

    LV2_Atom_Sequence* controlSequence() {
        return reinterpret_cast<LV2_Atom_Sequence*>(control.get());
    }
    LV2_Atom_Sequence* notifySequence() {
        return reinterpret_cast<LV2_Atom_Sequence*>(notify.get());
    }
};

class Session {
public:
    Session(FuzzedDataProvider& input, const LV2_Descriptor& plugin)
        : data(input), descriptor(plugin) {}

    void run() {
        if (!instantiate()) {
            return;
        }
        for (std::int32_t action = 0; action < kMostActions && data.remaining_bytes() > 0;
             ++action) {
            switch (data.ConsumeIntegralInRange<int>(0, 5)) {
            case 0:
                connectSome();
                break;
            case 1:
                if (!active) {
                    descriptor.activate(handle);
                    active = true;
                    lastSent = lastDropped = 0.0f;
                }
                break;
            case 2:
                if (active) {
                    descriptor.deactivate(handle);
                    active = false;
                }
                break;
            default:
                if (active) {
                    runOnce();
                }
                break;
            }
        }
        finishJobs();
        if (active) {
            descriptor.deactivate(handle);
        }
        descriptor.cleanup(handle);
    }

private:
    bool instantiate() {
        static const double kRates[] = {8000.0,  11025.0,  22050.0,  44100.0,  48000.0,
                                        96000.0, 192000.0, 384000.0, 768000.0, 1.0,
                                        0.0,     -48000.0, 1e12,     HUGE_VAL};
        double rate = data.ConsumeBool() ? data.PickValueInArray(kRates)
                                         : data.ConsumeFloatingPoint<double>();
        if (data.ConsumeIntegralInRange<int>(0, 31) == 0) {
            rate = std::numeric_limits<double>::quiet_NaN();
        }
        const int setUp = data.ConsumeIntegralInRange<int>(0, 15);
        const LV2_Feature mapFeature{LV2_URID__map, &host.urids.feature};
        const LV2_Feature workerFeature{LV2_WORKER__schedule, &host.worker};
        withWorker = data.ConsumeBool();
        const LV2_Feature* withMap[] = {&mapFeature, withWorker ? &workerFeature : nullptr,
                                        nullptr};
        const LV2_Feature* none[] = {nullptr};
        const char* bundle = setUp == 1 ? "/nonexistent/bundle/" : VEX_MODULE_DIR "/";
        handle = descriptor.instantiate(&descriptor, rate, bundle, setUp == 0 ? none : withMap);
        // No map, no module or no sample rate: no instance.
        if (setUp <= 1 || !(rate > 0.0)) {
            check(handle == nullptr);
        }
        if (handle != nullptr) {
            workerInterface = static_cast<const LV2_Worker_Interface*>(
                descriptor.extension_data(LV2_WORKER__interface));
            check(workerInterface != nullptr);
        }
        return handle != nullptr;
    }

    // The worker thread's turn: the jobs scheduled so far, their answers kept for the
    // audio thread's next turn.
    void runJobs() {
        host.jobs.drain([&](std::uint32_t size, const void* job) {
            workerInterface->work(handle, &Host::respond, &host, size, job);
        });
    }

    // Before the instance goes, as a host that answers every job it took: the jobs left run
    // and their answers reach the instance (a membership the worker made is the instance's
    // to free only once it has it).
    void finishJobs() {
        if (workerInterface == nullptr) {
            return;
        }
        for (int round = 0; round < 4; ++round) {
            runJobs();
            host.answers.drain([&](std::uint32_t size, const void* answer) {
                workerInterface->work_response(handle, size, answer);
            });
        }
    }

    void connect(std::uint32_t port) {
        void* where = nullptr;
        if (port <= kPortOutB) {
            // Inputs take their own buffers; an output its own, or either input's (in place,
            // or crossed).
            int buffer = static_cast<int>(port);
            if (port >= kPortOutA) {
                buffer = data.ConsumeIntegralInRange<int>(0, 2);
                buffer = buffer == 2 ? static_cast<int>(port) : buffer;
            }
            host.audioPort[port] = buffer;
            where = host.audio[buffer].get();
        } else if (port == kPortControl) {
            where = host.control.get();
        } else if (port == kPortNotify) {
            where = host.notify.get();
        } else {
            where = &host.controls[port];
        }
        descriptor.connect_port(handle, port, where);
        host.connected[port] = true;
    }

    void connectSome() {
        const auto count = data.ConsumeIntegralInRange<std::uint32_t>(1, kPortCount);
        for (std::uint32_t i = 0; i < count; ++i) {
            connect(data.ConsumeIntegralInRange<std::uint32_t>(0, kPortCount - 1));
        }
    }

    // An object of any type the host's map knows (the plug-in's own among them), with
    // properties of any known key and values of any atom type, size and content.
    std::vector<std::uint8_t> anyObject() {
        const auto known = static_cast<LV2_URID>(host.urids.uris.size());
        const auto anyUrid = [&] { return data.ConsumeIntegralInRange<LV2_URID>(1, known); };
        std::vector<std::uint8_t> body(8, 0);
        const LV2_URID otype = anyUrid();
        std::memcpy(&body[4], &otype, 4);
        const auto properties = data.ConsumeIntegralInRange<int>(0, 3);
        for (int p = 0; p < properties; ++p) {
            const LV2_URID key = anyUrid();
            const LV2_URID type = data.ConsumeBool()
                                      ? host.valueTypes[data.ConsumeIntegralInRange<std::size_t>(
                                            0, host.valueTypes.size() - 1)]
                                      : anyUrid();
            const auto size = data.ConsumeBool()
                                  ? data.PickValueInArray({0u, 4u, 8u})
                                  : data.ConsumeIntegralInRange<std::uint32_t>(0, 40);
            const std::uint32_t head[4] = {key, 0, size, type};
            const auto at = body.size();
            body.resize(at + sizeof head + lv2_atom_pad_size(size), 0);
            std::memcpy(&body[at], head, sizeof head);
            const std::vector<std::uint8_t> value = data.ConsumeBytes<std::uint8_t>(size);
            std::copy(value.begin(), value.end(), body.begin() + at + sizeof head);
        }
        return body;
    }

    // The control port's events for one run: the UI's messages, objects of any type and
    // atoms of any type and size. Follows whether a UI listens after them.
    void writeControl() {
        LV2_Atom_Sequence* sequence = host.controlSequence();
        sequence->atom.type = host.atomSequence;
        sequence->atom.size = sizeof(LV2_Atom_Sequence_Body);
        sequence->body.unit = 0;
        sequence->body.pad = 0;
        const auto events = data.ConsumeIntegralInRange<int>(0, 4);
        std::int64_t time = 0;
        for (int e = 0; e < events; ++e) {
            const std::int64_t room = std::int64_t{kControlBytes} - std::int64_t{sizeof(LV2_Atom)} -
                                      sequence->atom.size - std::int64_t{sizeof(LV2_Atom_Event)};
            LV2_URID type = host.atomObject;
            std::vector<std::uint8_t> body;
            switch (data.ConsumeIntegralInRange<int>(0, 5)) {
            case 0: // a UI's message
            case 1: {
                type = data.ConsumeBool() ? host.atomObject : host.atomBlank;
                const LV2_URID otype = data.ConsumeBool() ? host.uiOpen : host.uiClosed;
                body.assign(8, 0);
                std::memcpy(&body[4], &otype, 4);
                break;
            }
            case 2: // an object too short to be one
                body = data.ConsumeBytes<std::uint8_t>(data.ConsumeIntegralInRange<int>(0, 7));
                break;
            case 3:
                type = data.ConsumeBool() ? host.atomObject : host.atomBlank;
                body = anyObject();
                break;
            default: {
                type = data.ConsumeBool() ? data.ConsumeIntegral<LV2_URID>()
                                          : host.urids(LV2_ATOM__Chunk);
                const auto most = static_cast<std::size_t>(std::max<std::int64_t>(room, 0));
                body = data.ConsumeBytes<std::uint8_t>(
                    data.ConsumeIntegralInRange<std::size_t>(0, data.ConsumeBool() ? 64 : most));
                break;
            }
            }
            if (static_cast<std::int64_t>(lv2_atom_pad_size(body.size())) > room) {
                break;
            }
            auto* event = reinterpret_cast<LV2_Atom_Event*>(
                reinterpret_cast<std::uint8_t*>(sequence) + sizeof(LV2_Atom) + sequence->atom.size);
            time += data.ConsumeIntegralInRange<std::int64_t>(0, 100);
            event->time.frames = time;
            event->body.type = type;
            event->body.size = static_cast<std::uint32_t>(body.size());
            auto* bytes = reinterpret_cast<std::uint8_t*>(event + 1);
            std::memset(bytes, 0, lv2_atom_pad_size(event->body.size));
            std::copy(body.begin(), body.end(), bytes);
            sequence->atom.size += lv2_atom_pad_size(sizeof(LV2_Atom_Event) + event->body.size);
            if ((type == host.atomObject || type == host.atomBlank) && body.size() >= 8) {
                LV2_URID otype = 0;
                std::memcpy(&otype, &body[4], 4);
                uiListening = otype == host.uiOpen     ? true
                              : otype == host.uiClosed ? false
                                                       : uiListening;
            }
        }
    }

    void runOnce() {
        // The contract: every port connected before run.
        for (std::uint32_t port = 0; port < kPortCount; ++port) {
            if (!host.connected[port]) {
                connect(port);
            }
        }
        auto frames = data.ConsumeIntegralInRange<std::uint32_t>(0, kLargestBlock);
        if (data.ConsumeIntegralInRange<int>(0, 3) != 0) {
            frames = std::min<std::uint32_t>(frames, 700);
        }
        if (samples + frames > kMostSamples) {
            frames = 0;
        }
        samples += frames;
        for (int buffer = 0; buffer < 2; ++buffer) {
            fillSignal(data, host.audio[buffer].get(), frames);
        }
        // An output sharing no input's buffer starts with stale bits.
        for (int buffer = 2; buffer < 4; ++buffer) {
            std::fill_n(host.audio[buffer].get(), frames, 12345.0f);
        }
        const std::vector<float> inA(host.audio[0].get(), host.audio[0].get() + frames);
        const std::vector<float> inB(host.audio[1].get(), host.audio[1].get() + frames);
        for (const ControlPort& port : kControlPorts) {
            host.controls[port.index] = port.input ? anyFloat(data) : -7.0f;
        }
        writeControl();
        const std::uint32_t capacity =
            data.ConsumeBool() ? kNotifyMinimumSize
                               : data.ConsumeIntegralInRange<std::uint32_t>(0, kNotifyBytes);
        LV2_Atom_Sequence* notify = host.notifySequence();
        notify->atom.size = capacity;
        notify->atom.type = 0;

        host.answers.drain([&](std::uint32_t size, const void* answer) {
            workerInterface->work_response(handle, size, answer);
        });
        descriptor.run(handle, frames);
        runJobs();

        // The audio, bit for bit.
        const float* outA = host.audio[host.audioPort[kPortOutA]].get();
        const float* outB = host.audio[host.audioPort[kPortOutB]].get();
        if (host.audioPort[kPortOutA] != host.audioPort[kPortOutB] && frames > 0) {
            check(std::memcmp(outA, inA.data(), frames * sizeof(float)) == 0);
            check(std::memcmp(outB, inB.data(), frames * sizeof(float)) == 0);
        }

        // The counters.
        const float sent = host.controls[kPortFramesSent];
        const float dropped = host.controls[kPortFramesDropped];
        check(sent == std::floor(sent) && dropped == std::floor(dropped));
        check(sent >= lastSent && dropped >= lastDropped && dropped <= sent);
        check(host.controls[kPortPeakA] >= 0.0f && host.controls[kPortPeakB] >= 0.0f);
        // The group's outputs: a count of members and a slot, whole and in range.
        const float members = host.controls[kPortMembers];
        const float slot = host.controls[kPortSlot];
        check(members == std::floor(members) && members >= 0.0f && members <= 128.0f);
        check(slot == std::floor(slot) && slot >= -1.0f && slot <= 127.0f);

        // The notify port: whole frames, within the capacity, those sent and not dropped.
        std::int64_t events = 0;
        std::int64_t fineEvents = 0;
        if (capacity >= sizeof(LV2_Atom_Sequence_Body)) {
            check(notify->atom.type == host.atomSequence);
            check(notify->atom.size <= capacity);
            LV2_ATOM_SEQUENCE_FOREACH(notify, event) {
                const std::uint32_t size = event->body.size;
                check(event->time.frames >= 0 && event->time.frames <= frames);
                FrameEvent frame;
                if (!frameFromAtom(host.plugin, event->body, sizeof(LV2_Atom) + size, frame)) {
                    // Anything else the plug-in says is an object.
                    check(event->body.type == host.atomObject &&
                          size >= sizeof(LV2_Atom_Object_Body));
                    continue;
                }
                check(frame.size == 0 || frame.size == 1604 || frame.size == 4100 ||
                      frame.size == 4228);
                check(frame.time >= 0 && frame.sampleRate > 0.0);
                check(frame.analysis >= 0 && frame.analysis <= 2 &&
                      (withWorker || frame.analysis != kFrameAnalysisFine));
                if (frame.analysis == kFrameAnalysisFine) {
                    check(frame.size == 4100 || frame.size == 4228);
                    for (std::uint32_t at = 4; at + 4 <= frame.size; at += 4) {
                        float level = 0.0f;
                        std::memcpy(&level, frame.bytes + at, sizeof level);
                        check(std::isfinite(level));
                    }
                    ++fineEvents;
                }
                ++events;
            }
        }
        const bool wanted = uiListening || host.controls[kPortAlways] != 0.0f;
        const auto direct = static_cast<std::int64_t>((sent - lastSent) - (dropped - lastDropped));
        if (wanted && withWorker) {
            // Spectra wait for the worker; the fine one of an earlier run may come (or be
            // dropped, counted with those of this run).
            check(fineEvents <= 1 && events - fineEvents <= direct + 1);
        } else if (wanted) {
            check(events == direct);
        } else {
            check(events == 0 && dropped == lastDropped);
        }
        lastSent = sent;
        lastDropped = dropped;
    }

    FuzzedDataProvider& data;
    const LV2_Descriptor& descriptor;
    Host host;
    LV2_Handle handle = nullptr;
    const LV2_Worker_Interface* workerInterface = nullptr;
    bool withWorker = false;
    bool active = false;
    bool uiListening = false;
    float lastSent = 0.0f;
    float lastDropped = 0.0f;
    std::int64_t samples = 0;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Why: the module stays loaded for the process's life, as in a host; each instance's
    // own load and unload then only counts references, and the coverage counters of the
    // module are registered once.
    dlopen(VEX_MODULE_DIR "/VEX_ANALYZER.sem", RTLD_NOW | RTLD_LOCAL);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const LV2_Descriptor* descriptor = lv2_descriptor(0);
    check(descriptor != nullptr && lv2_descriptor(1) == nullptr);
    Session session(data, *descriptor);
    session.run();
    return 0;
}
