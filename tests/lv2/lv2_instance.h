// An LV2 host's side of the DSP library, for tests: the library loaded with dlopen from the
// assembled bundle, one instance made through its descriptor, every port connected to
// buffers of ours, runs with the control sequence cleared after each; optionally a worker
// (work:schedule) whose jobs and answers wait in rings of 4 KiB, as a host's do, until the
// test runs them (runJobs, on the worker's side) and hands the answers back (respond, on
// the audio thread's), or which runs each job and hands its answer back at once, inside
// schedule_work, as a host running offline does (synchronous).
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include "tests/support/urid_map.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace vex::test {

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
    kGroup = 14,
    kMembers = 15,
    kSlot = 16,
    kAnalysis = 17,
};
constexpr char kUri[] = "urn:vex:analyzer";
constexpr char kFrameUri[] = "urn:vex:analyzer#Frame";
constexpr char kUiOpenUri[] = "urn:vex:analyzer#UiOpen";
constexpr char kUiClosedUri[] = "urn:vex:analyzer#UiClosed";
constexpr std::uint32_t kLargestBlock = 8192;

// One plug-in instance with every port connected, as a host sets it up.
class Instance {
public:
    Instance(double sampleRate, std::uint32_t notifyBytes, float group = 0.0f,
             bool withWorker = false)
        : notifyStorage((notifyBytes + 7) / 8 + 1), controlStorage(8192) {
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
        const LV2_Feature workerFeature{LV2_WORKER__schedule, &schedule};
        const LV2_Feature* features[] = {&mapFeature, withWorker ? &workerFeature : nullptr,
                                         nullptr};
        handle = descriptor->instantiate(descriptor, sampleRate, VEX_LV2_BUNDLE_DIR "/", features);
        EXPECT_NE(handle, nullptr);
        worker = static_cast<const LV2_Worker_Interface*>(
            descriptor->extension_data(LV2_WORKER__interface));
        frameType = urids(kFrameUri);
        frameTime = urids("urn:vex:analyzer#time");
        frameRate = urids("urn:vex:analyzer#sampleRate");
        frameBytes = urids("urn:vex:analyzer#bytes");
        atomObject = urids(LV2_ATOM__Object);
        atomLong = urids(LV2_ATOM__Long);
        atomDouble = urids(LV2_ATOM__Double);
        atomChunk = urids(LV2_ATOM__Chunk);
        notifyCapacity = notifyBytes;
        for (float& value : controls) {
            value = 0.0f;
        }
        controls[kRate] = 4.0f;
        controls[kEnable] = 1.0f;
        controls[kGroup] = group;
        controls[kSlot] = -2.0f;
        controls[kAnalysis] = 1.0f; // the port's default
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
        for (std::uint32_t port = kMode; port <= kAnalysis; ++port) {
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

    // The worker's side: runs the jobs scheduled so far, in order; their answers wait for
    // respond(). Answers the jobs run.
    std::int32_t runJobs() {
        std::int32_t count = 0;
        for (std::size_t at = 0; at < jobs.used;) {
            std::uint32_t size = 0;
            std::memcpy(&size, jobs.bytes + at, sizeof size);
            worker->work(handle, &Instance::answer, this, size, jobs.bytes + at + sizeof size);
            at += sizeof size + size;
            ++count;
        }
        jobs.used = 0;
        return count;
    }
    // The audio thread's side: hands the waiting answers to the instance.
    void respond() {
        for (std::size_t at = 0; at < answers.used;) {
            std::uint32_t size = 0;
            std::memcpy(&size, answers.bytes + at, sizeof size);
            worker->work_response(handle, size, answers.bytes + at + sizeof size);
            at += sizeof size + size;
        }
        answers.used = 0;
    }
    // One block as a host with a worker thread runs it: run, the worker's jobs, the answers.
    void cycle(std::uint32_t frames) {
        run(frames);
        runJobs();
        respond();
    }

    // A UI message on the control port for the next run.
    void sendUiMessage(const char* uri) {
        LV2_Atom_Object object{};
        object.atom.type = urids(LV2_ATOM__Object);
        object.atom.size = sizeof(LV2_Atom_Object_Body);
        object.body.otype = urids(uri);
        sendAtom(object.atom);
    }
    // Any atom (header and body) as an event on the control port for the next run.
    void sendAtom(const LV2_Atom& atom) {
        auto* control = reinterpret_cast<LV2_Atom_Sequence*>(controlStorage.data());
        const std::uint32_t need = lv2_atom_pad_size(sizeof(LV2_Atom_Event) + atom.size);
        const std::size_t room = controlStorage.size() * sizeof(std::uint64_t);
        ASSERT_LE(sizeof(LV2_Atom) + control->atom.size + need, room);
        auto* event = reinterpret_cast<LV2_Atom_Event*>(reinterpret_cast<std::uint8_t*>(control) +
                                                        sizeof(LV2_Atom) + control->atom.size);
        event->time.frames = 0;
        std::memcpy(&event->body, &atom, sizeof(LV2_Atom) + atom.size);
        control->atom.size += need;
    }
    // The library's extension data for `uri` (null when it has none).
    const void* extension(const char* uri) const { return descriptor->extension_data(uri); }
    LV2_Handle instance() const { return handle; }

    // The frame events of the last run: visit(size, event time, frame time) with the size of
    // the frame's bytes (-1 for an event of another type) and the time the frame states in
    // samples since activation (-1 when it states none). A frame is an object of type
    // kFrameUri with the time (Long), the sample rate (Double) and the bytes (Chunk).
    template <typename Visit> void forEachEvent(Visit visit) const {
        const auto* notify = reinterpret_cast<const LV2_Atom_Sequence*>(notifyStorage.data());
        LV2_ATOM_SEQUENCE_FOREACH(notify, event) {
            const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
            const LV2_Atom* time = nullptr;
            const LV2_Atom* rate = nullptr;
            const LV2_Atom* bytes = nullptr;
            if (event->body.type == atomObject && object->body.otype == frameType) {
                lv2_atom_object_get(object, frameTime, &time, frameRate, &rate, frameBytes, &bytes,
                                    0);
            }
            const bool frame = time != nullptr && time->type == atomLong && rate != nullptr &&
                               rate->type == atomDouble && bytes != nullptr &&
                               bytes->type == atomChunk;
            visit(frame ? static_cast<std::int32_t>(bytes->size) : -1, event->time.frames,
                  frame ? reinterpret_cast<const LV2_Atom_Long*>(time)->body : -1);
        }
    }
    // The sample rate the last run's first frame states (0 when there was none).
    double frameRateStated() const {
        const auto* notify = reinterpret_cast<const LV2_Atom_Sequence*>(notifyStorage.data());
        LV2_ATOM_SEQUENCE_FOREACH(notify, event) {
            const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
            const LV2_Atom* rate = nullptr;
            if (event->body.type == atomObject && object->body.otype == frameType) {
                lv2_atom_object_get(object, frameRate, &rate, 0);
            }
            if (rate != nullptr && rate->type == atomDouble) {
                return reinterpret_cast<const LV2_Atom_Double*>(rate)->body;
            }
        }
        return 0.0;
    }
    const LV2_Atom_Sequence& notify() const {
        return *reinterpret_cast<const LV2_Atom_Sequence*>(notifyStorage.data());
    }

    UridMap urids;
    bool synchronous = false; // the worker answers inside schedule_work
    float controls[kAnalysis + 1];
    std::vector<float> signalA, signalB, outA, outB;

private:
    void clearControl() {
        auto* control = reinterpret_cast<LV2_Atom_Sequence*>(controlStorage.data());
        control->atom.type = urids(LV2_ATOM__Sequence);
        control->atom.size = sizeof(LV2_Atom_Sequence_Body);
        control->body.unit = 0;
        control->body.pad = 0;
    }

    // A worker ring: messages of a 4-byte size and their bytes, no allocation.
    struct Ring {
        std::uint8_t bytes[4096];
        std::size_t used = 0;
        LV2_Worker_Status put(std::uint32_t size, const void* data) {
            if (data == nullptr || sizeof size + size > sizeof bytes - used) {
                return LV2_WORKER_ERR_NO_SPACE;
            }
            std::memcpy(bytes + used, &size, sizeof size);
            std::memcpy(bytes + used + sizeof size, data, size);
            used += sizeof size + size;
            return LV2_WORKER_SUCCESS;
        }
    };
    static LV2_Worker_Status scheduleJob(LV2_Worker_Schedule_Handle self, std::uint32_t size,
                                         const void* data) {
        auto* host = static_cast<Instance*>(self);
        return host->synchronous
                   ? host->worker->work(host->handle, &Instance::answer, host, size, data)
                   : host->jobs.put(size, data);
    }
    static LV2_Worker_Status answer(LV2_Worker_Respond_Handle self, std::uint32_t size,
                                    const void* data) {
        auto* host = static_cast<Instance*>(self);
        return host->synchronous ? host->worker->work_response(host->handle, size, data)
                                 : host->answers.put(size, data);
    }

    LV2_Worker_Schedule schedule{this, &Instance::scheduleJob};
    const LV2_Worker_Interface* worker = nullptr;
    Ring jobs, answers;
    void* library = nullptr;
    const LV2_Descriptor* descriptor = nullptr;
    LV2_Handle handle = nullptr;
    LV2_URID frameType = 0, frameTime = 0, frameRate = 0, frameBytes = 0;
    LV2_URID atomObject = 0, atomLong = 0, atomDouble = 0, atomChunk = 0;
    std::uint32_t notifyCapacity = 0;
    std::vector<std::uint64_t> notifyStorage; // 8-byte aligned, as atoms need
    std::vector<std::uint64_t> controlStorage;
};

} // namespace vex::test
