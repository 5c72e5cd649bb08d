#include "analyzer/display/renderer.h"

#include <cmath>
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
    const std::int32_t margin = state.labelsOn ? 20 : 5;
    left = rect.left + margin;
    top = rect.top + margin;
    right = rect.right - 5;
    bottom = rect.bottom - 5;
    half = (bottom - top) / 2;
    if (state.splitChannels) {
        paneA = RECT{left, top, right, top + half};
        paneB = RECT{left, top + half, right, bottom};
    } else {
        paneA = RECT{left, top, right, bottom};
        paneB = paneA;
    }
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

std::int32_t clampToPane(std::int64_t y, const RECT& pane) {
    if (y < pane.top) {
        return pane.top;
    }
    if (y > pane.bottom - 1) {
        return pane.bottom - 1;
    }
    return static_cast<std::int32_t>(y);
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

std::int64_t truncateClamped(double value) {
    constexpr double kLimit = 1e9;
    if (std::isnan(value)) {
        return 0;
    }
    if (value > kLimit) {
        return static_cast<std::int64_t>(kLimit);
    }
    if (value < -kLimit) {
        return -static_cast<std::int64_t>(kLimit);
    }
    return static_cast<std::int64_t>(value);
}

} // namespace vex
