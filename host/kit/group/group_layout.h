// The shared-memory segment of a group: the analyzers of one user that show as the voices
// of one display. One segment per group and user, fixed in size: a header, then one slot
// per possible member (the display's voice count). Every field lives in atomic
// words, so members in several processes write and read it without locks, and the frame
// and the label sit under sequence locks (host/kit/seqlock.h).
//
// The segment is written by other processes and is untrusted input: a reader bounds and
// checks every value it takes from it (host/kit/group/group_reader.h).
#pragma once

#include "analyzer/audio/analyzer_messages.h"
#include "host/kit/frame_view.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace vex::host::group {

static_assert(std::atomic<std::uint64_t>::is_always_lock_free,
              "slot claims in shared memory need lock-free 64-bit atomics");

inline constexpr std::uint32_t kMagic = 0x47584556u; // "VEXG" in little-endian bytes
inline constexpr std::uint32_t kVersion = 1;
inline constexpr std::int32_t kSlots = kVoices; // the display's voices
inline constexpr std::int32_t kGroups = 16;     // groups 1..16; 0 is "alone"
inline constexpr std::uint32_t kLabelBytes = 64;
// The largest frame the audio object sends.
inline constexpr std::uint32_t kFrameCapacity = static_cast<std::uint32_t>(kLongestPayloadSize);
// A member that has not run for this long has left (a crashed or frozen process).
inline constexpr std::int64_t kStaleNanos = 2000000000;
// The group's view word when no member has chosen one.
inline constexpr std::uint32_t kNoView = 0;

// What a member publishes with each frame, under the slot's frame sequence lock.
struct FrameRecord {
    std::uint32_t bytes;    // frame length, 0..kFrameCapacity
    float sampleRate;       // the member's sample rate
    std::uint32_t serial;   // counts the member's frames: a reader sees what is new
    std::uint32_t analysis; // the analysis the frame comes from (host::Analysis: 0 module, 1 fine)
    std::uint8_t data[kFrameCapacity];
};

using Word = std::atomic<std::uint32_t>;
inline constexpr std::size_t kFrameWords = (sizeof(FrameRecord) + 3) / 4;
inline constexpr std::size_t kLabelWords = kLabelBytes / 4;

// One member's slot. `claim` is 0 when free, else the member's claim token; a member takes
// a slot only by compare-exchange on it, so two members never share one.
struct alignas(64) Slot {
    std::atomic<std::uint64_t> claim;
    std::atomic<std::int64_t> lastRun; // monotonic nanoseconds of the member's last run
    Word pid;                          // the member's process (information only)
    Word frameSequence;
    Word labelSequence;
    Word labelWords[kLabelWords]; // UTF-8, NUL-padded
    Word frameWords[kFrameWords]; // a FrameRecord
};

struct alignas(64) Header {
    Word magic;
    Word version;
    Word slotCount;
    Word slotBytes;
    Word segmentBytes;
    Word view; // kNoView, or the group's view + 1 (1 scope, 2 linear, 3 log)
};

struct alignas(64) Segment {
    Header header;
    Slot slots[kSlots];
};

inline constexpr std::size_t kSegmentBytes = sizeof(Segment);

// Whether `header` is this build's: the magic (loaded with acquire, as it is stored last),
// version, slot count and sizes all as written here.
inline bool headerIsOurs(const Header& header) {
    return header.magic.load(std::memory_order_acquire) == kMagic &&
           header.version.load(std::memory_order_relaxed) == kVersion &&
           header.slotCount.load(std::memory_order_relaxed) == kSlots &&
           header.slotBytes.load(std::memory_order_relaxed) == sizeof(Slot) &&
           header.segmentBytes.load(std::memory_order_relaxed) == kSegmentBytes;
}

} // namespace vex::host::group
