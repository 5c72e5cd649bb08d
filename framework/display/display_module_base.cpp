#include "framework/display/display_module_base.h"

#include "framework/display/display_pins.h"

#include <algorithm>

namespace vex {

std::int32_t clampMeasure(std::int32_t width, std::int32_t height, MeasureSize* out) {
    if (out == nullptr) {
        return kMpFail;
    }
    out->width = std::clamp(width, kMinimumMeasure, kMaximumMeasure);
    out->height = std::clamp(height, kMinimumMeasure, kMaximumMeasure);
    return kMpOk;
}

void* queryHostInterface(void* host, const MpGuid& iid) {
    void* answer = nullptr;
    // Why the null check: a host that passes no host object gets the same error as one
    // that lacks the interface, instead of a call through a null pointer.
    if (host != nullptr) {
        static_cast<UnknownInterface*>(host)->queryInterface(&iid, &answer);
    }
    if (answer == nullptr) {
        throw std::runtime_error(kHostInterfacesNotSupported);
    }
    return answer;
}

DisplayModuleBase::DisplayModuleBase(void* hostPointer)
    : host(static_cast<HostDisplayInterface*>(
          queryHostInterface(hostPointer, kHostDisplayInterfaceId))) {}

DisplayModuleBase::~DisplayModuleBase() {
    pins.clear();
}

std::int32_t DisplayModuleBase::destroy(std::int32_t flags) noexcept {
    return abiGuard(kMpFail, [&] {
        if ((flags & 1) != 0) {
            delete this;
        } else {
            this->~DisplayModuleBase();
        }
        return kMpOk;
    });
}

std::int32_t DisplayModuleBase::setPin(std::int32_t pinId, std::int32_t voice, std::int32_t size,
                                       const void* data) noexcept {
    return onPin([&] { return getPin(pinId); },
                 [&](DisplayPin& pin) { pin.setRaw(voice, size, data); });
}

std::int32_t DisplayModuleBase::notifyPin(std::int32_t pinId, std::int32_t voice) noexcept {
    return onPin([&] { return getPin(pinId); }, [&](DisplayPin& pin) { pin.notify(voice); });
}

void DisplayModuleBase::initializePin(std::int32_t index, DisplayPin& pin) {
    bindPin(index, pin, PinCallback());
}

void DisplayModuleBase::bindPin(std::int32_t index, DisplayPin& pin, PinCallback callback) {
    pin.bind(this, index, callback);
}

void DisplayModuleBase::registerPin(std::int32_t id, DisplayPin* pin) {
    pins.emplace(id, pin);
}

DisplayPin* DisplayModuleBase::getPin(std::int32_t id) const {
    auto found = pins.find(id);
    return found == pins.end() ? nullptr : found->second;
}

} // namespace vex
