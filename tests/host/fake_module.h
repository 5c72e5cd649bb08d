// An in-process stand-in for the plug-in's factory and audio object, so the voice engine's
// host behaviour can be checked call by call without the real analyzer.
#pragma once

#include "fake_display.h"
#include "framework/audio/audio_module_interface.h"
#include "framework/audio/factory_interface.h"
#include "framework/audio/host_audio_interface.h"

#include <cstring>
#include <vector>

namespace vex::test {

struct RecordedEvent {
    std::int32_t time, type, pinId, valueSize, value;
};

struct ProcessCall {
    std::int32_t frames;
    std::vector<RecordedEvent> events;
    float firstA, firstB;
};

// Records what the host does to it. Sends a 1604-byte frame at block time 3 of every
// block (bytes 0/1 = streaming flags, then the block's first sample of A) and asks the host
// to sleep after any block in which neither input streams.
class FakeAudioObject final : public AudioModuleInterface {
public:
    explicit FakeAudioObject(void* hostPointer) {
        host = askHost<HostAudioInterface>(hostPointer, kHostAudioInterfaceId);
    }
    std::int32_t MP_STDCALL queryInterface(const MpGuid* iid, void** out) noexcept override {
        if (sameGuid(*iid, kUnknownInterfaceId) || sameGuid(*iid, kAudioModuleInterfaceId)) {
            *out = this;
            addRef();
            return kMpOk;
        }
        *out = nullptr;
        return kMpUnsupported;
    }
    std::int32_t MP_STDCALL addRef() noexcept override { return ++references; }
    std::int32_t MP_STDCALL release() noexcept override {
        if (--references == 0) {
            ++*destroyed;
            host->release();
            delete this;
            return 0;
        }
        return references;
    }
    std::int32_t MP_STDCALL open() noexcept override {
        ++opens;
        host->getSampleRate(&sampleRate);
        const std::uint8_t nothing = 0;
        host->setPin(0, 0, 0, &nothing);
        return kMpOk;
    }
    std::int32_t MP_STDCALL setBuffer(std::int32_t pinId, float* buffer) noexcept override {
        if (pinId == 4) {
            bufferA = buffer;
        } else if (pinId == 5) {
            bufferB = buffer;
        } else {
            return kMpFail;
        }
        return kMpOk;
    }
    std::int32_t MP_STDCALL process(std::int32_t frames, const PinEvent* events) noexcept override {
        ProcessCall call{frames, {}, bufferA[0], bufferB[0]};
        for (const PinEvent* e = events; e != nullptr; e = e->next) {
            call.events.push_back({e->time, e->type, e->pinId, e->valueSize, e->value[0]});
            if (e->type == kEventStreamingStart || e->type == kEventStreamingStop) {
                streaming[e->pinId == 4 ? 0 : 1] = e->type == kEventStreamingStart;
            }
        }
        calls->push_back(call);
        std::uint8_t frame[1604] = {};
        frame[0] = streaming[0] ? 1 : 0;
        frame[1] = streaming[1] ? 1 : 0;
        std::memcpy(frame + 4, &bufferA[0], 4);
        if (frames > 3) {
            host->setPin(3, 0, sizeof(frame), frame);
        }
        if (!streaming[0] && !streaming[1]) {
            host->sleep();
        }
        return kMpOk;
    }
    std::int32_t MP_STDCALL reserved7(std::int32_t, std::int32_t, std::int32_t) noexcept override {
        return kMpOk;
    }

    HostAudioInterface* host = nullptr;
    std::int32_t references = 0;
    std::int32_t opens = 0;
    float sampleRate = 0.0f;
    float* bufferA = nullptr;
    float* bufferB = nullptr;
    bool streaming[2] = {false, false};
    std::vector<ProcessCall>* calls = nullptr;
    int* destroyed = nullptr;
};

// Creates FakeAudioObjects for side 0 and FakeDisplayObjects for side 1, unless told to
// answer an error instead.
class FakeFactory final : public FactoryInterface {
public:
    std::int32_t MP_STDCALL queryInterface(const MpGuid*, void** out) noexcept override {
        *out = this;
        return kMpOk;
    }
    std::int32_t MP_STDCALL addRef() noexcept override { return 1; }
    std::int32_t MP_STDCALL release() noexcept override { return 1; }
    std::int32_t MP_STDCALL createObject(const MpChar*, std::int32_t side, void* hostPointer,
                                         void** out) noexcept override {
        *out = nullptr;
        if (side == 1) {
            if (displayResult != kMpOk) {
                return displayResult;
            }
            auto* display = new FakeDisplayObject(hostPointer);
            display->calls = &displayCalls;
            display->destroyed = &destroyed;
            display->answersDrawing = displaysAnswerDrawing;
            display->addRef();
            displays.push_back(display);
            *out = display;
            return kMpOk;
        }
        if (side != 0 || audioResult != kMpOk) {
            return side != 0 ? kMpUnsupported : audioResult;
        }
        auto* object = new FakeAudioObject(hostPointer);
        calls.emplace_back();
        object->calls = &calls.back();
        object->destroyed = &destroyed;
        object->addRef();
        objects.push_back(object);
        *out = object;
        return kMpOk;
    }
    std::int32_t MP_STDCALL getBuildInfo(std::int32_t*, std::int32_t, MpChar*) noexcept override {
        return kMpOk;
    }
    std::int32_t MP_STDCALL destroy(std::int32_t) noexcept override { return kMpOk; }

    std::int32_t audioResult = kMpOk;
    std::int32_t displayResult = kMpOk;
    bool displaysAnswerDrawing = true;
    std::vector<FakeAudioObject*> objects;
    std::vector<FakeDisplayObject*> displays;
    std::vector<DisplayCall> displayCalls;
    // Per object; a deque-like reserve keeps the addresses stable for up to 16 voices.
    std::vector<std::vector<ProcessCall>> calls = [] {
        std::vector<std::vector<ProcessCall>> v;
        v.reserve(16);
        return v;
    }();
    int destroyed = 0;
};

} // namespace vex::test
