// Reading a group's segment as untrusted input: another process of the user (or a bug in
// one) may have written anything into it. The reader takes a whole copy of each slot it
// uses, through the slot's sequence locks, and bounds and checks every value before it
// keeps it; a slot that fails a check is skipped. Never reads outside `size` bytes.
#pragma once

#include "host/kit/fine/fine_analysis.h"
#include "host/kit/group/group_layout.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vex::host::group {

// One member as the last read found it.
struct MemberState {
    bool present = false; // a live member with a whole, valid frame record
    std::uint32_t pid = 0;
    std::uint32_t serial = 0;              // of the frame below
    bool fresh = false;                    // the frame is newer than at the read before
    std::uint32_t bytes = 0;               // 0, or one of the frame lengths the audio object sends
    float sampleRate = 0.0f;               // 1000 to 1536000 Hz
    Analysis analysis = Analysis::kModule; // of the frame (a word other than 1 reads module)
    std::string label; // printable UTF-8, at most kLabelBytes - 1 bytes; may be empty
    std::array<std::uint8_t, kFrameCapacity> frame{};
};

class GroupReader {
public:
    // Any thread that owns this reader. Reads `size` bytes at `memory` (4-byte aligned) as
    // a segment at time `now`. False (every member absent) when the header is not this
    // version's or the memory is smaller than a segment.
    bool read(const void* memory, std::size_t size, std::int64_t now);

    const MemberState& member(std::int32_t slot) const { return members[slot]; }
    std::int32_t memberCount() const { return count; }
    // The group's view (0..2) at the last read, or -1.
    std::int32_t view() const { return groupViewRead; }
    // Whole records a read could not take because a writer was busy on them (tried again
    // at the next read).
    std::int64_t busy() const { return busyRecords; }

private:
    void readSlot(const Slot& slot, MemberState& state, std::int64_t now);

    std::array<MemberState, kSlots> members{};
    std::int32_t count = 0;
    std::int32_t groupViewRead = -1;
    std::int64_t busyRecords = 0;
    FrameRecord scratch{};
};

// Whether `size` is a frame length the audio object sends (the empty frame included).
bool isFrameLength(std::uint32_t size);

} // namespace vex::host::group
