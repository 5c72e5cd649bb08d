#include "host/vexhost/live/live_view.h"

#include <algorithm>

namespace vex::host {

LiveView::LiveView(FactoryInterface& factory, std::int32_t mode, const DisplayLook& displayLook,
                   std::int32_t voices, double rate)
    : look(displayLook), sampleRate(rate), display(factory, mode, displayLook, voices, rate),
      viewerTools(mode, rate), shownMode(mode), voiceCount(voices) {
    startGdiplus();
    // Why only the lower limit: the display's measure clamps both sides to 15..100, and a
    // picture of at most 100 x 100 pixels cannot show the analysis; the window follows
    // the user's size down to the display's smallest.
    minimum = display.measure(0, 0);
    minimum.width = std::max<std::int32_t>(1, minimum.width);
    minimum.height = std::max<std::int32_t>(1, minimum.height);
    resize(look.width, look.height);
    viewerTools.setHighlighted(highlightedVoice());
}

LiveView::~LiveView() = default;

std::int32_t LiveView::highlightedVoice() const {
    if (!look.follow) {
        return 0;
    }
    // The display selects the last voice whose gate it was given as non-zero; voices past
    // the look's gates are gated 1.
    for (std::int32_t v = voiceCount - 1; v >= 0; --v) {
        const auto gate = static_cast<std::size_t>(v);
        if (gate >= look.gates.size() || look.gates[gate] != 0.0f) {
            return v;
        }
    }
    return 0;
}

void LiveView::setGate(std::int32_t voice, float gate) {
    display.setGate(voice, gate);
    if (voice >= 0 && voice < voiceCount) {
        // Voices past the look's gates are gated 1, as the display was given them.
        if (look.gates.size() <= static_cast<std::size_t>(voice)) {
            look.gates.resize(static_cast<std::size_t>(voice) + 1, 1.0f);
        }
        look.gates[static_cast<std::size_t>(voice)] = gate;
        viewerTools.setHighlighted(highlightedVoice());
    }
    changed = true;
}

void LiveView::take(const QueuedFrame& frame) {
    const double seconds = static_cast<double>(frame.sample) / sampleRate;
    const std::uint8_t* bytes = viewerTools.take(frame.voice, frame.bytes, frame.size, seconds);
    if (bytes == nullptr) {
        return;
    }
    display.deliverFrame(frame.voice, bytes, frame.size, frame.sample);
    lastSample = std::max(lastSample, frame.sample);
    lastSeconds = static_cast<double>(lastSample) / sampleRate;
}

void LiveView::setMode(std::int32_t mode) {
    if (mode == shownMode) {
        return;
    }
    shownMode = mode;
    display.setMode(mode);
    viewerTools.setView(mode);
    changed = true;
}

void LiveView::setSplit(bool split) {
    display.setSplit(split);
    look.split = split;
    changed = true;
}

void LiveView::setFollow(bool follow) {
    display.setFollow(follow);
    look.follow = follow;
    viewerTools.setHighlighted(highlightedVoice());
    changed = true;
}

void LiveView::resize(std::int32_t width, std::int32_t height) {
    look.width = std::max(width, minimum.width);
    look.height = std::max(height, minimum.height);
    if (surface != nullptr && surface->width() == look.width && surface->height() == look.height) {
        return;
    }
    display.resize(look.width, look.height);
    surface = std::make_unique<PaintSurface>(look.width, look.height);
    changed = true;
}

bool LiveView::dirty() const {
    return changed || viewerTools.dirty() || display.invalidated();
}

PlotLayout LiveView::layout() const {
    return plotLayout(look.width, look.height, !look.label.empty(), look.split);
}

const PaintSurface& LiveView::paint() {
    display.paint(*surface, lastSample);
    viewerTools.draw(*surface, layout(), look.split, lastSeconds);
    changed = false;
    return *surface;
}

std::string LiveView::cursorText() const {
    return viewerTools.cursorText(layout(), look.split);
}

} // namespace vex::host
