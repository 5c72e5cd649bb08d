// Settings of the plug-in that its UI sets, its DSP keeps and the host saves with a session:
// one table, shared by the DSP library, the UI library and the tests, which check the
// bundle's description against it. A setting travels as the value of a patch:Set message
// (UI or host to DSP on the control port, DSP to the UI and the host on the notify port)
// and is saved under its URI.
#pragma once

#include <cstdint>

namespace vex::lv2 {

// How a value is typed in messages and in the saved state.
enum class SettingKind : std::uint8_t {
    kInt,    // atom:Int, 4 bytes
    kFloat,  // atom:Float, 4 bytes, finite
    kString, // atom:String, UTF-8 up to the capacity, the terminator not counted
    kBytes,  // atom:Chunk, up to the capacity
    // A whole number 0..most, kept as 4 bytes of int32. Sent as atom:Float (the type hosts
    // read back into their own controls); taken as atom:Float (rounded into range) or
    // atom:Int (in range; sessions saved before it was a float hold these).
    kChoice,
};

struct SettingSpec {
    const char* uri;
    SettingKind kind;
    std::uint32_t capacity; // bytes of the largest value
    std::int32_t most = 0;  // a choice's largest value
    // Declared to hosts as a parameter (patch:writable). The others live in the saved state
    // and pass between the DSP and the plug-in's own UI only.
    bool declared = false;
};

enum Setting : std::uint32_t {
    kSettingLabel,     // the instance's name among the members of its group
    kSettingPeakHold,  // the window's peak hold: 0 off, 1 on
    kSettingReadout,   // the window's cursor readout: 0 off, 1 on
    kSettingTilt,      // 0 off, 1 3 dB per octave, 2 4.5 dB per octave
    kSettingSmoothing, // 0 off, 1 fast, 2 slow
    kSettingReference, // a reference file's bytes (host/kit/view/reference_trace.h); none
                       // when empty
    // The window's difference over the spectra: 0 off, 1 on.
    kSettingDifference,
    // In a group, the label of the member the difference is against; none when empty (an
    // unlabelled member is not kept).
    kSettingDifferenceReference,
    kSettingCount,
};

inline constexpr SettingSpec kSettings[kSettingCount] = {
    {"urn:vex:analyzer#label", SettingKind::kString, 64, 0, true},
    {"urn:vex:analyzer#peakHold", SettingKind::kChoice, 4, 1, true},
    {"urn:vex:analyzer#readout", SettingKind::kChoice, 4, 1, true},
    {"urn:vex:analyzer#tilt", SettingKind::kChoice, 4, 2, true},
    {"urn:vex:analyzer#smoothing", SettingKind::kChoice, 4, 2, true},
    // The largest reference: a log spectrum, 24 header bytes and 528 points of 8.
    {"urn:vex:analyzer#reference", SettingKind::kBytes, 4248, 0, false},
    {"urn:vex:analyzer#difference", SettingKind::kChoice, 4, 1, true},
    // A member's label: at most 63 bytes (host/kit/group/group_layout.h).
    {"urn:vex:analyzer#differenceReference", SettingKind::kString, 64, 0, false},
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
    return kind == SettingKind::kString || kind == SettingKind::kBytes ? size <= capacity
                                                                       : size == 4;
}

} // namespace vex::lv2
