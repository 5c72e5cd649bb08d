// The analyzer's pins by id, both objects: what a host connects and sets. Header-only and
// free of the module's classes, so a host includes it without linking any of them.
#pragma once

#include <cstdint>

namespace vex {

// The audio object's pins (side 0), registered in this order.
enum AnalyzerAudioPin : std::int32_t {
    kAudioFramePin = 0,    // output, byte block: the analysis frame sent to the display
    kAudioModePin = 1,     // input, int: 0 scope, 1 linear spectrum, 2 log spectrum
    kAudioHostFlagPin = 2, // output, bool: mirror of the host flag read at open
    kAudioEnablePin = 3,   // input, float: 0.0 stops the analysis while the host flag is set
    kAudioSignalAPin = 4,  // input, audio: signal A
    kAudioSignalBPin = 5,  // input, audio: signal B
    kAudioRatePin = 6,     // input, int: update-rate choice 0..7 = 5, 10, ..., 40 per second
};
inline constexpr std::int32_t kAnalyzerAudioPinCount = 7;

// The display object's pins (side 1), bound in this order.
enum AnalyzerDisplayPin : std::int32_t {
    kDisplayFramesPin = 0,     // per-voice byte block: the audio side's frames
    kDisplayModeOutPin = 1,    // int, written back: the mode in use
    kDisplayFollowPin = 2,     // bool: follow the last gated voice
    kDisplayGatePin = 3,       // per-voice float: non-zero while a voice sounds
    kDisplayModePin = 4,       // int: requested mode
    kDisplayModeItemsPin = 5,  // text, written back: the list of mode names
    kDisplayBackgroundPin = 6, // colour text
    kDisplayTrace1Pin = 7,     // colour text
    kDisplayTrace2Pin = 8,     // colour text
    kDisplayLabelPin = 9,      // colour text; labels drawn while it holds a colour
    kDisplayGridPin = 10,      // colour text; grid drawn while it holds a colour
    kDisplaySplitPin = 11,     // bool: signal A above, signal B below
    kDisplayShadePin = 12,     // float: other voices' colours, < 0 darker, > 0 lighter
};
inline constexpr std::int32_t kAnalyzerDisplayPinCount = 13;

} // namespace vex
