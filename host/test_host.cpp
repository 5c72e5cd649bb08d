#include "host/test_host.h"

#include <algorithm>

namespace vex::host {

namespace {

std::vector<std::uint8_t> copyBytes(const void* data, std::int32_t size) {
    if (data == nullptr || size <= 0) {
        return {};
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return std::vector<std::uint8_t>(bytes, bytes + size);
}

} // namespace

TestHost::TestHost() {
    unknown.owner = this;
    audio.owner = this;
    display.owner = this;
    drawing.owner = this;
    window.owner = this;
    window2.owner = this;
}

void TestHost::rethrowFailure() {
    if (failure) {
        std::exception_ptr caught = failure;
        failure = nullptr;
        std::rethrow_exception(caught);
    }
}

void TestHost::clearRecords() {
    pinSends.clear();
    sleepRequests = 0;
    pinWrites.clear();
    invalidations.clear();
    setCaptureCalls = 0;
    releaseCaptureCalls = 0;
}

TestHost::Count* TestHost::countFor(const MpGuid& iid) {
    for (Count& count : counts) {
        if (sameGuid(count.iid, iid)) {
            return &count;
        }
    }
    counts.push_back(Count{iid});
    return &counts.back();
}

const TestHost::Count* TestHost::countFor(const MpGuid& iid) const {
    for (const Count& count : counts) {
        if (sameGuid(count.iid, iid)) {
            return &count;
        }
    }
    return nullptr;
}

std::int32_t TestHost::references(const MpGuid& iid) const {
    const Count* count = countFor(iid);
    return count != nullptr ? count->references : 0;
}

std::int32_t TestHost::queries(const MpGuid& iid) const {
    const Count* count = countFor(iid);
    return count != nullptr ? count->queries : 0;
}

std::int32_t TestHost::query(const MpGuid* iid, void** out) {
    if (out == nullptr) {
        return kMpUnsupported;
    }
    *out = nullptr;
    if (iid == nullptr) {
        return kMpUnsupported;
    }
    Count* count = countFor(*iid);
    ++count->queries;
    const bool isRefused = std::any_of(refused.begin(), refused.end(),
                                       [&](const MpGuid& r) { return sameGuid(r, *iid); });
    if (isRefused) {
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
    ++count->references;
    *out = answer;
    return kMpOk;
}

std::int32_t TestHost::addReference(const MpGuid& iid) {
    return ++countFor(iid)->references;
}

std::int32_t TestHost::releaseReference(const MpGuid& iid) {
    ++releaseCount;
    return --countFor(iid)->references;
}

// Identity operations of each host interface, counted per interface.
#define VEX_TEST_HOST_IDENTITY(Type, iid)                                                          \
    std::int32_t TestHost::Type::queryInterface(const MpGuid* id, void** out) noexcept {           \
        return owner->guarded([&] { return owner->query(id, out); });                              \
    }                                                                                              \
    std::int32_t TestHost::Type::addRef() noexcept {                                               \
        return owner->guarded([&] { return owner->addReference(iid); });                           \
    }                                                                                              \
    std::int32_t TestHost::Type::release() noexcept {                                              \
        return owner->guarded([&] { return owner->releaseReference(iid); });                       \
    }

VEX_TEST_HOST_IDENTITY(Unknown, kUnknownInterfaceId)
VEX_TEST_HOST_IDENTITY(Audio, kHostAudioInterfaceId)
VEX_TEST_HOST_IDENTITY(Display, kHostDisplayInterfaceId)
VEX_TEST_HOST_IDENTITY(Drawing, kHostDrawingInterfaceId)
VEX_TEST_HOST_IDENTITY(Window, kHostWindowInterfaceId)
VEX_TEST_HOST_IDENTITY(Window2, kHostWindowInterface2Id)

#undef VEX_TEST_HOST_IDENTITY

std::int32_t TestHost::Audio::setPin(std::int32_t time, std::int32_t pinId, std::int32_t size,
                                     const void* data) noexcept {
    return owner->guarded([&] {
        if (owner->onPinSend) {
            owner->onPinSend(time, pinId, data, size);
        }
        if (owner->recordSends) {
            owner->pinSends.push_back(PinSend{time, pinId, copyBytes(data, size)});
        }
        return kMpOk;
    });
}

std::int32_t TestHost::Audio::sleep() noexcept {
    ++owner->sleepRequests;
    return kMpOk;
}

std::int32_t TestHost::Audio::getSampleRate(float* rate) noexcept {
    if (rate != nullptr) {
        *rate = owner->sampleRate;
    }
    return kMpOk;
}

std::int32_t TestHost::Audio::getHostFlag(std::int32_t* flag) noexcept {
    if (flag != nullptr) {
        *flag = owner->hostFlag;
    }
    return kMpOk;
}

std::int32_t TestHost::Display::setPin(std::int32_t pinId, std::int32_t size, const void* data,
                                       std::int32_t fourth) noexcept {
    return owner->guarded([&] {
        owner->pinWrites.push_back(PinWrite{pinId, copyBytes(data, size), fourth});
        return kMpOk;
    });
}

std::int32_t TestHost::Drawing::setCapture() noexcept {
    ++owner->setCaptureCalls;
    owner->captureAnswer = 1;
    return kMpOk;
}

std::int32_t TestHost::Drawing::getCapture(std::int32_t* captured) noexcept {
    if (captured != nullptr) {
        *captured = owner->captureAnswer;
    }
    return kMpOk;
}

std::int32_t TestHost::Drawing::releaseCapture() noexcept {
    ++owner->releaseCaptureCalls;
    owner->captureAnswer = 0;
    return kMpOk;
}

std::int32_t TestHost::Drawing::invalidateRect(const std::int32_t* rect) noexcept {
    return owner->guarded([&] {
        if (rect == nullptr) {
            owner->invalidations.push_back(Invalidation{true, 0, 0, 0, 0});
        } else {
            owner->invalidations.push_back(Invalidation{false, rect[0], rect[1], rect[2], rect[3]});
        }
        return kMpOk;
    });
}

} // namespace vex::host
