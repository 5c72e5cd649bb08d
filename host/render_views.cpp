#include "host/render_views.h"

#include "host/png_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vex::host {

namespace {

Picture grab(const PaintSurface& surface) {
    return Picture{surface.width(), surface.height(), surface.pixels()};
}

} // namespace

std::int32_t framesPerSecond(std::int32_t rate) {
    return 5 * (std::clamp(rate, 0, 7) + 1);
}

Picture renderView(Session& session, std::int32_t mode, const DisplayLook& look, double atSeconds,
                   double sessionSeconds, Progress& progress) {
    DisplaySession display(session.factory(), mode, look, session.voiceCount(),
                           session.sampleRate());
    auto engine = session.makeEngine(mode, sessionSeconds, [&](const SentFrame& frame) {
        display.deliverFrame(frame.voice, frame.bytes, frame.size, frame.sample);
    });
    session.run(*engine, session.sampleCount(atSeconds), progress);
    PaintSurface surface(look.width, look.height);
    display.paint(surface, engine->position());
    return grab(surface);
}

Picture composeSheet(const std::vector<Picture>& views, std::uint32_t background,
                     std::int32_t gap) {
    Picture sheet;
    sheet.width = gap;
    for (const Picture& view : views) {
        sheet.width += view.width + gap;
        sheet.height = std::max(sheet.height, view.height + 2 * gap);
    }
    sheet.pixels.assign(static_cast<std::size_t>(sheet.width) * sheet.height, background);
    std::int32_t left = gap;
    for (const Picture& view : views) {
        for (std::int32_t y = 0; y < view.height; ++y) {
            for (std::int32_t x = 0; x < view.width; ++x) {
                // Source over the sheet, premultiplied.
                const std::uint32_t s = view.pixels[static_cast<std::size_t>(y) * view.width + x];
                std::uint32_t& d =
                    sheet.pixels[static_cast<std::size_t>(y + gap) * sheet.width + left + x];
                const std::uint32_t keep = 255u - (s >> 24);
                std::uint32_t out = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    const std::uint32_t channel =
                        ((s >> shift) & 0xFFu) + (((d >> shift) & 0xFFu) * keep + 127u) / 255u;
                    out |= std::min(channel, 255u) << shift;
                }
                d = out;
            }
        }
        left += view.width + gap;
    }
    return sheet;
}

std::int32_t animateView(Session& session, std::int32_t mode, const DisplayLook& look,
                         double seconds, OutputBatch& batch, Progress& progress) {
    const std::int32_t fps = framesPerSecond(session.options().rate);
    const auto ticks = static_cast<std::int64_t>(std::floor(seconds * fps + 1e-9));
    DisplaySession display(session.factory(), mode, look, session.voiceCount(),
                           session.sampleRate());
    auto engine = session.makeEngine(mode, seconds, [&](const SentFrame& frame) {
        display.deliverFrame(frame.voice, frame.bytes, frame.size, frame.sample);
    });
    const std::int64_t block = engine->settings().blockSize;
    PaintSurface surface(look.width, look.height);
    for (std::int64_t tick = 1; tick <= ticks; ++tick) {
        // Ticks fall on block boundaries, so every block has the chosen size.
        const std::int64_t due = std::llround(static_cast<double>(tick) * session.sampleRate() /
                                              static_cast<double>(fps));
        engine->runTo((due + block - 1) / block * block);
        display.paint(surface, engine->position());
        char name[32];
        std::snprintf(name, sizeof(name), "frame-%05lld.png", static_cast<long long>(tick));
        batch.write(name, encodePng(surface.pixels(), surface.width(), surface.height()));
        progress.update(static_cast<double>(tick) / static_cast<double>(ticks));
    }
    progress.finish();
    return fps;
}

} // namespace vex::host
