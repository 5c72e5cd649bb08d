// Base of every display-side object: identity, the binding to the host's display
// interface, the pin registry and pin delivery.
#pragma once

#include "framework/display/display_module_interfaces.h"
#include "framework/display/host_display_interfaces.h"

#include <cstdint>
#include <map>
#include <new>
#include <stdexcept>

namespace vex {

class DisplayModuleBase;
class DisplayPin;
class PerVoicePin;

// The display's area as arrange gives it. Note the order: top, bottom, left, right
// (redraw rectangles use the Windows RECT order instead).
struct DisplayRect {
    std::int32_t top = 0;
    std::int32_t bottom = 0;
    std::int32_t left = 0;
    std::int32_t right = 0;

    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
};

// Text of the error a display object's construction raises when the host lacks one of
// the interfaces it needs; createObject turns it into kMpFail.
inline constexpr char kHostInterfacesNotSupported[] = "host Interfaces not supported";

// Measure's clamp of each preferred size component.
inline constexpr std::int32_t kMinimumMeasure = 15;
inline constexpr std::int32_t kMaximumMeasure = 100;

// Clamps both components to kMinimumMeasure..kMaximumMeasure into `*out`, same order.
// Null `out`: kMpFail, nothing written.
std::int32_t clampMeasure(std::int32_t width, std::int32_t height, MeasureSize* out);

// measure and arrange as both kinds of display answer them: the clamp of each component,
// and the area stored unchanged (any values).
inline std::int32_t measureArea(std::int32_t width, std::int32_t height,
                                MeasureSize* out) noexcept {
    return abiGuard(kMpFail, [&] { return clampMeasure(width, height, out); });
}
inline std::int32_t arrangeArea(DisplayRect& area, std::int32_t top, std::int32_t bottom,
                                std::int32_t left, std::int32_t right) noexcept {
    return abiGuard(kMpFail, [&] {
        area = DisplayRect{top, bottom, left, right};
        return kMpOk;
    });
}

// Asks `host` (the opaque host pointer of createObject) for `iid`; raises the
// "host Interfaces not supported" error when it answers null. The display side holds what
// it obtains for the object's whole life and never releases it.
void* queryHostInterface(void* host, const MpGuid& iid);

// Change callback of a pin: a member operation of the owning module, run on it by notify.
// At most one of the two is set: one without arguments, or one that receives the voice
// (per-voice pins). Why member pointers: the audio side's change callbacks and block routines
// are member pointers too, and binding one never allocates.
struct PinCallback {
    void (DisplayModuleBase::*plain)() = nullptr;
    void (DisplayModuleBase::*perVoice)(std::int32_t voice) = nullptr;
};

// Contract: every operation runs on the host's user-interface thread. The object starts with
// a count of 0; the factory adds the first reference, and the release that brings the count
// to 0 destroys it. Pins are members of the derived object; the registry only refers to them.
class DisplayModuleBase : public DisplayModuleInterface {
public:
    DisplayModuleBase(const DisplayModuleBase&) = delete;
    DisplayModuleBase& operator=(const DisplayModuleBase&) = delete;

    // Answers the base unknown interface and DisplayModuleInterface with the object itself.
    std::int32_t MP_STDCALL queryInterface(const MpGuid* iid, void** out) noexcept override {
        return answerQueryInterface(iid, out, kDisplayModuleInterfaceId,
                                    static_cast<DisplayModuleInterface*>(this));
    }
    // queryInterface of a display that serves `own` beside the base's identifiers: `self`
    // (the object as that interface) with one reference added, else the base's answer.
    template <typename Interface>
    std::int32_t answerAlso(const MpGuid* iid, void** out, const MpGuid& own,
                            Interface* self) noexcept {
        return abiGuard(kMpFail, [&] {
            if (out != nullptr && iid != nullptr && sameGuid(*iid, own)) {
                *out = self;
                addRef();
                return std::int32_t{kMpOk};
            }
            return DisplayModuleBase::queryInterface(iid, out);
        });
    }
    std::int32_t MP_STDCALL addRef() noexcept override {
        return abiGuard(kMpFail, [&] { return ++count; });
    }
    std::int32_t MP_STDCALL release() noexcept override {
        return releaseReference(count, [this] { destroy(1); });
    }
    std::int32_t MP_STDCALL reserved4() noexcept override { return kMpOk; }
    // Hands the value to the pin's raw setter; no callback runs. kMpFail for an
    // unregistered id or when storing the value failed (out of memory).
    std::int32_t MP_STDCALL setPin(std::int32_t pinId, std::int32_t voice, std::int32_t size,
                                   const void* data) noexcept override;
    // Runs the pin's change callback. kMpFail for an unregistered id or when the callback
    // raised an error.
    std::int32_t MP_STDCALL notifyPin(std::int32_t pinId, std::int32_t voice) noexcept override;
    std::int32_t MP_STDCALL reserved7(std::int32_t, std::int32_t, std::int32_t) noexcept override {
        return kMpOk;
    }
    std::int32_t MP_STDCALL reserved8() noexcept override { return kMpOk; }
    std::int32_t MP_STDCALL reserved9(std::int32_t) noexcept override { return kMpOk; }
    // Runs the object's destructor; bit 0 of `flags` also frees its memory (every object
    // the factory made is on the heap, so release passes 1).
    std::int32_t MP_STDCALL destroy(std::int32_t flags) noexcept override;

