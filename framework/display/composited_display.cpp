#include "framework/display/composited_display.h"

namespace vex {

CompositedDisplay::CompositedDisplay(void* hostPointer)
    : AreaDisplay(hostPointer), hostDrawing(static_cast<HostDrawingInterface*>(
                                    queryHostInterface(hostPointer, kHostDrawingInterfaceId))) {}

std::int32_t CompositedDisplay::queryInterface(const MpGuid* iid, void** out) noexcept {
    return answerAlso(iid, out, kDrawingInterfaceId, static_cast<DrawingInterface*>(this));
}

std::int32_t CompositedDisplay::paint(HDC) noexcept {
    return kMpOk;
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
