#include "host/kit/view/viewer_pane.h"

#include "host/kit/view/group_caption.h"

#include <algorithm>
#include <cmath>

namespace vex::host {

ViewerPane::ViewerPane(std::int32_t mode, double sampleRate)
    : rate(sampleRate), viewerTools(mode, sampleRate), shownMode(mode) {}

ViewerPane::ViewerPane(FactoryInterface& factory, std::int32_t mode, const DisplayLook& look,
                       std::int32_t voices, double sampleRate)
    : ViewerPane(mode, sampleRate) {
    open(factory, look, voices);
}

ViewerPane::~ViewerPane() = default;

void ViewerPane::open(FactoryInterface& factory, const DisplayLook& displayLook,
                      std::int32_t voices) {
    startGdiplus();
    look = displayLook;
    voiceCount = std::clamp(voices, 0, kVoices);
    display = std::make_unique<DisplaySession>(factory, shownMode, look, voiceCount, rate);
    // Why only the lower limit: the display's measure clamps both sides to 15..100, and a
    // picture of at most 100 x 100 pixels cannot show the analysis; the window follows
    // the user's size down to the display's smallest.
    minimum = display->measure(0, 0);
    minimum.width = std::max<std::int32_t>(1, minimum.width);
    minimum.height = std::max<std::int32_t>(1, minimum.height);
    surface.reset();
    resize(PaintSurface::pixelsOf(look.width, scaleFactor),
           PaintSurface::pixelsOf(look.height, scaleFactor));
    highlight(-1);
}

// The display selects the last voice whose gate it was given as non-zero (`voice`, or -1
// when none was just gated on: then the highest gated one, as they were given in order).
void ViewerPane::highlight(std::int32_t voice) {
    if (!look.follow) {
        highlightedVoice = 0;
    } else if (voice >= 0) {
        highlightedVoice = voice;
    } else {
        highlightedVoice = 0;
        for (std::int32_t v = voiceCount - 1; v >= 0; --v) {
            const auto gate = static_cast<std::size_t>(v);
            if (gate >= look.gates.size() || look.gates[gate] != 0.0f) {
                highlightedVoice = v;
                break;
            }
        }
    }
    viewerTools.setHighlighted(highlightedVoice);
}

void ViewerPane::take(std::int32_t voice, const std::uint8_t* bytes, std::int32_t size,
                      std::int64_t sample) {
    if (display == nullptr) {
        return;
    }
    const std::uint8_t* handed = bytes;
    if (bytes != nullptr) {
        handed = viewerTools.take(voice, bytes, size, static_cast<double>(sample) / rate);
        if (handed == nullptr) {
            return; // frozen
        }
    }
    display->deliverFrame(voice, handed, handed != nullptr ? size : 0, sample);
    lastSample = std::max(lastSample, sample);
}

void ViewerPane::advanceTo(std::int64_t sample) {
    lastSample = std::max(lastSample, sample);
}

std::int32_t ViewerPane::setMode(std::int32_t mode) {
    if (display == nullptr || (mode == shownMode && display->modeShown() >= 0)) {
        return shownMode;
    }
    display->setMode(mode);
    const std::int32_t answered = display->modeShown();
    shownMode = answered >= 0 ? answered : mode;
    viewerTools.setView(shownMode);
    changed = true;
    return shownMode;
}

void ViewerPane::setGate(std::int32_t voice, float gate) {
    if (display == nullptr || voice < 0 || voice >= kVoices) {
        return;
    }
    display->setGate(voice, gate);
    // Voices past the look's gates are gated 1, as the display was given them.
    if (look.gates.size() <= static_cast<std::size_t>(voice)) {
        look.gates.resize(static_cast<std::size_t>(voice) + 1, 1.0f);
    }
    look.gates[static_cast<std::size_t>(voice)] = gate;
    highlight(gate != 0.0f ? voice : (voice == highlightedVoice ? -1 : highlightedVoice));
    changed = true;
}

void ViewerPane::setSplit(bool split) {
    if (display != nullptr) {
        display->setSplit(split);
    }
    look.split = split;
    changed = true;
}

void ViewerPane::setFollow(bool follow) {
    if (display != nullptr) {
        display->setFollow(follow);
    }
    look.follow = follow;
    highlight(-1);
    changed = true;
}

void ViewerPane::setSampleRate(double sampleRate) {
    if (!(sampleRate > 0.0) || !std::isfinite(sampleRate)) {
        return;
    }
    rate = sampleRate;
    viewerTools.setSampleRate(sampleRate);
}

void ViewerPane::setScale(double factor) {
    // Why 1 and not the nearest bound: a factor outside the range is not a host's screen.
    const double scale = platform::usableScale(factor);
    if (scale != scaleFactor) {
        scaleFactor = scale;
        arrange();
    }
}

MeasureSize ViewerPane::smallest() const {
    return {PaintSurface::pixelsOf(minimum.width, scaleFactor),
            PaintSurface::pixelsOf(minimum.height, scaleFactor)};
}

std::int32_t ViewerPane::unitOf(std::int32_t pixel) const {
    if (!PaintSurface::kScales || scaleFactor == 1.0) {
        return pixel;
    }
    return static_cast<std::int32_t>(std::floor(pixel / scaleFactor));
}

void ViewerPane::resize(std::int32_t width, std::int32_t height) {
    const MeasureSize least = smallest();
    const std::int32_t newWidth = std::max(width, least.width);
    const std::int32_t newHeight = std::max(height, least.height);
    if (newWidth != windowWidth || newHeight != windowHeight || surface == nullptr) {
        windowWidth = newWidth;
        windowHeight = newHeight;
        arrange();
    }
}

// Why the units rounded up: the display's picture then covers the whole window, its last
// unit cut at the edge, where rounding down would leave a strip of up to 3 pixels bare.
void ViewerPane::arrange() {
    look.width = std::max(PaintSurface::unitsOf(windowWidth, scaleFactor), minimum.width);
    look.height = std::max(PaintSurface::unitsOf(windowHeight, scaleFactor), minimum.height);
    if (display == nullptr) {
        return;
    }
    display->resize(look.width, look.height);
    surface = std::make_unique<PaintSurface>(windowWidth, windowHeight, scaleFactor);
    changed = true;
}

void ViewerPane::pointerAt(std::int32_t x, std::int32_t y) {
    viewerTools.pointerAt(unitOf(x), unitOf(y));
}

void ViewerPane::pointerLeft() {
    viewerTools.pointerLeft();
}

void ViewerPane::setCaption(std::vector<std::string> lines) {
    if (lines != caption) {
        caption = std::move(lines);
        changed = true;
    }
}

PlotLayout ViewerPane::layout() const {
    return plotLayout(look.width, look.height, !look.label.empty(), look.split);
}

bool ViewerPane::dirty() const {
    // Why not the display's asking while the spectrogram shows: it is not painted then.
    return changed || viewerTools.dirty() ||
           (display != nullptr && !viewerTools.spectrogramShown() && display->invalidated());
}

const PaintSurface& ViewerPane::paint() {
    changed = false;
    if (!viewerTools.spectrogramShown()) {
        display->paint(*surface, lastSample);
    }
    viewerTools.draw(*surface, layout(), look.split, clock());
    group::drawCaption(*surface, caption);
    return *surface;
}

} // namespace vex::host
