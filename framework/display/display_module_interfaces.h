// The display object's interfaces as the host calls them.
#pragma once

#include "framework/audio/abi.h"
#include "platform/win_types.h"

namespace vex {

// {CACB3203-4A57-4209-9E00-0C4B950457F6}
inline constexpr MpGuid kDisplayModuleInterfaceId = {
    0xCACB3203, 0x4A57, 0x4209, {0x9E, 0x00, 0x0C, 0x4B, 0x95, 0x04, 0x57, 0xF6}};
// {0157347B-3FD3-4CEE-947E-88F694349254}
inline constexpr MpGuid kDrawingInterfaceId = {
    0x0157347B, 0x3FD3, 0x4CEE, {0x94, 0x7E, 0x88, 0xF6, 0x94, 0x34, 0x92, 0x54}};
// {76FAC807-0C89-465D-9FAF-49B12D964118}
inline constexpr MpGuid kWindowInterfaceId = {
    0x76FAC807, 0x0C89, 0x465D, {0x9F, 0xAF, 0x49, 0xB1, 0x2D, 0x96, 0x41, 0x18}};

// Out pair of measure, in the order of its two size arguments.
struct MeasureSize {
    std::int32_t width;
    std::int32_t height;
};
static_assert(sizeof(MeasureSize) == 8, "two 32-bit values");

// Contract: every operation runs on the host's user-interface thread, one call at a
// time; no locking. The host delivers pin values with setPin, then notifyPin.
class DisplayModuleInterface : public UnknownInterface {
public:
    // 4: keeps its place; kMpOk without effect.
    virtual std::int32_t MP_STDCALL reserved4() noexcept = 0;
    // 5: stores `size` bytes at `data` as the value of pin `pinId` for `voice` (single-value
    // pins ignore the voice), without running its change callback. The bytes stay the
    // host's; the pin copies them during the call. A negative size, a null `data` with a
    // positive size, or a voice outside 0..127 for a per-voice pin leave the value as it
    // is. kMpOk, changed or not; kMpFail for an unregistered pin id (nothing changes) or
    // when storing failed (out of memory; the previous value stays).
    virtual std::int32_t MP_STDCALL setPin(std::int32_t pinId, std::int32_t voice,
                                           std::int32_t size, const void* data) noexcept = 0;
    // 6: runs the change callback of pin `pinId` for `voice` (none for a voice outside
    // 0..127 of a per-voice pin). kMpOk; kMpFail for an unregistered pin id or when the
    // callback raised an error.
    virtual std::int32_t MP_STDCALL notifyPin(std::int32_t pinId, std::int32_t voice) noexcept = 0;
    // 7, 8, 9: keep their places; kMpOk without effect.
    virtual std::int32_t MP_STDCALL reserved7(std::int32_t a, std::int32_t b,
                                              std::int32_t c) noexcept = 0;
    virtual std::int32_t MP_STDCALL reserved8() noexcept = 0;
    virtual std::int32_t MP_STDCALL reserved9(std::int32_t a) noexcept = 0;
    // 10: destroys the object; bit 0 of `flags` also frees its memory. Called by release
    // at the last reference; a host never calls it. kMpOk.
    virtual std::int32_t MP_STDCALL destroy(std::int32_t flags) noexcept = 0;
};

// Second interface of a windowless (composited) display. Its identity operations are the
// object's own: one count serves both interfaces.
// Contract: every operation runs on the host's user-interface thread; no locking.
class DrawingInterface : public UnknownInterface {
public:
    // 4: draws the whole area into `dc`, whose origin is the area's top-left corner. The
    // context stays the host's and is used during the call only; drawing happens nowhere
    // else. kMpOk; kMpFail when drawing raised an error.
    virtual std::int32_t MP_STDCALL paint(HDC dc) noexcept = 0;
    // 5: each component clamped to 15..100 and written to `*out` in the same order.
    // kMpOk; a null `out` answers kMpFail and writes nothing.
    virtual std::int32_t MP_STDCALL measure(std::int32_t width, std::int32_t height,
                                            MeasureSize* out) noexcept = 0;
    // 6: the display's area, stored unchanged (any values; drawing keeps to what it can
    // handle). kMpOk.
    virtual std::int32_t MP_STDCALL arrange(std::int32_t top, std::int32_t bottom,
                                            std::int32_t left, std::int32_t right) noexcept = 0;
    // 7 to 11: keep their places; kMpOk without effect.
    virtual std::int32_t MP_STDCALL reserved7() noexcept = 0;
    virtual std::int32_t MP_STDCALL reserved8() noexcept = 0;
    virtual std::int32_t MP_STDCALL reserved9(std::int32_t a, std::int32_t b,
                                              std::int32_t c) noexcept = 0;
    virtual std::int32_t MP_STDCALL reserved10(std::int32_t a, std::int32_t b,
                                               std::int32_t c) noexcept = 0;
    virtual std::int32_t MP_STDCALL reserved11(std::int32_t a, std::int32_t b,
                                               std::int32_t c) noexcept = 0;
};

// Second interface of a windowed display. Its identity operations are the object's own.
// Contract: every operation, and every message of the window, runs on the host's
// user-interface thread; no locking.
class WindowInterface : public UnknownInterface {
public:
    // 4, 5: as DrawingInterface's measure and arrange.
    virtual std::int32_t MP_STDCALL measure(std::int32_t width, std::int32_t height,
                                            MeasureSize* out) noexcept = 0;
    virtual std::int32_t MP_STDCALL arrange(std::int32_t top, std::int32_t bottom,
                                            std::int32_t left, std::int32_t right) noexcept = 0;
    // 6: creates the child window inside `parent` over the area and writes its handle, or
    // null when creation failed, to `*window` (which may be null). The window is the
    // object's; with one already open it writes that one. kMpOk; kMpFail when an
    // exception escaped.
    virtual std::int32_t MP_STDCALL openWindow(HWND parent, HWND* window) noexcept = 0;
    // 7: destroys the window, if any (the host closes it before its last release;
    // destruction closes one left open). kMpOk; kMpFail when an exception escaped.
    virtual std::int32_t MP_STDCALL closeWindow() noexcept = 0;
};

} // namespace vex
