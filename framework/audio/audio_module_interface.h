// The audio object's interface as the host calls it, and the host's timed event record.
#pragma once

#include "framework/audio/abi.h"

namespace vex {

// {2B0DFC7E-A539-49CD-B72D-32FF9DF0D9E4}
inline constexpr MpGuid kAudioModuleInterfaceId = {
    0x2B0DFC7E, 0xA539, 0x49CD, {0xB7, 0x2D, 0x32, 0xFF, 0x9D, 0xF0, 0xD9, 0xE4}};

// Event types of PinEvent::type; other values are ignored.
enum PinEventType : std::int32_t {
    kEventPinValue = 100,
    kEventStreamingStart = 101,
    kEventStreamingStop = 102,
    kEventPinOther = 103,
    kEventGraphStart = 104,
};

// One timed event of the host's list handed to process. Read-only to the module.
struct PinEvent {
    std::int32_t time;  // block-relative sample time; non-decreasing along the list
    std::int32_t type;  // PinEventType
    std::int32_t pinId; // types 100 to 103
    std::int32_t valueSize;
    std::int32_t value[2];    // the value itself when it fits in 8 bytes (type 100)
    const void* valuePointer; // the value when it does not fit, else null
    PinEvent* next;           // null at the end of the list
};
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(PinEvent) == 32, "PinEvent is eight 32-bit fields");
static_assert(offsetof(PinEvent, valueSize) == 12 && offsetof(PinEvent, value) == 16 &&
                  offsetof(PinEvent, valuePointer) == 24 && offsetof(PinEvent, next) == 28,
              "PinEvent offsets");
#endif
static_assert(offsetof(PinEvent, time) == 0 && offsetof(PinEvent, type) == 4 &&
                  offsetof(PinEvent, pinId) == 8 && offsetof(PinEvent, valueSize) == 12 &&
                  offsetof(PinEvent, value) == 16,
              "PinEvent leading fields");

// Contract: every operation runs on the host's audio thread, one call at a time; no
// locking. The host calls open before the first process.
class AudioModuleInterface : public UnknownInterface {
public:
    // 4: before processing starts, and again to restart; the object may read the sample
    // rate and the host flag and send pin values from here. kMpOk; kMpFail when an
    // exception escaped.
    virtual std::int32_t MP_STDCALL open() noexcept = 0;
    // 5: hands audio pin `pinId` the sample buffer of the coming blocks. The buffer stays
    // the host's; it must hold at least each process call's `sampleFrames` samples until
    // it is replaced. Null means no buffer (read as silence). Value pins ignore it. kMpOk;
    // kMpFail for an unregistered pin (nothing changes) or when an exception escaped.
    virtual std::int32_t MP_STDCALL setBuffer(std::int32_t pinId, float* buffer) noexcept = 0;
    // 6: processes `sampleFrames` samples (a negative count as 0), split at the events of
    // `events`, a list the host owns and the module reads during the call only (null for
    // none). Event times are clamped into the block, and a group that comes after the
    // block's last sample is not delivered; events of unknown type or for unregistered
    // pins only split the block.
    // No allocation, lock or I/O. kMpOk; kMpFail when an exception escaped.
    virtual std::int32_t MP_STDCALL process(std::int32_t sampleFrames,
                                            const PinEvent* events) noexcept = 0;
    // 7: keeps its place in the table; answers kMpOk without effect.
    virtual std::int32_t MP_STDCALL reserved7(std::int32_t a, std::int32_t b,
                                              std::int32_t c) noexcept = 0;
};

} // namespace vex
