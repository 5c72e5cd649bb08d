// A display object without a window of its own: the host gives it an area, lends it a
// device context to paint into and takes its redraw requests.
#pragma once

#include "framework/display/display_module_base.h"
#include "platform/win_types.h"

namespace vex {

// Contract: every operation runs on the host's user-interface thread. One reference count
// serves both interfaces. The picture is drawn only inside paint, over the last `area`.
class CompositedDisplay : public AreaDisplay<DrawingInterface> {
public:
    // DrawingInterface first, then the base's identifiers.
    std::int32_t MP_STDCALL queryInterface(const MpGuid* iid, void** out) noexcept override;

    // Draws the whole area into `dc`, whose origin is the area's top-left corner. The
    // default draws nothing.
    std::int32_t MP_STDCALL paint(HDC dc) noexcept override;
    // Why the using-declarations: both interfaces have operations of these names with other
    // arguments; the module interface's stay callable beside the drawing interface's.
    using DisplayModuleBase::reserved7;
    using DisplayModuleBase::reserved9;
    std::int32_t MP_STDCALL reserved7() noexcept override { return kMpOk; }
    std::int32_t MP_STDCALL reserved8() noexcept override { return kMpOk; }
    std::int32_t MP_STDCALL reserved9(std::int32_t, std::int32_t, std::int32_t) noexcept override {
        return kMpOk;
    }
    std::int32_t MP_STDCALL reserved10(std::int32_t, std::int32_t, std::int32_t) noexcept override {
        return kMpOk;
    }
    std::int32_t MP_STDCALL reserved11(std::int32_t, std::int32_t, std::int32_t) noexcept override {
        return kMpOk;
    }

    // Asks the host for a later paint covering `rect` (Windows order: left, top, right,
    // bottom, relative to the area's origin), or the whole area when null. `erase` is
    // accepted for symmetry with the windowed display and not passed on.
    void invalidateRect(const RECT* rect = nullptr, bool erase = false);
    void setCapture();
    void releaseCapture();
    // True while the host says this display holds the pointer capture.
    bool getCapture();

    HostDrawingInterface* getHostDrawing() const { return hostDrawing; }

protected:
    // Binds HostDisplayInterface and HostDrawingInterface; raises the "host Interfaces not
    // supported" error when either is missing.
    explicit CompositedDisplay(void* hostPointer);
    ~CompositedDisplay() override = default;

private:
    HostDrawingInterface* hostDrawing;
};

} // namespace vex
