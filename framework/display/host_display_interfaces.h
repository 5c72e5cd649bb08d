// The host's display-side services, as the display objects call them.
#pragma once

#include "framework/audio/abi.h"

namespace vex {

// {174F9DDC-1850-40DB-BAF0-E0B41D079645}
inline constexpr MpGuid kHostDisplayInterfaceId = {
    0x174F9DDC, 0x1850, 0x40DB, {0xBA, 0xF0, 0xE0, 0xB4, 0x1D, 0x07, 0x96, 0x45}};
// {2A3F4D28-52C5-4A31-BF85-B79853265F65}
inline constexpr MpGuid kHostDrawingInterfaceId = {
    0x2A3F4D28, 0x52C5, 0x4A31, {0xBF, 0x85, 0xB7, 0x98, 0x53, 0x26, 0x5F, 0x65}};
// {E52FAA41-42C3-40A6-A11A-E69DB335CE50}
inline constexpr MpGuid kHostWindowInterfaceId = {
    0xE52FAA41, 0x42C3, 0x40A6, {0xA1, 0x1A, 0xE6, 0x9D, 0xB3, 0x35, 0xCE, 0x50}};
// {B1EFF8C9-9ADC-450B-BCD6-D359CFDC8275}
inline constexpr MpGuid kHostWindowInterface2Id = {
    0xB1EFF8C9, 0x9ADC, 0x450B, {0xBC, 0xD6, 0xD3, 0x59, 0xCF, 0xDC, 0x82, 0x75}};

// Contract: called on the host's user-interface thread; results are not inspected. The
// display holds the reference it queried for its whole life and never releases it.
class HostDisplayInterface : public UnknownInterface {
public:
    // 4: a pin value the display wrote, sent only when it changed. Int pins: 4 bytes;
    // text pins: UTF-16 code units without terminator, `size` = 2 x count. `zero` is 0.
    // The bytes stay the display's: the host copies them during the call.
    virtual std::int32_t MP_STDCALL setPin(std::int32_t pinId, std::int32_t size, const void* data,
                                           std::int32_t zero) noexcept = 0;
};

// Contract: called on the host's user-interface thread by composited displays; results
// are not inspected except getCapture's out value.
class HostDrawingInterface : public UnknownInterface {
public:
    virtual std::int32_t MP_STDCALL setCapture() noexcept = 0;
    // Writes non-zero to `*captured` (never null) while the display holds the pointer
    // capture.
    virtual std::int32_t MP_STDCALL getCapture(std::int32_t* captured) noexcept = 0;
    virtual std::int32_t MP_STDCALL releaseCapture() noexcept = 0;
    // Asks for a later paint covering `rect` (left, top, right, bottom, relative to the
    // display's area; read during the call only), or the whole area when null. The display
    // never paints outside paint.
    virtual std::int32_t MP_STDCALL invalidateRect(const std::int32_t* rect) noexcept = 0;
};

// Queried and held by windowed displays; no operation beyond identity is called.
class HostWindowInterface : public UnknownInterface {};
class HostWindowInterface2 : public UnknownInterface {};

} // namespace vex
