// Frames as the audio side sends them, built for the display tests and delivered to a
// display object as a host delivers them.
#pragma once

#include "analyzer/analyzer_pins.h"
#include "analyzer/audio/analyzer_messages.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace vex::test {

// A frame of `points` records with every value of signal A set to `a` and of B to `b`.
inline std::vector<std::uint8_t> frameOf(std::int32_t points, bool hasA, float a, bool hasB,
                                         float b) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kPayloadHeaderSize + 8 * points));
    bytes[0] = hasA ? 1 : 0;
    bytes[1] = hasB ? 1 : 0;
    for (std::int32_t k = 0; k < points; ++k) {
        std::memcpy(&bytes[static_cast<std::size_t>(4 + 8 * k)], &a, 4);
        std::memcpy(&bytes[static_cast<std::size_t>(8 + 8 * k)], &b, 4);
    }
    return bytes;
}

// The records of a frame of view `mode` (0 scope, 1 linear, 2 log).
inline std::int32_t pointsOfView(std::int32_t mode) {
    return mode == 0 ? kScopePoints : (mode == 1 ? kLinearBins : kLogBands);
}

// A frame of view `mode` with both signals present; `values(k, a, b)` sets record k's values,
// called in record order.
template <typename Values> std::vector<std::uint8_t> frameFrom(std::int32_t mode, Values values) {
    const std::int32_t points = pointsOfView(mode);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kPayloadHeaderSize + 8 * points));
    bytes[0] = 1;
    bytes[1] = 1;
    for (std::int32_t k = 0; k < points; ++k) {
        float a = 0.0f;
        float b = 0.0f;
        values(k, a, b);
        std::memcpy(&bytes[static_cast<std::size_t>(4 + 8 * k)], &a, 4);
        std::memcpy(&bytes[static_cast<std::size_t>(8 + 8 * k)], &b, 4);
    }
    return bytes;
}

// Delivers `frame` on the frames pin for `voice` and gates the voice on (1.0).
template <typename Display>
void deliverGated(Display* display, std::int32_t voice, const std::vector<std::uint8_t>& frame) {
    display->setPin(kDisplayFramesPin, voice, static_cast<std::int32_t>(frame.size()),
                    frame.data());
    display->notifyPin(kDisplayFramesPin, voice);
    const float gate = 1.0f;
    display->setPin(kDisplayGatePin, voice, 4, &gate);
    display->notifyPin(kDisplayGatePin, voice);
}

} // namespace vex::test
