// The factory the host obtains from MP_GetFactory.
#pragma once

#include "framework/audio/abi.h"

namespace vex {

// {9A7904B7-7F7F-4D61-B558-C1A6695BB638}
inline constexpr MpGuid kFactoryInterfaceId = {
    0x9A7904B7, 0x7F7F, 0x4D61, {0xB5, 0x58, 0xC1, 0xA6, 0x69, 0x5B, 0xB6, 0x38}};

// Object sides of createObject.
enum ObjectSide : std::int32_t {
    kAudioSide = 0,
    kDisplaySide = 1,
};

// Contract: the factory is not reference counted; it lives until the library unloads.
// Any thread may call it once start-up registration is done (the registry is read-only).
class FactoryInterface : public UnknownInterface {
public:
    // Creates the `subType` side of module `id` (null-terminated UTF-16) for `host` and
    // writes it to `*out` holding one reference. kMpOk; kMpUnsupported for an unknown id
    // or side; kMpFail when construction failed (then `*out` is null).
    virtual std::int32_t MP_STDCALL createObject(const MpChar* id, std::int32_t subType, void* host,
                                                 void** out) = 0;
    // Writes the framework version and the compiler text. `bufferLength` is the length of
    // `text` in code units; the text is cut to fit, always terminated.
    virtual std::int32_t MP_STDCALL getBuildInfo(std::int32_t* version, std::int32_t bufferLength,
                                                 MpChar* text) = 0;
    // Unload only; never called by the host.
    virtual std::int32_t MP_STDCALL destroy(std::int32_t flags) = 0;
};

} // namespace vex
