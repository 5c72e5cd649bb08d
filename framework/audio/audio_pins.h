// The audio-side pins: a streaming sample input and value pins (int, float, bool, byte
// block). Pins are members of their module; the module binds them with initializePin and
// delivers the host's events to them from process.
//
// Contract: every operation runs on the host's audio thread, inside the module's open or
// process (or construction and destruction). Nothing here locks; only a blob pin whose
// length grows beyond its storage allocates.
#pragma once

#include "framework/audio/audio_module_interface.h"
#include "framework/audio/pin_types.h"

#include <cstdint>
#include <vector>

namespace vex {

class AudioModuleBase;

// Change callback given at registration: a member routine of the owning module, called
// with the event that changed the pin; null for none.
using PinSpec = void (AudioModuleBase::*)(const PinEvent* event);

enum PinDirection : std::int32_t {
    kPinInput = 0,
    kPinOutput = 1,
};

// Base of every audio-side pin. The operations follow the pin table's order.
class DspPin {
public:
    DspPin() = default;
    DspPin(const DspPin&) = delete;
    DspPin& operator=(const DspPin&) = delete;
    virtual ~DspPin() = default;

    // Hands the buffer of the coming blocks (not owned). Only audio pins keep it.
    virtual void setBuffer(float* buffer) = 0;
    // First pass over an event group: takes the event's value or streaming state.
    virtual void preEvent(const PinEvent& event) = 0;
    // Second pass: runs the change callback, if any, on the module.
    virtual void onEvent(const PinEvent& event);
    // Third pass: lowers the per-event flags raised by preEvent.
    virtual void postEvent(const PinEvent& event) = 0;
    virtual std::int32_t dataType() const = 0;
    virtual std::int32_t direction() const = 0;
    // The callback an input takes when registered with a null PinSpec.
    virtual void defaultSpec(PinSpec& out) const = 0;
    // Sends the current value to the host at block time `time`; −1 means the module's
    // blockPosition. Audio pins send nothing.
    virtual void sendPinUpdate(std::int32_t time) = 0;
    // Replaces the value with `size` bytes at `data`. Negative sizes count as 0 and a null
    // `data` as no bytes; value pins never read or write past either side.
    virtual void setValueRaw(std::int32_t size, const void* data) = 0;
    // Size in bytes and address of the current value (audio pins: 0 and null).
    virtual std::int32_t valueSize() const = 0;
    virtual const void* valueAddress() const = 0;

    // Binding, done once by AudioModuleBase::initializePin.
    void bind(std::int32_t pinId, AudioModuleBase* owner, PinSpec spec);

    std::int32_t id() const { return pinId; }
    AudioModuleBase* module() const { return owner; }
    PinSpec callback() const { return changeCallback; }

private:
    std::int32_t pinId = -1;
    AudioModuleBase* owner = nullptr;
    PinSpec changeCallback = nullptr;
};

// A streaming sample input: one float per sample frame of the current block.
class DspAudioPin final : public DspPin {
public:
    void setBuffer(float* samples) override { buffer = samples; }
    void preEvent(const PinEvent& event) override;
    void postEvent(const PinEvent& event) override;
    std::int32_t dataType() const override { return kPinAudio; }
    std::int32_t direction() const override { return kPinInput; }
    void defaultSpec(PinSpec& out) const override { out = nullptr; }
    void sendPinUpdate(std::int32_t) override {}
    void setValueRaw(std::int32_t, const void*) override {}
    std::int32_t valueSize() const override { return 0; }
    const void* valueAddress() const override { return nullptr; }

