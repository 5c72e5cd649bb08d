// One frame on the notify port: an atom:Object of type urn:vex:analyzer#Frame holding the
// frame's time in samples since the instance was activated (atom:Long), the sample rate
// (atom:Double), the analysis its bytes come from (atom:Int) and the frame's bytes in the
// audio object's formats (atom:Chunk). The DSP writes it with LV2's forge; the UI (and the
// tests) read it back with frameFromAtom.
#pragma once

#include "lv2/common/patch_entries.h"
#include "lv2/common/urids.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>

#include <cstdint>
#include <cstring>

namespace vex::lv2 {

struct FrameEvent {
    std::int64_t time = 0;   // samples since activation, at the frame
    double sampleRate = 0.0; // the instance's
    const std::uint8_t* bytes = nullptr;
    std::uint32_t size = 0;
    std::int32_t analysis = kFrameAnalysisModule; // kFrameAnalysis*; -1 read: not stated
};

// Bytes a frame of `size` bytes takes in a sequence: the event's time and atom header, the
// object's body, four entries (a Long, a Double, an Int and the Chunk, each padded to 8 bytes).
constexpr std::uint32_t frameEventSize(std::uint32_t size) {
    return static_cast<std::uint32_t>(sizeof(LV2_Atom_Event) + sizeof(LV2_Atom_Object_Body) +
                                      4 * sizeof(LV2_Atom_Property_Body) + 3 * sizeof(double)) +
           ((size + 7u) & ~7u);
}

// Audio thread. Appends `frame` at `offset` samples into the block to the sequence `forge`
// writes, whole or not at all: false (nothing written) when it does not fit.
inline bool writeFrameEvent(LV2_Atom_Forge& forge, const Urids& urids, std::int64_t offset,
                            const FrameEvent& frame) {
    if (forge.buf == nullptr || forge.offset > forge.size ||
        frameEventSize(frame.size) > forge.size - forge.offset) {
        return false;
    }
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_frame_time(&forge, offset);
    lv2_atom_forge_object(&forge, &object, 0, urids.frame);
    lv2_atom_forge_key(&forge, urids.frameTime);
    lv2_atom_forge_long(&forge, frame.time);
    lv2_atom_forge_key(&forge, urids.frameRate);
    lv2_atom_forge_double(&forge, frame.sampleRate);
    lv2_atom_forge_key(&forge, urids.frameAnalysis);
    lv2_atom_forge_int(&forge, frame.analysis);
    lv2_atom_forge_key(&forge, urids.frameBytes);
    lv2_atom_forge_atom(&forge, frame.size, urids.atomChunk);
    if (frame.size > 0) {
        lv2_atom_forge_write(&forge, frame.bytes, frame.size);
    }
    lv2_atom_forge_pop(&forge, &object);
    return true;
}

// Any thread. Whether `atom` (an event's body, `room` bytes with its header, from any
// source) is a frame; if so `frame` points into it. Anything malformed is not a frame; a
// frame without a well-formed #analysis (an older DSP's) has analysis -1.
inline bool frameFromAtom(const Urids& urids, const LV2_Atom& atom, std::uint32_t room,
                          FrameEvent& frame) {
    if (atom.type != urids.atomObject || room < sizeof(LV2_Atom_Object) ||
        atom.size > room - sizeof(LV2_Atom) || atom.size < sizeof(LV2_Atom_Object_Body)) {
        return false;
    }
    const auto& object = reinterpret_cast<const LV2_Atom_Object&>(atom);
    const LV2_URID keys[] = {urids.frameTime, urids.frameRate, urids.frameBytes,
                             urids.frameAnalysis};
    const LV2_Atom* values[4] = {};
    if (object.body.otype != urids.frame || !findEntries(object, keys, values)) {
        return false;
    }
    const LV2_Atom* time = values[0];
    const LV2_Atom* rate = values[1];
    const LV2_Atom* bytes = values[2];
    if (time == nullptr || time->type != urids.atomLong || time->size != sizeof(std::int64_t) ||
        rate == nullptr || rate->type != urids.atomDouble || rate->size != sizeof(double) ||
        bytes == nullptr || bytes->type != urids.atomChunk || bytes->size > (1u << 30)) {
        return false;
    }
    std::memcpy(&frame.time, time + 1, sizeof frame.time);
    std::memcpy(&frame.sampleRate, rate + 1, sizeof frame.sampleRate);
    frame.bytes = reinterpret_cast<const std::uint8_t*>(bytes + 1);
    frame.size = bytes->size;
    const LV2_Atom* analysis = values[3];
    frame.analysis = -1;
    if (analysis != nullptr && analysis->type == urids.atomInt &&
        analysis->size == sizeof(std::int32_t)) {
        std::memcpy(&frame.analysis, analysis + 1, sizeof frame.analysis);
    }
    return true;
}

} // namespace vex::lv2
