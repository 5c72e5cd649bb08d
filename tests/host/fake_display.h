// An in-process stand-in for the analyzer's display object: records every pin value the
// host delivers, every notification and every paint, in order.
#pragma once

#include "framework/display/display_module_interfaces.h"
#include "framework/display/host_display_interfaces.h"

#include <string>
#include <vector>

namespace vex::test {

struct DisplayCall {
    char what; // 's' setPin, 'n' notifyPin, 'p' paint, 'a' arrange
    std::int32_t pinId;
    std::int32_t voice;
    std::vector<std::uint8_t> bytes;
};

// The host's interface `iid` as the host pointer answers it, or null.
template <typename Interface> Interface* askHost(void* hostPointer, const MpGuid& iid) {
    void* answer = nullptr;
    static_cast<UnknownInterface*>(hostPointer)->queryInterface(&iid, &answer);
    return static_cast<Interface*>(answer);
}

class FakeDisplayObject final : public DisplayModuleInterface {
public:
    explicit FakeDisplayObject(void* hostPointer) {
        hostDrawing = askHost<HostDrawingInterface>(hostPointer, kHostDrawingInterfaceId);
        drawing.owner = this;
    }
    std::int32_t MP_STDCALL queryInterface(const MpGuid* iid, void** out) noexcept override {
        if (sameGuid(*iid, kDrawingInterfaceId) && answersDrawing) {
            *out = &drawing;
        } else if (sameGuid(*iid, kUnknownInterfaceId) ||
                   sameGuid(*iid, kDisplayModuleInterfaceId)) {
            *out = this;
        } else {
            *out = nullptr;
            return kMpUnsupported;
        }
        addRef();
        return kMpOk;
    }
    std::int32_t MP_STDCALL addRef() noexcept override { return ++references; }
    std::int32_t MP_STDCALL release() noexcept override {
        if (--references == 0) {
            ++*destroyed;
            delete this;
            return 0;
        }
        return references;
    }
    std::int32_t MP_STDCALL reserved4() noexcept override { return kMpOk; }
    std::int32_t MP_STDCALL setPin(std::int32_t pinId, std::int32_t voice, std::int32_t size,
                                   const void* data) noexcept override {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        calls->push_back({'s', pinId, voice, std::vector<std::uint8_t>(bytes, bytes + size)});
        return pinId > 12 || pinId == refusedPin ? kMpFail : kMpOk;
    }
    std::int32_t MP_STDCALL notifyPin(std::int32_t pinId, std::int32_t voice) noexcept override {
        calls->push_back({'n', pinId, voice, {}});
        if (pinId == 0) {
            hostDrawing->invalidateRect(nullptr);
        }
        return kMpOk;
    }
    std::int32_t MP_STDCALL reserved7(std::int32_t, std::int32_t, std::int32_t) noexcept override {
        return kMpOk;
    }
    std::int32_t MP_STDCALL reserved8() noexcept override { return kMpOk; }
    std::int32_t MP_STDCALL reserved9(std::int32_t) noexcept override { return kMpOk; }
    std::int32_t MP_STDCALL destroy(std::int32_t) noexcept override { return kMpOk; }

    struct Drawing final : DrawingInterface {
        FakeDisplayObject* owner = nullptr;
        std::int32_t MP_STDCALL queryInterface(const MpGuid* iid, void** out) noexcept override {
            return owner->queryInterface(iid, out);
        }
        std::int32_t MP_STDCALL addRef() noexcept override { return owner->addRef(); }
        std::int32_t MP_STDCALL release() noexcept override { return owner->release(); }
        std::int32_t MP_STDCALL paint(HDC dc) noexcept override {
            owner->calls->push_back({'p', -1, -1, {}});
            owner->paintedOn = dc;
            return owner->paintResult;
        }
        std::int32_t MP_STDCALL measure(std::int32_t, std::int32_t,
                                        MeasureSize*) noexcept override {
            return kMpOk;
        }
        std::int32_t MP_STDCALL arrange(std::int32_t top, std::int32_t bottom, std::int32_t left,
                                        std::int32_t right) noexcept override {
            owner->calls->push_back({'a', -1, -1, {}});
            owner->area[0] = top;
            owner->area[1] = bottom;
            owner->area[2] = left;
            owner->area[3] = right;
            return kMpOk;
        }
        std::int32_t MP_STDCALL reserved7() noexcept override { return kMpOk; }
        std::int32_t MP_STDCALL reserved8() noexcept override { return kMpOk; }
        std::int32_t MP_STDCALL reserved9(std::int32_t, std::int32_t,
                                          std::int32_t) noexcept override {
            return kMpOk;
        }
        std::int32_t MP_STDCALL reserved10(std::int32_t, std::int32_t,
                                           std::int32_t) noexcept override {
            return kMpOk;
        }
        std::int32_t MP_STDCALL reserved11(std::int32_t, std::int32_t,
                                           std::int32_t) noexcept override {
            return kMpOk;
        }
    };

    HostDrawingInterface* hostDrawing = nullptr;
    Drawing drawing;
    std::int32_t references = 0;
    std::int32_t area[4] = {};
    std::int32_t paintResult = kMpOk;
    std::int32_t refusedPin = -100;
    bool answersDrawing = true;
    HDC paintedOn = nullptr;
    std::vector<DisplayCall>* calls = nullptr;
    int* destroyed = nullptr;
};

} // namespace vex::test
