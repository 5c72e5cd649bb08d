#include "analyzer/display/renderer.h"

#include <cstdio>
#include <cstring>

namespace vex {

bool isActiveVoice(const RenderState& state, std::int32_t voice) {
    if (voice < 0 || voice >= kVoiceCount) {
        return false;
    }
    const float gate = state.gates[static_cast<std::size_t>(voice)];
    if (gate != 0.0f) {
        return true;
    }
    return state.frameTimes != nullptr && state.frameTimes[voice] > state.recentSince;
}

PlotLayout::PlotLayout(RECT rect, const RenderState& state) {
    const plot::Layout plot = plot::layout(rect.left, rect.top, rect.right, rect.bottom,
                                           state.labelsOn, state.splitChannels);
    left = plot.left;
    top = plot.top;
    right = plot.right;
    bottom = plot.bottom;
    half = plot.half;
    paneA = RECT{plot.paneA.left, plot.paneA.top, plot.paneA.right, plot.paneA.bottom};
    paneB = RECT{plot.paneB.left, plot.paneB.top, plot.paneB.right, plot.paneB.bottom};
}

const std::uint8_t* frameOfSize(const RenderState& state, std::int32_t voice, std::int32_t size) {
    if (state.frames == nullptr || state.frames->voiceSize(voice) != size) {
        return nullptr;
    }
    return static_cast<const std::uint8_t*>(state.frames->voicePointer(voice));
}

float frameFloat(const std::uint8_t* frame, std::size_t offset) {
    float value;
    std::memcpy(&value, frame + offset, sizeof(value));
    return value;
}

std::int32_t formatLabel(float value, bool thousands, MpChar (&text)[16]) {
    char narrow[16];
    const int written = std::snprintf(narrow, sizeof(narrow), thousands ? "%2.0fk" : "%2.0f",
                                      static_cast<double>(value));
    std::int32_t count = 0;
    for (; count < written && count < 15; ++count) {
        text[count] = static_cast<MpChar>(narrow[count]);
    }
    text[count] = 0;
    return count;
}

} // namespace vex
