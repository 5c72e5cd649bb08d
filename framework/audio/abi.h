// Basics shared by every interface that crosses the library boundary: result codes,
// the 16-byte interface identifier, the calling convention, and the UTF-16 text type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

// Interface operations and the entry point use stdcall on 32-bit Windows and the
// platform's default convention everywhere else.
#if defined(_WIN32) && !defined(_WIN64)
#define MP_STDCALL __stdcall
#else
#define MP_STDCALL
#endif

#ifdef _WIN32
#define MP_EXPORT extern "C" __declspec(dllexport)
#else
#define MP_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace vex {

// Result of every interface operation.
enum MpResult : std::int32_t {
    kMpOk = 0,
    kMpFail = -1,        // an exception escaped the work, or the pin id is not registered
    kMpUnsupported = -2, // unknown interface, module identifier or object side
};

// UTF-16 code unit of text crossing the boundary.
#ifdef _WIN32
using MpChar = wchar_t;
#define MP_TEXT(s) L##s
#else
using MpChar = char16_t;
#define MP_TEXT(s) u##s
#endif
static_assert(sizeof(MpChar) == 2, "text across the boundary is UTF-16");

// Text held on either side. Only its code units cross the boundary, never the string.
using MpString = std::basic_string<MpChar>;

// Interface identifier in the usual GUID layout: the first three fields little-endian
// on every platform this library targets, then eight bytes. Compared byte by byte.
struct MpGuid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};
static_assert(sizeof(MpGuid) == 16, "GUID is 16 bytes");
static_assert(offsetof(MpGuid, data2) == 4 && offsetof(MpGuid, data3) == 6 &&
                  offsetof(MpGuid, data4) == 8,
              "GUID field offsets");

// Why memcmp: comparing through wider integer types depends on alignment and padding.
inline bool sameGuid(const MpGuid& a, const MpGuid& b) noexcept {
    return std::memcmp(&a, &b, sizeof(MpGuid)) == 0;
}

// {00000000-0000-C000-0000-000000000046}: the base unknown interface of this ABI.
// Deliberately not COM's {00000000-0000-0000-C000-000000000046}.
inline constexpr MpGuid kUnknownInterfaceId = {
    0x00000000, 0x0000, 0xC000, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Identity operations that begin every interface table, on the module's objects and on
// the host's alike. One plain reference count serves all interfaces of an object.
// Contract: called on the thread that drives the object: the host's audio thread for an
// audio object and the host's audio interface, its user-interface thread for a display
// object and the host's display interfaces, any thread for the factory. No locking.
// Every operation of every interface here is noexcept: no exception crosses the boundary
// in either direction. The module's operations run their work through abiGuard, so an
// exception inside answers kMpFail; a host's operations must not let one out either.
class UnknownInterface {
public:
    // Writes the interface for `iid` into `*out` with one reference added and answers
    // kMpOk; for an identifier it does not answer (or a null `iid`) writes null and answers
    // kMpUnsupported. A null `out` answers kMpUnsupported and writes nothing.
    virtual std::int32_t MP_STDCALL queryInterface(const MpGuid* iid, void** out) noexcept = 0;
    // Adds a reference; answers the new count (the factory, which is not counted, 16).
    virtual std::int32_t MP_STDCALL addRef() noexcept = 0;
    // Drops a reference; answers the new count. The release that brings it to 0 destroys
    // the object and answers 0 (kMpFail when its teardown raised an error); the caller's
    // pointer is dangling from then on. The factory, which is not counted, answers 1.
    virtual std::int32_t MP_STDCALL release() noexcept = 0;
};

// Runs `work` and turns any exception into `onError`: no exception crosses an interface
// operation. Every operation the host can call goes through this, except those that only
// answer a constant.
template <typename Work> std::int32_t abiGuard(std::int32_t onError, Work&& work) noexcept {
    try {
        return work();
    } catch (...) {
        return onError;
    }
}

// queryInterface of an object that answers the base unknown interface and `own`, both
// with `self` (the object as that interface), one reference added.
template <typename Interface>
std::int32_t answerQueryInterface(const MpGuid* iid, void** out, const MpGuid& own,
                                  Interface* self) noexcept {
    return abiGuard(kMpFail, [&]() -> std::int32_t {
        if (out == nullptr) {
            return kMpUnsupported;
        }
        if (iid != nullptr && (sameGuid(*iid, kUnknownInterfaceId) || sameGuid(*iid, own))) {
            *out = self;
            self->addRef();
            return kMpOk;
        }
        *out = nullptr;
        return kMpUnsupported;
    });
}

// An operation on one of the object's pins: `find` answers the pin or null (no such pin:
// kMpFail), `work` runs on it (kMpOk).
template <typename Find, typename Work> std::int32_t onPin(Find&& find, Work&& work) noexcept {
    return abiGuard(kMpFail, [&]() -> std::int32_t {
        auto* pin = find();
        if (pin == nullptr) {
            return kMpFail;
        }
        work(*pin);
        return kMpOk;
    });
}

// release of a counted object: the release that brings `count` to 0 runs `destroy` and
// answers 0 without touching the object again.
template <typename Destroy>
std::int32_t releaseReference(std::int32_t& count, Destroy&& destroy) noexcept {
    return abiGuard(kMpFail, [&] {
        if (--count == 0) {
            destroy();
            return 0;
        }
        return count;
    });
}

} // namespace vex
