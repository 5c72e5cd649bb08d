// One member of a group: its slot in the group's segment, claimed and freed off the audio
// thread (or, lock-free, on it), and what the audio thread writes there each run: the time
// of its last run and every frame its audio object sends, under the slot's sequence lock.
#pragma once

#include "host/kit/fine/fine_analysis.h"
#include "host/kit/group/group_layout.h"

#include <atomic>
#include <cstdint>

namespace vex::host::group {

// Monotonic nanoseconds, the same in every process of the machine. Must be callable on an
// audio thread: no system call, lock or allocation.
using Clock = std::int64_t (*)();
// CLOCK_MONOTONIC_COARSE, which the kernel serves from memory mapped into every process.
std::int64_t monotonicNanos();

// Whether slot `slot` holds a member at `now`: claimed, and run within kStaleNanos (a
// time further ahead of `now` than that is garbage, not a member).
bool slotIsLive(const Slot& slot, std::int64_t now);

// Members in `segment` at `now`. Any thread: loads only.
std::int32_t countMembers(const Segment& segment, std::int64_t now);

// The group's view (0..2), or -1 when none is chosen or the word holds garbage.
std::int32_t groupView(const Segment& segment);
// Any thread: chooses the group's view (0..2); other values are ignored.
void setGroupView(Segment& segment, std::int32_t view);

class GroupMember {
public:
    // `segment` outlives the member. `clock` gives the times written and compared.
    GroupMember(Segment& segment, Clock clock, std::uint32_t pid);
    ~GroupMember() { release(); }
    GroupMember(const GroupMember&) = delete;
    GroupMember& operator=(const GroupMember&) = delete;

    // Any thread, lock-free (no system call): takes the first free or stale slot by
    // compare-exchange; its slot index, or -1 when all kSlots hold live members. A member
    // that holds a slot keeps it.
    std::int32_t claim();
    // Any thread: frees the slot if this member still holds it.
    void release();

    // The member's audio thread, once per run: marks the slot live at this run's time.
    // When another member took the slot meanwhile (this one was frozen past kStaleNanos),
    // this member holds none from now on (slot() answers -1).
    void beat();
    // The member's audio thread: publishes one frame of `size` bytes (0..kFrameCapacity;
    // longer frames are not published) sent at `sampleRate`, made by `analysis`.
    void publish(const std::uint8_t* bytes, std::uint32_t size, float sampleRate,
                 Analysis analysis);
    // Any one thread at a time: the member's label (UTF-8, cut to kLabelBytes - 1 bytes).
    void setLabel(const char* text, std::uint32_t size);

    std::int32_t slot() const { return index.load(std::memory_order_relaxed); }
    std::int64_t now() const { return clock(); }
    Segment& segment() { return shared; }

private:
    void writeLabel();

    Segment& shared;
    Clock clock;
    std::uint32_t pid;
    std::uint64_t token = 0;
    // Why atomic: in a host that publishes from another thread than the one that beats (a
    // window thread refining frames), beat may drop the slot while publish reads it.
    std::atomic<std::int32_t> index{-1};
    std::uint32_t serial = 0;
    char label[kLabelBytes] = {};
};

} // namespace vex::host::group
