// Settings of the plug-in that its UI sets, its DSP keeps and the host saves with a session:
// one table, shared by the DSP library, the UI library and the tests' independent copy of it.
// A setting travels as the value of a patch:Set message (UI to DSP on the control port,
// DSP to every UI on the notify port) and is saved under its URI.
#pragma once

#include <cstdint>

namespace vex::lv2 {

// How a value is typed in messages and in the saved state.
enum class SettingKind : std::uint8_t {
    kInt,    // atom:Int, 4 bytes
    kFloat,  // atom:Float, 4 bytes, finite
    kString, // atom:String, UTF-8 up to the capacity, the terminator not counted
    kBytes,  // atom:Chunk, up to the capacity
};

struct SettingSpec {
    const char* uri;
    SettingKind kind;
    std::uint32_t capacity; // bytes of the largest value
};

enum Setting : std::uint32_t {
    kSettingLabel,     // the instance's name among the members of its group
    kSettingPeakHold,  // the window's peak hold: 0 off, 1 on
    kSettingReadout,   // the window's cursor readout: 0 off, 1 on
    kSettingTilt,      // 0 off, 1 3 dB per octave, 2 4.5 dB per octave
    kSettingSmoothing, // 0 off, 1 fast, 2 slow
    kSettingReference, // a reference file's bytes (host/kit/view/reference_trace.h); none
                       // when empty
    kSettingCount,
};

inline constexpr SettingSpec kSettings[kSettingCount] = {
    {"urn:vex:analyzer#label", SettingKind::kString, 64},
    {"urn:vex:analyzer#peakHold", SettingKind::kInt, 4},
    {"urn:vex:analyzer#readout", SettingKind::kInt, 4},
    {"urn:vex:analyzer#tilt", SettingKind::kInt, 4},
    {"urn:vex:analyzer#smoothing", SettingKind::kInt, 4},
    // The largest reference: a log spectrum, 24 header bytes and 528 points of 8.
    {"urn:vex:analyzer#reference", SettingKind::kBytes, 4248},
};

// The largest value of any setting, for buffers that hold any of them.
constexpr std::uint32_t largestSettingValue() {
    std::uint32_t largest = 0;
    for (const SettingSpec& spec : kSettings) {
        largest = spec.capacity > largest ? spec.capacity : largest;
    }
    return largest;
}

// Whether `size` bytes are a value of `kind` that holds at most `capacity` bytes.
constexpr bool settingSizeFits(SettingKind kind, std::uint32_t capacity, std::uint32_t size) {
    return kind == SettingKind::kInt || kind == SettingKind::kFloat ? size == 4 : size <= capacity;
}

} // namespace vex::lv2