    // Binds `pin` under id `index` (no callback, or a member operation of the module
    // class). A per-voice pin may take a callback that receives the voice.
    void initializePin(std::int32_t index, DisplayPin& pin);
    template <typename Module>
    void initializePin(std::int32_t index, DisplayPin& pin, void (Module::*callback)()) {
        bindPin(index, pin, pinCallback(callback));
    }
    template <typename Module>
    void initializePin(std::int32_t index, PerVoicePin& pin,
                       void (Module::*callback)(std::int32_t voice)) {
        bindPin(index, pin, pinCallback(callback));
    }

    // Enters `pin` under `id`; an id already present keeps its first pin.
    void registerPin(std::int32_t id, DisplayPin* pin);
    // The pin registered under `id`, or null.
    DisplayPin* getPin(std::int32_t id) const;

    // The host's display interface, never null once construction succeeded.
    HostDisplayInterface* getHost() const { return host; }
    std::int32_t referenceCount() const { return count; }

protected:
    // Queries `hostPointer` for HostDisplayInterface; raises the "host Interfaces not
    // supported" error when it is missing.
    explicit DisplayModuleBase(void* hostPointer);
    // Derived teardown (pins, resources) runs first; the registry is emptied last.
    virtual ~DisplayModuleBase();

private:
    void bindPin(std::int32_t index, DisplayPin& pin, PinCallback callback);

    // A derived class's change callback as a PinCallback.
    template <typename Module> static PinCallback pinCallback(void (Module::*callback)()) {
        PinCallback onChange;
        onChange.plain = static_cast<void (DisplayModuleBase::*)()>(callback);
        return onChange;
    }
    template <typename Module>
    static PinCallback pinCallback(void (Module::*callback)(std::int32_t voice)) {
        PinCallback onChange;
        onChange.perVoice = static_cast<void (DisplayModuleBase::*)(std::int32_t)>(callback);
        return onChange;
    }

    HostDisplayInterface* host;
    std::int32_t count = 0;
    std::map<std::int32_t, DisplayPin*> pins;
};

// The base of a display that serves `Interface` (drawing or window) beside the module
// interface, on the one reference count: identity forwarded to the base, measure's clamp,
// and the area arrange stores.
template <typename Interface> class AreaDisplay : public DisplayModuleBase, public Interface {
public:
    std::int32_t MP_STDCALL addRef() noexcept override { return DisplayModuleBase::addRef(); }
    std::int32_t MP_STDCALL release() noexcept override { return DisplayModuleBase::release(); }
    std::int32_t MP_STDCALL measure(std::int32_t width, std::int32_t height,
                                    MeasureSize* out) noexcept override {
        return measureArea(width, height, out);
    }
    std::int32_t MP_STDCALL arrange(std::int32_t top, std::int32_t bottom, std::int32_t left,
                                    std::int32_t right) noexcept override {
        return arrangeArea(area, top, bottom, left, right);
    }

    // The area as last given by arrange; all zero before the first arrange.
    const DisplayRect& getArea() const { return area; }

protected:
    explicit AreaDisplay(void* hostPointer) : DisplayModuleBase(hostPointer) {}
    ~AreaDisplay() override = default;

private:
    DisplayRect area;
};

// Creation function for the factory: builds a `Module` for `host` with a count of 0, or
// answers null when memory ran out. A failed construction raises its error after the
// parts already built are torn down and the memory freed.
template <typename Module> UnknownInterface* createDisplayModule(void* host) {
    DisplayModuleInterface* object = new (std::nothrow) Module(host);
    return object;
}

} // namespace vex
