#include "host/kit/block_driver.h"

#include "analyzer/analyzer_pins.h"
#include "host/kit/module_objects.h"

#include <algorithm>
#include <cstring>

namespace vex::host {

BlockDriver::BlockDriver() {
    host.onPinSend = [this](std::int32_t time, std::int32_t pinId, const void* data,
                            std::int32_t size) {
        if (pinId != kAudioFramePin || !onFrame) {
            return;
        }
        const std::int32_t length = data != nullptr ? std::max<std::int32_t>(0, size) : 0;
        onFrame(std::max<std::int32_t>(0, time),
                length > 0 ? static_cast<const std::uint8_t*>(data) : nullptr, length);
    };
}

BlockDriver::~BlockDriver() {
    release();
}

void BlockDriver::create(FactoryInterface& factory) {
    release();
    object = static_cast<AudioModuleInterface*>(
        createModuleObject(factory, kAudioSide, host.hostPointer(), kAudioModuleInterfaceId));
}

void BlockDriver::release() {
    if (object != nullptr) {
        object->release();
        object = nullptr;
    }
    eventCount = 0;
    sleeping = false;
}

std::int32_t BlockDriver::open() {
    if (object == nullptr) {
        return kMpFail;
    }
    const std::int32_t result = object->open();
    host.rethrowFailure();
    return result;
}

bool BlockDriver::setBuffers(const float* signalA, const float* signalB) {
    // Why const_cast: the interface takes the buffers writable, the audio object only reads
    // its input buffers.
    return object != nullptr &&
           object->setBuffer(kAudioSignalAPin, const_cast<float*>(signalA)) == kMpOk &&
           object->setBuffer(kAudioSignalBPin, const_cast<float*>(signalB)) == kMpOk;
}

PinEvent* BlockDriver::nextEvent(std::int32_t time, std::int32_t type, std::int32_t pinId) {
    if (eventCount >= kMaxEvents) {
        ++dropped;
        return nullptr;
    }
    PinEvent& event = events[static_cast<std::size_t>(eventCount++)];
    event = PinEvent{};
    event.time = time;
    event.type = type;
    event.pinId = pinId;
    return &event;
}

void BlockDriver::addValue(std::int32_t time, std::int32_t pinId, const void* value) {
    if (PinEvent* event = nextEvent(time, kEventPinValue, pinId)) {
        event->valueSize = 4;
        std::memcpy(event->value, value, 4);
    }
}

void BlockDriver::addEvent(std::int32_t time, std::int32_t type, std::int32_t pinId) {
    nextEvent(time, type, pinId);
}

bool BlockDriver::process(std::int32_t frames) {
    const std::int32_t count = eventCount;
    eventCount = 0;
    if (object == nullptr || (sleeping && count == 0)) {
        return false;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        events[static_cast<std::size_t>(i)].next =
            i + 1 < count ? &events[static_cast<std::size_t>(i) + 1] : nullptr;
    }
    const std::int32_t sleepsBefore = host.sleepRequests;
    object->process(frames, count > 0 ? events.data() : nullptr);
    ++calls;
    sleeping = host.sleepRequests != sleepsBefore;
    host.rethrowFailure();
    return true;
}

} // namespace vex::host
