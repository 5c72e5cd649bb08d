// Display-side pins: typed values the host pushes in with setPin and announces with
// notifyPin; int and text pins can also be written back to the host.
#pragma once

#include "framework/audio/abi.h"
#include "framework/audio/pin_types.h"
#include "framework/display/display_module_base.h"

#include <array>
#include <cstdint>
#include <memory>

namespace vex {

// Voices of a per-voice pin: 0..kVoiceCount-1.
inline constexpr std::int32_t kVoiceCount = 128;

// Contract: every operation runs on the host's user-interface thread. A pin is a member of
// its module, bound once during the module's construction and never unbound.
// Bad input from the host never touches memory outside the value: a negative size, or a
// null pointer with a positive size, is ignored (the value is unchanged).
class DisplayPin {
public:
    DisplayPin() = default;
    DisplayPin(const DisplayPin&) = delete;
    DisplayPin& operator=(const DisplayPin&) = delete;
    virtual ~DisplayPin() = default;

    // Stores `size` bytes at `data` for `voice` (ignored by single-value kinds); answers
    // whether the value changed. Runs no callback.
    virtual bool setRaw(std::int32_t voice, std::int32_t size, const void* data) = 0;
    // Runs the change callback, if any, on the module.
    virtual void notify(std::int32_t voice);
    virtual std::int32_t typeCode() const = 0;
    // Stores id, module and callback, resets a single value, registers with the module.
    virtual void bind(DisplayModuleBase* owner, std::int32_t pinId, PinCallback onChange);

    std::int32_t getId() const { return id; }
    DisplayModuleBase* getModule() const { return module; }

protected:
    // Why: one check for the bad sizes and pointers every kind ignores.
    static bool acceptable(std::int32_t size, const void* data) {
        return size >= 0 && (size == 0 || data != nullptr);
    }
    // Sends the value to the host (HostDisplayInterface operation 4), when bound.
    void sendToHost(std::int32_t size, const void* data) const;

    PinCallback callback;

private:
    std::int32_t id = -1;
    DisplayModuleBase* module = nullptr;
};

// A pin holding one value for all voices.
class SingleValuePin : public DisplayPin {
public:
    void bind(DisplayModuleBase* owner, std::int32_t pinId, PinCallback onChange) override;
    // Size of the value in bytes and its bytes (valid until the next change).
    virtual std::int32_t valueSize() const = 0;
    virtual const void* valuePointer() const = 0;

protected:
    virtual void resetValue() = 0;
};

// A pin holding one value per voice 0..127. Voices outside that range are ignored: raw set
// answers unchanged, the size is 0, there are no bytes and notify runs no callback.
class PerVoicePin : public DisplayPin {
public:
    bool setRaw(std::int32_t voice, std::int32_t size, const void* data) override {
        return setVoice(voice, size, data);
    }
    void notify(std::int32_t voice) override;
    virtual bool setVoice(std::int32_t voice, std::int32_t size, const void* data) = 0;
    virtual std::int32_t voiceSize(std::int32_t voice) const = 0;
    virtual const void* voicePointer(std::int32_t voice) const = 0;

    static bool validVoice(std::int32_t voice) { return voice >= 0 && voice < kVoiceCount; }
};

class IntPin final : public SingleValuePin {
public:
    // Values of any size but 4 are ignored.
    bool setRaw(std::int32_t voice, std::int32_t size, const void* data) override;
    std::int32_t typeCode() const override { return kPinInt; }
    std::int32_t valueSize() const override { return sizeof(value); }
    const void* valuePointer() const override { return &value; }

    std::int32_t getValue() const { return value; }
    // Stores `newValue` and sends it to the host, only when it differs from the stored one.
    // The pin's own callback does not run.
    void write(std::int32_t newValue);

protected:
    void resetValue() override { value = 0; }

private:
    std::int32_t value = 0;
};

class FloatPin final : public SingleValuePin {
public:
    // Compares bit patterns (0.0 and -0.0 differ); values of any size but 4 are ignored.
    bool setRaw(std::int32_t voice, std::int32_t size, const void* data) override;
    std::int32_t typeCode() const override { return kPinFloat; }
    std::int32_t valueSize() const override { return sizeof(value); }
    const void* valuePointer() const override { return &value; }

