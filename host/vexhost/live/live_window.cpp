// The live window on SDL: opening it, showing the view's picture on its surface, reading
// its pixels back for screenshots, and SDL's start for the process.
#include "host/vexhost/live/live_window.h"

#include "host/kit/host_error.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace vex::host {

void startSdl(bool audio) {
    static const bool video = [] {
        // Why: the picture is painted in memory already; SDL's own framebuffer of the
        // window takes it with one copy, where an accelerated one would upload it through
        // a renderer (a software OpenGL one on machines without a GPU, or headless).
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        return SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
    }();
    if (!video) {
        throw HostError(std::string("cannot start SDL's video: ") + SDL_GetError());
    }
    if (audio && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        throw HostError(std::string("cannot start SDL's audio: ") + SDL_GetError());
    }
}

LiveWindow::LiveWindow(std::int32_t width, std::int32_t height, const MeasureSize& smallest) {
    window = SDL_CreateWindow("vexhost live", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                              width, height, SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (window == nullptr) {
        throw HostError(std::string("cannot open a window: ") + SDL_GetError());
    }
    SDL_SetWindowMinimumSize(window, smallest.width, smallest.height);
}

LiveWindow::~LiveWindow() {
    SDL_DestroyWindow(window);
}

// Why no conversion: the display paints its whole area opaque, so the premultiplied pixels
// are the colours; SDL copies them into the window's format.
void LiveWindow::present(const PaintSurface& surface) {
    SDL_Surface* target = SDL_GetWindowSurface(window);
    if (target == nullptr) {
        return;
    }
    if (target->w != surface.width() || target->h != surface.height()) {
        SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
    }
    const Uint32 format = target->format->format;
    if (format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888) {
        // The window keeps 0xXXRRGGBB words, as the picture does: rows copied as they are.
        const std::int32_t width = std::min(target->w, surface.width());
        const std::int32_t height = std::min(target->h, surface.height());
        if (SDL_LockSurface(target) == 0) {
            for (std::int32_t y = 0; y < height; ++y) {
                std::memcpy(static_cast<std::uint8_t*>(target->pixels) +
                                static_cast<std::ptrdiff_t>(y) * target->pitch,
                            surface.row(y), static_cast<std::size_t>(width) * 4);
            }
            SDL_UnlockSurface(target);
        }
    } else {
        SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<std::uint32_t*>(surface.row(0)), surface.width(), surface.height(), 32,
            surface.rowBytes(), SDL_PIXELFORMAT_ARGB8888);
        if (source == nullptr) {
            return;
        }
        SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
        SDL_BlitSurface(source, nullptr, target, nullptr);
        SDL_FreeSurface(source);
    }
    SDL_UpdateWindowSurface(window);
}

Picture LiveWindow::read() {
    Picture picture;
    SDL_Surface* target = SDL_GetWindowSurface(window);
    if (target == nullptr) {
        throw HostError(std::string("cannot read the window: ") + SDL_GetError());
    }
    SDL_Surface* copy = SDL_ConvertSurfaceFormat(target, SDL_PIXELFORMAT_ARGB8888, 0);
    if (copy == nullptr) {
        throw HostError(std::string("cannot read the window: ") + SDL_GetError());
    }
    picture.width = copy->w;
    picture.height = copy->h;
    picture.pixels.resize(static_cast<std::size_t>(copy->w) * copy->h);
    SDL_LockSurface(copy);
    for (int y = 0; y < copy->h; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(
            static_cast<const std::uint8_t*>(copy->pixels) + y * copy->pitch);
        for (int x = 0; x < copy->w; ++x) {
            picture.pixels[static_cast<std::size_t>(y) * copy->w + x] = row[x] | 0xFF000000u;
        }
    }
    SDL_UnlockSurface(copy);
    SDL_FreeSurface(copy);
    return picture;
}

int LiveWindow::refreshRate() const {
    SDL_DisplayMode mode{};
    const int display = SDL_GetWindowDisplayIndex(window);
    if (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0) {
        return mode.refresh_rate;
    }
    return 60;
}

MeasureSize LiveWindow::pixelSize() const {
    int width = 0;
    int height = 0;
#if SDL_VERSION_ATLEAST(2, 26, 0)
    SDL_GetWindowSizeInPixels(window, &width, &height);
#else
    SDL_GetWindowSize(window, &width, &height);
#endif
    return {width, height};
}

double LiveWindow::pixelRatio() const {
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window, &width, &height);
    const MeasureSize pixels = pixelSize();
    return width > 0 && pixels.width > width ? static_cast<double>(pixels.width) / width : 1.0;
}

void LiveWindow::sendPointerTo(std::int32_t x, std::int32_t y) {
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.windowID = SDL_GetWindowID(window);
    motion.motion.x = x;
    motion.motion.y = y;
    SDL_PushEvent(&motion);
}

} // namespace vex::host
