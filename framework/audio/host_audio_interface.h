// The host's audio-side services, as the audio objects call them.
#pragma once

#include "framework/audio/abi.h"

namespace vex {

// {4F1B532F-3C46-4927-A498-614867425BE7}
inline constexpr MpGuid kHostAudioInterfaceId = {
    0x4F1B532F, 0x3C46, 0x4927, {0xA4, 0x98, 0x61, 0x48, 0x67, 0x42, 0x5B, 0xE7}};

// Contract: every call comes from the thread that drives the audio object, from inside
// open or process (queryInterface and release from construction and destruction: the
// object holds the one reference it queried for its whole life). Slots the module never
// calls keep their place as reservedN with no arguments.
class HostAudioInterface : public UnknownInterface {
public:
    // 4: delivers a pin value at block-relative `time`: `size` bytes at `data` (none when
    // `size` is 0). The bytes stay the module's: the host copies them during the call, the
    // module reuses its storage at once. Result ignored.
    virtual std::int32_t MP_STDCALL setPin(std::int32_t time, std::int32_t pinId, std::int32_t size,
                                           const void* data) noexcept = 0;
    virtual std::int32_t MP_STDCALL reserved5() noexcept = 0;
    // 6: the module may be left unprocessed until the host has new events for it. Result
    // ignored.
    virtual std::int32_t MP_STDCALL sleep() noexcept = 0;
    virtual std::int32_t MP_STDCALL reserved7() noexcept = 0;
    virtual std::int32_t MP_STDCALL reserved8() noexcept = 0;
    // 9: writes the sample rate in hertz, above 0, to `*rate` (never null). Result ignored.
    virtual std::int32_t MP_STDCALL getSampleRate(float* rate) noexcept = 0;
    virtual std::int32_t MP_STDCALL reserved10() noexcept = 0;
    virtual std::int32_t MP_STDCALL reserved11() noexcept = 0;
    virtual std::int32_t MP_STDCALL reserved12() noexcept = 0;
    virtual std::int32_t MP_STDCALL reserved13() noexcept = 0;
    virtual std::int32_t MP_STDCALL reserved14() noexcept = 0;
    // 15: writes the host flag to `*flag` (never null); non-zero means true. Result ignored.
    virtual std::int32_t MP_STDCALL getHostFlag(std::int32_t* flag) noexcept = 0;
};

} // namespace vex