    float getValue() const { return value; }

protected:
    void resetValue() override { value = 0.0f; }

private:
    float value = 0.0f;
};

class BoolPin final : public SingleValuePin {
public:
    // One byte is stored as given (so 7 stays 7); four bytes store (value != 0) and always
    // count as a change; any other positive size stores the first byte; size 0 is ignored.
    bool setRaw(std::int32_t voice, std::int32_t size, const void* data) override;
    std::int32_t typeCode() const override { return kPinBool; }
    std::int32_t valueSize() const override { return sizeof(value); }
    const void* valuePointer() const override { return &value; }

    bool getValue() const { return value != 0; }
    std::uint8_t rawByte() const { return value; }

protected:
    void resetValue() override { value = 0; }

private:
    std::uint8_t value = 0;
};

class TextPin final : public SingleValuePin {
public:
    // Takes size / 2 UTF-16 code units (no terminator expected).
    bool setRaw(std::int32_t voice, std::int32_t size, const void* data) override;
    std::int32_t typeCode() const override { return kPinText; }
    std::int32_t valueSize() const override;
    const void* valuePointer() const override { return text.data(); }

    const MpString& getValue() const { return text; }
    // Stores `newText` and sends it to the host, only when it differs from the stored text.
    void write(const MpString& newText);

protected:
    void resetValue() override { text.clear(); }

private:
    MpString text;
};

// A text pin that reads its text as a colour: "0x" hexadecimal, decimal, "RGB(r,g,b)" or
// "ARGB(a,r,g,b)". Colours are 32-bit ARGB, blue in the low byte.
class ColourPin final : public SingleValuePin {
public:
    // Parses changed, non-empty text; unchanged text keeps the previous result.
    bool setRaw(std::int32_t voice, std::int32_t size, const void* data) override;
    std::int32_t typeCode() const override { return kPinText; }
    std::int32_t valueSize() const override;
    const void* valuePointer() const override { return text.data(); }

    const MpString& getText() const { return text; }
    // True while the text gives no colour (at construction, for empty or unparsable text).
    bool noColour() const { return none; }
    // The last colour parsed; kept when a later text fails to parse.
    std::uint32_t colour() const { return argb; }

protected:
    void resetValue() override { text.clear(); }

private:
    // Parses `text` into `argb`; false when it gives no colour.
    bool parse();

    MpString text;
    bool none = true;
    std::uint32_t argb = 0;
};

class PerVoiceFloatPin final : public PerVoicePin {
public:
    bool setVoice(std::int32_t voice, std::int32_t size, const void* data) override;
    std::int32_t typeCode() const override { return kPinFloat; }
    std::int32_t voiceSize(std::int32_t voice) const override;
    const void* voicePointer(std::int32_t voice) const override;

    // The voice's value; 0 for a voice outside 0..127.
    float getValue(std::int32_t voice) const;

private:
    std::array<float, kVoiceCount> values{};
};

class PerVoiceBlobPin final : public PerVoicePin {
public:
    // A value of another size replaces the voice's buffer with one of exactly that size.
    // When that allocation fails the voice keeps its previous value (and the error goes on
    // to setPin, which answers kMpFail).
    bool setVoice(std::int32_t voice, std::int32_t size, const void* data) override;
    std::int32_t typeCode() const override { return kPinBlob; }
    std::int32_t voiceSize(std::int32_t voice) const override;
    const void* voicePointer(std::int32_t voice) const override;

private:
    struct Blob {
        std::int32_t size = 0;
        std::unique_ptr<std::uint8_t[]> bytes;
    };
    std::array<Blob, kVoiceCount> blobs;
};

} // namespace vex