    // The host's buffer for the current block; null until the host hands one (a module
    // must treat a null buffer as silence: the base never reads it).
    const float* samples() const { return buffer; }
    bool isStreaming() const { return streaming; }
    // True while a streaming event (101 or 102) for this pin is being delivered.
    bool streamingChanged() const { return changed; }

private:
    float* buffer = nullptr;
    bool streaming = false;
    bool changed = true;
};

// What the value pins share: a direction fixed at construction, the `updated` flag of a
// value event, and sending through the host's setPin.
class DspValuePin : public DspPin {
public:
    void setBuffer(float*) override {}
    // Type 100: takes the event's value, from valuePointer or else from the record's two
    // inline words (then never more than those 8 bytes), and raises `updated`.
    void preEvent(const PinEvent& event) override;
    void postEvent(const PinEvent& event) override;
    std::int32_t direction() const override { return pinDirection; }
    void defaultSpec(PinSpec& out) const override { out = nullptr; }
    void sendPinUpdate(std::int32_t time) override;

    // True for exactly the pins set by the event group being delivered.
    bool updated() const { return isUpdated; }

protected:
    explicit DspValuePin(PinDirection direction) : pinDirection(direction) {}

private:
    PinDirection pinDirection;
    bool isUpdated = false;
};

// A signed 32-bit integer value.
class DspIntPin final : public DspValuePin {
public:
    explicit DspIntPin(PinDirection direction = kPinInput) : DspValuePin(direction) {}
    std::int32_t dataType() const override { return kPinInt; }
    // Copies at most 4 bytes; fewer set the low bytes and clear the rest.
    void setValueRaw(std::int32_t size, const void* data) override;
    std::int32_t valueSize() const override { return sizeof(value); }
    const void* valueAddress() const override { return &value; }
    std::int32_t get() const { return value; }

private:
    std::int32_t value = 0;
};

// A 32-bit float value.
class DspFloatPin final : public DspValuePin {
public:
    explicit DspFloatPin(PinDirection direction = kPinInput) : DspValuePin(direction) {}
    std::int32_t dataType() const override { return kPinFloat; }
    // Copies at most 4 bytes; fewer set the low bytes and clear the rest.
    void setValueRaw(std::int32_t size, const void* data) override;
    std::int32_t valueSize() const override { return sizeof(value); }
    const void* valueAddress() const override { return &value; }
    float get() const { return value; }

private:
    float value = 0.0f;
};

// A bool value, sent as one byte.
class DspBoolPin final : public DspValuePin {
public:
    explicit DspBoolPin(PinDirection direction = kPinInput) : DspValuePin(direction) {}
    std::int32_t dataType() const override { return kPinBool; }
    // 4 bytes: the 32-bit word is not 0. Otherwise the first byte is not 0 (no bytes:
    // false).
    void setValueRaw(std::int32_t size, const void* data) override;
    std::int32_t valueSize() const override { return 1; }
    const void* valueAddress() const override { return &value; }
    bool get() const { return value; }

private:
    bool value = false;
};

// A byte block of any length, owned by the pin. Its storage is kept while the length
// does not grow beyond it, so a module sending frames of one size allocates only once,
// and one that reserves its longest frame beforehand never does.
class DspBlobPin : public DspValuePin {
public:
    explicit DspBlobPin(PinDirection direction = kPinInput) : DspValuePin(direction) {}
    std::int32_t dataType() const override { return kPinBlob; }
    // Makes room for values of up to `capacity` bytes, so that setting them allocates
    // nothing; the value stays as it is. Called off the audio thread, typically from the
    // owning module's constructor; a capacity not above the current storage does nothing.
    void reserve(std::int32_t capacity);
    void setValueRaw(std::int32_t size, const void* data) override;
    std::int32_t valueSize() const override { return static_cast<std::int32_t>(bytes.size()); }
    const void* valueAddress() const override { return bytes.data(); }
    const std::vector<std::uint8_t>& get() const { return bytes; }

private:
    std::vector<std::uint8_t> bytes;
};

// The byte-block output a module sends its frames through.
class BlobOutputPin final : public DspBlobPin {
public:
    BlobOutputPin() : DspBlobPin(kPinOutput) {}
};

} // namespace vex
