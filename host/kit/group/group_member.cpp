#include "host/kit/group/group_member.h"

#include "host/kit/seqlock.h"

#include <algorithm>
#include <cstring>
#include <ctime>

namespace vex::host::group {

namespace {

// Tells this process's claims apart; never 0 with the pid above it.
std::atomic<std::uint32_t> claims{0};

} // namespace

std::int64_t monotonicNanos() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

bool slotIsLive(const Slot& slot, std::int64_t now) {
    if (slot.claim.load(std::memory_order_acquire) == 0) {
        return false;
    }
    const std::int64_t last = slot.lastRun.load(std::memory_order_relaxed);
    // Why both bounds: a garbage time far in the future must not hold a slot for ever.
    // Why no difference: `last` is anyone's bytes, and now - last may overflow.
    return last >= now - kStaleNanos && last <= now + kStaleNanos;
}

std::int32_t countMembers(const Segment& segment, std::int64_t now) {
    std::int32_t count = 0;
    for (const Slot& slot : segment.slots) {
        count += slotIsLive(slot, now) ? 1 : 0;
    }
    return count;
}

std::int32_t groupView(const Segment& segment) {
    const std::uint32_t word = segment.header.view.load(std::memory_order_relaxed);
    return word >= 1 && word <= 3 ? static_cast<std::int32_t>(word) - 1 : -1;
}

void setGroupView(Segment& segment, std::int32_t view) {
    if (view >= 0 && view <= 2) {
        segment.header.view.store(static_cast<std::uint32_t>(view) + 1, std::memory_order_relaxed);
    }
}

GroupMember::GroupMember(Segment& segment, Clock clockFunction, std::uint32_t processId)
    : shared(segment), clock(clockFunction), pid(processId) {}

std::int32_t GroupMember::claim() {
    if (const std::int32_t held = index.load(std::memory_order_relaxed); held >= 0) {
        return held;
    }
    std::uint32_t count = claims.fetch_add(1, std::memory_order_relaxed) + 1;
    if (count == 0) {
        count = claims.fetch_add(1, std::memory_order_relaxed) + 1;
    }
    const std::uint64_t mine = (static_cast<std::uint64_t>(pid) << 32) | count;
    const std::int64_t now = clock();
    for (std::int32_t i = 0; i < kSlots; ++i) {
        Slot& slot = shared.slots[i];
        std::uint64_t held = slot.claim.load(std::memory_order_acquire);
        if (held != 0 && slotIsLive(slot, now)) {
            continue;
        }
        // Why the time before the exchange: a member that finds this slot claimed must find
        // it fresh, not the stale time of its last holder, or it would take it too.
        slot.lastRun.store(now, std::memory_order_relaxed);
        if (slot.claim.compare_exchange_strong(held, mine, std::memory_order_acq_rel)) {
            token = mine;
            index.store(i, std::memory_order_relaxed);
            slot.pid.store(pid, std::memory_order_relaxed);
            writeLabel();
            return i;
        }
    }
    return -1;
}

void GroupMember::release() {
    const std::int32_t at = index.load(std::memory_order_relaxed);
    if (at < 0) {
        return;
    }
    std::uint64_t held = token;
    shared.slots[at].claim.compare_exchange_strong(held, 0, std::memory_order_acq_rel);
    index.store(-1, std::memory_order_relaxed);
}

void GroupMember::beat() {
    const std::int32_t at = index.load(std::memory_order_relaxed);
    if (at < 0) {
        return;
    }
    Slot& slot = shared.slots[at];
    if (slot.claim.load(std::memory_order_relaxed) != token) {
        index.store(-1, std::memory_order_relaxed); // taken while this member was frozen
        return;
    }
    slot.lastRun.store(clock(), std::memory_order_relaxed);
}

void GroupMember::publish(const std::uint8_t* bytes, std::uint32_t size, float sampleRate,
                          Analysis analysis) {
    const std::int32_t at = index.load(std::memory_order_relaxed);
    if (at < 0 || size > kFrameCapacity || (size > 0 && bytes == nullptr)) {
        return;
    }
    // Why a record on the stack rather than in the member: the seqlock writes words, and
    // the record is assembled once; 4 KiB of stack is what an audio thread has to spare.
    FrameRecord record;
    record.bytes = size;
    record.sampleRate = sampleRate;
    record.serial = ++serial;
    record.analysis = static_cast<std::uint32_t>(analysis);
    if (size > 0) {
        std::memcpy(record.data, bytes, size);
    }
    Slot& slot = shared.slots[at];
    // Why the claim is looked at again: another member may have taken the slot since (this
    // one was frozen), and its frames are not this member's to write.
    if (slot.claim.load(std::memory_order_relaxed) != token) {
        return;
    }
    const std::size_t used = offsetof(FrameRecord, data) + size;
    seqlockWrite(slot.frameSequence, slot.frameWords, &record, used);
}

void GroupMember::setLabel(const char* text, std::uint32_t size) {
    const std::uint32_t kept = std::min<std::uint32_t>(size, kLabelBytes - 1);
    std::memset(label, 0, sizeof label);
    if (kept > 0 && text != nullptr) {
        std::memcpy(label, text, kept);
    }
    writeLabel();
}

void GroupMember::writeLabel() {
    if (const std::int32_t at = index.load(std::memory_order_relaxed); at >= 0) {
        Slot& slot = shared.slots[at];
        seqlockWrite(slot.labelSequence, slot.labelWords, label, sizeof label);
    }
}

} // namespace vex::host::group
