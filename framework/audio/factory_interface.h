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
    // 4: creates the `subType` side of module `id` for `host` and writes it to `*out`
    // holding one reference: kMpOk. `id` is null-terminated UTF-16, read during the call
    // only and never past one unit beyond the longest registered identifier. `host` stays
    // the host's: the object queries it for the host interfaces it needs and holds them for
    // its whole life, so it must outlive the object. Unknown or null `id`, unknown side,
    // no creation function for the side: kMpUnsupported. A failed construction (a host
    // interface missing, no memory): kMpFail. `*out` is null on every failure; a null
    // `out` answers kMpUnsupported and writes nothing.
    virtual std::int32_t MP_STDCALL createObject(const MpChar* id, std::int32_t subType, void* host,
                                                 void** out) noexcept = 0;
    // 5: writes the framework version to `*version` and the compiler text into `text`,
    // whose length in code units is `bufferLength`; the text is cut to fit and always
    // terminated. A null pointer, or a length of 0 or below, writes nothing there. kMpOk.
    virtual std::int32_t MP_STDCALL getBuildInfo(std::int32_t* version, std::int32_t bufferLength,
                                                 MpChar* text) noexcept = 0;
    // 6: the library's own unload step (empties the registry; bit 0 of `flags` frees the
    // factory). Not for a host: on the factory MP_GetFactory answers it does nothing, and
    // that factory stays usable until the library unloads. kMpOk.
    virtual std::int32_t MP_STDCALL destroy(std::int32_t flags) noexcept = 0;
};

// The library's exported entry point, which a host resolves by the name "MP_GetFactory":
// writes the factory (as its base unknown interface, which is also its FactoryInterface)
// to `*out` and answers kMpOk; kMpFail with null when the factory could not be made. A
// null `out` writes nothing and answers an error. Any thread, once the library is loaded.
using GetFactoryFunction = std::int32_t(MP_STDCALL*)(void** out) noexcept;

} // namespace vex
