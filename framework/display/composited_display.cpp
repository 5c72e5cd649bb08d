#include "framework/display/composited_display.h"

namespace vex {

CompositedDisplay::CompositedDisplay(void* hostPointer)
    : DisplayModuleBase(hostPointer),
      hostDrawing(static_cast<HostDrawingInterface*>(
          queryHostInterface(hostPointer, kHostDrawingInterfaceId))) {}

std::int32_t CompositedDisplay::queryInterface(const MpGuid* iid, void** out) noexcept {
    return abiGuard(kMpFail, [&] {
        if (out != nullptr && iid != nullptr && sameGuid(*iid, kDrawingInterfaceId)) {
            *out = static_cast<DrawingInterface*>(this);
            addRef();
            return std::int32_t{kMpOk};
        }
        return DisplayModuleBase::queryInterface(iid, out);
    });
}

std::int32_t CompositedDisplay::paint(HDC) noexcept {
    return kMpOk;
}

std::int32_t CompositedDisplay::measure(std::int32_t width, std::int32_t height,
                                        MeasureSize* out) noexcept {
    return abiGuard(kMpFail, [&] { return clampMeasure(width, height, out); });
}

std::int32_t CompositedDisplay::arrange(std::int32_t top, std::int32_t bottom, std::int32_t left,
                                        std::int32_t right) noexcept {
    return abiGuard(kMpFail, [&] {
        area = DisplayRect{top, bottom, left, right};
        return kMpOk;
    });
}

void CompositedDisplay::invalidateRect(const RECT* rect, bool) {
    if (rect == nullptr) {
        hostDrawing->invalidateRect(nullptr);
        return;
    }
    const std::int32_t corners[4] = {rect->left, rect->top, rect->right, rect->bottom};
    hostDrawing->invalidateRect(corners);
}

void CompositedDisplay::setCapture() {
    hostDrawing->setCapture();
}

void CompositedDisplay::releaseCapture() {
    hostDrawing->releaseCapture();
}

bool CompositedDisplay::getCapture() {
    std::int32_t captured = 0;
    hostDrawing->getCapture(&captured);
    return captured != 0;
}

} // namespace vex
