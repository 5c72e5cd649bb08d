#include "host/kit/group/group_reader.h"

#include "host/kit/group/group_member.h"
#include "host/kit/seqlock.h"
#include "host/kit/utf8.h"

#include <cmath>
#include <cstring>
#include <string_view>

namespace vex::host::group {

namespace {

constexpr std::size_t kRecordHead = offsetof(FrameRecord, data);

} // namespace

bool isFrameLength(std::uint32_t size) {
    return size == 0 || size == static_cast<std::uint32_t>(kScopePayloadSize) ||
           size == static_cast<std::uint32_t>(kLinearSpectrumPayloadSize) ||
           size == static_cast<std::uint32_t>(kLogSpectrumPayloadSize);
}

bool GroupReader::read(const void* memory, std::size_t size, std::int64_t now) {
    count = 0;
    groupViewRead = -1;
    const auto* segment = static_cast<const Segment*>(memory);
    const bool whole = memory != nullptr && size >= kSegmentBytes;
    const Header* header = whole ? &segment->header : nullptr;
    if (header == nullptr || !headerIsOurs(*header)) {
        for (MemberState& state : members) {
            state.present = false;
            state.fresh = false;
        }
        return false;
    }
    groupViewRead = groupView(*segment);
    for (std::int32_t i = 0; i < kSlots; ++i) {
        readSlot(segment->slots[i], members[i], now);
        count += members[i].present ? 1 : 0;
    }
    return true;
}

void GroupReader::readSlot(const Slot& slot, MemberState& state, std::int64_t now) {
    state.fresh = false;
    if (!slotIsLive(slot, now)) {
        state.present = false;
        return;
    }
    FrameRecord head{};
    if (!seqlockRead(slot.frameSequence, slot.frameWords, &head, kRecordHead)) {
        ++busyRecords;
        return; // keeps what the last read found
    }
    const bool plausibleRate = std::isfinite(head.sampleRate) && head.sampleRate >= 1000.0f &&
                               head.sampleRate <= 1536000.0f;
    if (head.serial == 0 || !isFrameLength(head.bytes) || !plausibleRate) {
        state.present = false; // a member that has sent nothing yet, or garbage
        return;
    }
    char label[kLabelBytes] = {};
    if (seqlockRead(slot.labelSequence, slot.labelWords, label, sizeof label)) {
        // Printable UTF-8 up to the first NUL or other byte that is not, never a split
        // character.
        state.label = utf8::printablePrefix(std::string_view(label, sizeof label), kLabelBytes - 1);
    }
    state.pid = slot.pid.load(std::memory_order_relaxed);
    if (state.present && head.serial == state.serial) {
        return; // nothing new
    }
    // Why a copy of the whole record: the frame and the length that says how much of it
    // counts must come from the same write.
    if (!seqlockRead(slot.frameSequence, slot.frameWords, &scratch, kRecordHead + head.bytes) ||
        scratch.serial != head.serial || scratch.bytes != head.bytes) {
        ++busyRecords;
        return;
    }
    state.present = true;
    state.fresh = true;
    state.serial = scratch.serial;
    state.bytes = scratch.bytes;
    state.sampleRate = scratch.sampleRate;
    state.analysis = scratch.analysis == 1 ? Analysis::kFine : Analysis::kModule;
    std::memcpy(state.frame.data(), scratch.data, scratch.bytes);
}

} // namespace vex::host::group
