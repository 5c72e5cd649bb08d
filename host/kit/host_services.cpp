#include "host/kit/host_services.h"

namespace vex::host {

HostServices::HostServices() {
    serve(unknown, kUnknownInterfaceId);
    serve(audio, kHostAudioInterfaceId);
    serve(display, kHostDisplayInterfaceId);
    serve(drawing, kHostDrawingInterfaceId);
    serve(window, kHostWindowInterfaceId);
    serve(window2, kHostWindowInterface2Id);
}

void HostServices::rethrowFailure() {
    if (failure) {
        std::exception_ptr caught = failure;
        failure = nullptr;
        std::rethrow_exception(caught);
    }
}

std::int32_t HostServices::referenceChanged(const MpGuid&, std::int32_t delta) {
    references += delta;
    return references;
}

std::int32_t HostServices::query(const MpGuid* iid, void** out) {
    if (out == nullptr) {
        return kMpUnsupported;
    }
    *out = nullptr;
    if (iid == nullptr) {
        return kMpUnsupported;
    }
    queried(*iid);
    if (refuses(*iid)) {
        return kMpUnsupported;
    }
    UnknownInterface* answer = nullptr;
    if (sameGuid(*iid, kUnknownInterfaceId)) {
        answer = &unknown;
    } else if (sameGuid(*iid, kHostAudioInterfaceId)) {
        answer = &audio;
    } else if (sameGuid(*iid, kHostDisplayInterfaceId)) {
        answer = &display;
    } else if (sameGuid(*iid, kHostDrawingInterfaceId)) {
        answer = &drawing;
    } else if (sameGuid(*iid, kHostWindowInterfaceId)) {
        answer = &window;
    } else if (sameGuid(*iid, kHostWindowInterface2Id)) {
        answer = &window2;
    }
    if (answer == nullptr) {
        return kMpUnsupported;
    }
    referenceChanged(*iid, 1);
    *out = answer;
    return kMpOk;
}

std::int32_t HostServices::Audio::setPin(std::int32_t time, std::int32_t pinId, std::int32_t size,
                                         const void* data) noexcept {
    return owner->guarded([&] {
        if (owner->onPinSend) {
            owner->onPinSend(time, pinId, data, size);
        }
        owner->sent(time, pinId, data, size);
        return kMpOk;
    });
}

std::int32_t HostServices::Audio::sleep() noexcept {
    ++owner->sleepRequests;
    return kMpOk;
}

std::int32_t HostServices::Audio::getSampleRate(float* rate) noexcept {
    if (rate != nullptr) {
        *rate = owner->sampleRate;
    }
    return kMpOk;
}

std::int32_t HostServices::Audio::getHostFlag(std::int32_t* flag) noexcept {
    if (flag != nullptr) {
        *flag = owner->hostFlag;
    }
    return kMpOk;
}

std::int32_t HostServices::Display::setPin(std::int32_t pinId, std::int32_t size, const void* data,
                                           std::int32_t fourth) noexcept {
    return owner->guarded([&] {
        if (owner->onPinWrite) {
            owner->onPinWrite(pinId, data, data != nullptr && size > 0 ? size : 0);
        }
        owner->written(pinId, data, size, fourth);
        return kMpOk;
    });
}

std::int32_t HostServices::Drawing::setCapture() noexcept {
    return owner->guarded([&] {
        owner->captureAnswer = 1;
        owner->captureChanged(true);
        return kMpOk;
    });
}

std::int32_t HostServices::Drawing::getCapture(std::int32_t* captured) noexcept {
    if (captured != nullptr) {
        *captured = owner->captureAnswer;
    }
    return kMpOk;
}

std::int32_t HostServices::Drawing::releaseCapture() noexcept {
    return owner->guarded([&] {
        owner->captureAnswer = 0;
        owner->captureChanged(false);
        return kMpOk;
    });
}

std::int32_t HostServices::Drawing::invalidateRect(const std::int32_t* rect) noexcept {
    return owner->guarded([&] {
        owner->invalidated = true;
        owner->invalidatedArea(rect);
        return kMpOk;
    });
}

} // namespace vex::host
