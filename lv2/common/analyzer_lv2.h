// The plug-in's identity as the bundle describes it: the URIs and the port table that the
// DSP library, the UI library and the tests share (the tests check the bundle's description
// against the table).
#pragma once

#include <cstdint>

namespace vex::lv2 {

inline constexpr char kPluginUri[] = "urn:vex:analyzer";
inline constexpr char kUiUri[] = "urn:vex:analyzer#ui";
// Object type of one frame on the notify port (lv2/common/frame_event.h): the frame's time
// in samples since the instance was activated (atom:Long), the sample rate (atom:Double)
// the frame's bytes (atom:Chunk; any of the frame formats, or none) and the analysis they
// come from (atom:Int, kFrameAnalysis*).
inline constexpr char kFrameTypeUri[] = "urn:vex:analyzer#Frame";
inline constexpr char kFrameTimeUri[] = "urn:vex:analyzer#time";
inline constexpr char kFrameRateUri[] = "urn:vex:analyzer#sampleRate";
inline constexpr char kFrameBytesUri[] = "urn:vex:analyzer#bytes";
inline constexpr char kFrameAnalysisUri[] = "urn:vex:analyzer#analysis";
// A frame's #analysis: the module's own (chosen), the fine one, or the module's because the
// instance cannot run the fine one (the host gives no worker, or a rate outside its range).
inline constexpr std::int32_t kFrameAnalysisModule = 0;
inline constexpr std::int32_t kFrameAnalysisFine = 1;
inline constexpr std::int32_t kFrameAnalysisModuleOnly = 2;
// Object types the UI sends on the control port when it opens and when it closes.
inline constexpr char kUiOpenUri[] = "urn:vex:analyzer#UiOpen";
inline constexpr char kUiClosedUri[] = "urn:vex:analyzer#UiClosed";

// The module file inside the bundle, beside the DSP and UI libraries.
inline constexpr char kModuleFileName[] = "VEX_ANALYZER.sem";

enum Port : std::uint32_t {
    kPortSignalA = 0,        // audio in
    kPortSignalB = 1,        // audio in
    kPortOutA = 2,           // audio out: signal A unchanged
    kPortOutB = 3,           // audio out: signal B unchanged
    kPortControl = 4,        // atom in: the UI's open and closed messages
    kPortNotify = 5,         // atom out: one event per frame
    kPortMode = 6,           // control in: 0 scope, 1 linear spectrum, 2 log spectrum
    kPortRate = 7,           // control in: update-rate choice 0..7 (5 to 40 frames per second)
    kPortEnable = 8,         // control in: 0 stops the analysis
    kPortAlways = 9,         // control in: non-zero sends frames with no UI open
    kPortFramesSent = 10,    // control out: frames the audio object sent since activation
    kPortFramesDropped = 11, // control out: frames left out because the notify buffer was full
    kPortPeakA = 12,         // control out: signal A's peak magnitude over the last frame
    kPortPeakB = 13,         // control out: signal B's peak magnitude over the last frame
    kPortGroup = 14,         // control in: 0 alone, 1..16 member of that group
    kPortMembers = 15,       // control out: members in the group (0 alone)
    kPortSlot = 16,          // control out: this member's slot in the group, or -1
    kPortAnalysis = 17,      // control in: 0 the module's analysis, 1 the fine one
    kPortCount = 18,
};

enum class PortKind : std::uint8_t { kAudio, kAtom, kControl };

struct PortSpec {
    Port index;
    const char* symbol;
    PortKind kind;
    bool output;
};

// The ports in index order, as the bundle's description states them.
inline constexpr PortSpec kPorts[kPortCount] = {
    {kPortSignalA, "signal_a", PortKind::kAudio, false},
    {kPortSignalB, "signal_b", PortKind::kAudio, false},
    {kPortOutA, "out_a", PortKind::kAudio, true},
    {kPortOutB, "out_b", PortKind::kAudio, true},
    {kPortControl, "control", PortKind::kAtom, false},
    {kPortNotify, "notify", PortKind::kAtom, true},
    {kPortMode, "mode", PortKind::kControl, false},
    {kPortRate, "rate", PortKind::kControl, false},
    {kPortEnable, "enable", PortKind::kControl, false},
    {kPortAlways, "always", PortKind::kControl, false},
    {kPortFramesSent, "frames_sent", PortKind::kControl, true},
    {kPortFramesDropped, "frames_dropped", PortKind::kControl, true},
    {kPortPeakA, "peak_a", PortKind::kControl, true},
    {kPortPeakB, "peak_b", PortKind::kControl, true},
    {kPortGroup, "group", PortKind::kControl, false},
    {kPortMembers, "members", PortKind::kControl, true},
    {kPortSlot, "slot", PortKind::kControl, true},
    {kPortAnalysis, "analysis", PortKind::kControl, false},
};

constexpr bool portsInIndexOrder() {
    for (std::uint32_t i = 0; i < kPortCount; ++i) {
        if (kPorts[i].index != i) {
            return false;
        }
    }
    return true;
}
static_assert(portsInIndexOrder(), "kPorts[i] describes port i");

// Bytes the notify port asks for: room for fifteen of the largest frames with their event
// headers. At 48 kHz a block of 8192 samples brings at most six frames of any kind.
inline constexpr std::uint32_t kNotifyMinimumSize = 65536;

} // namespace vex::lv2
