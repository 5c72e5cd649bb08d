#include "framework/audio/audio_pins.h"

#include "framework/audio/audio_module_base.h"

#include <cstring>

namespace vex {

namespace {

// Why: a host may hand a negative size or a null address with a positive one; both count
// as no bytes, so nothing is read from an address that does not hold the value.
std::int32_t usableSize(std::int32_t size, const void* data) {
    return (data == nullptr || size < 0) ? 0 : size;
}

} // namespace

void DspPin::bind(std::int32_t id, AudioModuleBase* module, PinSpec spec) {
    pinId = id;
    owner = module;
    changeCallback = spec;
}

void DspPin::onEvent(const PinEvent& event) {
    if (changeCallback != nullptr && owner != nullptr) {
        (owner->*changeCallback)(&event);
    }
}

void DspAudioPin::preEvent(const PinEvent& event) {
    if (event.type != kEventStreamingStart && event.type != kEventStreamingStop) {
        return;
    }
    changed = true;
    const bool now = event.type == kEventStreamingStart;
    if (now != streaming) {
        streaming = now;
        if (module() != nullptr) {
            module()->onStreamingChange(now);
        }
    }
}

void DspAudioPin::postEvent(const PinEvent& event) {
    if (event.type == kEventStreamingStart || event.type == kEventStreamingStop) {
        changed = false;
    }
}

void DspValuePin::preEvent(const PinEvent& event) {
    if (event.type != kEventPinValue) {
        return;
    }
    if (event.valuePointer != nullptr) {
        setValueRaw(event.valueSize, event.valuePointer);
    } else {
        // Why: without a pointer the value can only be in the record's two inline words; a
        // larger size must not read past them into whatever follows the record.
        std::int32_t size = event.valueSize;
        if (size > static_cast<std::int32_t>(sizeof(event.value))) {
            size = static_cast<std::int32_t>(sizeof(event.value));
        }
        setValueRaw(size, event.value);
    }
    isUpdated = true;
}

void DspValuePin::postEvent(const PinEvent& event) {
    if (event.type == kEventPinValue) {
        isUpdated = false;
    }
}

void DspValuePin::sendPinUpdate(std::int32_t time) {
    AudioModuleBase* owner = module();
    if (owner == nullptr || owner->host == nullptr) {
        return;
    }
    owner->host->setPin(time == -1 ? owner->blockPosition : time, id(), valueSize(),
                        valueAddress());
}

namespace {

// Copies up to 4 bytes into a 4-byte value. Why clear the rest: a shorter value then
// reads as the same number in fewer bytes (little-endian) instead of mixing with the
// previous value's high bytes.
void copyWord(void* value, std::int32_t size, const void* data) {
    std::int32_t count = usableSize(size, data);
    if (count > 4) {
        count = 4;
    }
    unsigned char word[4] = {0, 0, 0, 0};
    if (count > 0) {
        std::memcpy(word, data, static_cast<std::size_t>(count));
    }
    std::memcpy(value, word, 4);
}

} // namespace

void DspIntPin::setValueRaw(std::int32_t size, const void* data) {
    copyWord(&value, size, data);
}

void DspFloatPin::setValueRaw(std::int32_t size, const void* data) {
    copyWord(&value, size, data);
}

void DspBoolPin::setValueRaw(std::int32_t size, const void* data) {
    const std::int32_t count = usableSize(size, data);
    if (count == 4) {
        std::int32_t word = 0;
        std::memcpy(&word, data, sizeof(word));
        value = word != 0;
    } else if (count > 0) {
        value = *static_cast<const unsigned char*>(data) != 0;
    } else {
        value = false;
    }
}

void DspBlobPin::reserve(std::int32_t capacity) {
    if (capacity > 0) {
        bytes.reserve(static_cast<std::size_t>(capacity));
    }
}

void DspBlobPin::setValueRaw(std::int32_t size, const void* data) {
    const std::int32_t count = usableSize(size, data);
    const auto* first = static_cast<const std::uint8_t*>(data);
    // Why assign: it reuses the storage whenever the length does not grow beyond it, so a
    // module sending frames of one length, or of lengths it reserved, allocates at most
    // once.
    if (count > 0) {
        bytes.assign(first, first + count);
    } else {
        bytes.clear();
    }
}

} // namespace vex
