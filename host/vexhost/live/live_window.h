// The live window: an SDL window whose surface shows the view's picture, and SDL's start
// for the process. SDL itself stays out of this header.
#pragma once

#include "host/kit/view/display_session.h"
#include "host/kit/view/paint_surface.h"
#include "host/vexhost/output/render_views.h"

#include <cstdint>

struct SDL_Window;

namespace vex::host {

// Starts SDL for the process's life on first use: video and events, and audio when
// `audio`. Main thread. Throws HostError.
void startSdl(bool audio);

// A resizable window of `width` x `height` pixels that shrinks no further than `smallest`.
// Main thread only, after startSdl(). Throws HostError when it cannot open.
class LiveWindow {
public:
    LiveWindow(std::int32_t width, std::int32_t height, const MeasureSize& smallest);
    ~LiveWindow();
    LiveWindow(const LiveWindow&) = delete;
    LiveWindow& operator=(const LiveWindow&) = delete;

    // Shows the picture, top left; the rest of a larger window is black.
    void present(const PaintSurface& surface);
    // The window's pixels as 0xAARRGGBB, opaque. Throws HostError.
    Picture read();
    // The screen's refresh rate in hertz (60 when the driver does not say).
    int refreshRate() const;
    // The window's size in pixels, and pixels per unit of SDL's window coordinates (its
    // sizes and the pointer's): more than 1 on a high-resolution screen where the window
    // system counts in points.
    MeasureSize pixelSize() const;
    double pixelRatio() const;
    // Queues a pointer motion to (x, y) of this window, as if the user moved it there.
    void sendPointerTo(std::int32_t x, std::int32_t y);

private:
    SDL_Window* window = nullptr;
};

} // namespace vex::host
