#include "host/kit/group/group_reader.h"

#include "host/kit/group/group_member.h"
#include "host/kit/seqlock.h"

#include <cmath>
#include <cstring>

namespace vex::host::group {

namespace {

constexpr std::size_t kRecordHead = offsetof(FrameRecord, data);

// Keeps a label's printable UTF-8 up to the first NUL; any other byte ends it.
std::string cleanLabel(const char* raw) {
    std::string text;
    for (std::uint32_t i = 0; i < kLabelBytes - 1 && raw[i] != '\0'; ++i) {
        const auto c = static_cast<unsigned char>(raw[i]);
        if (c < 0x20 || c == 0x7f) {
            break;
        }
        text.push_back(static_cast<char>(c));
    }
    // Why: a multi-byte character cut at the end would be invalid UTF-8.
    std::size_t end = text.size();
    std::size_t start = end;
    while (start > 0 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) {
        --start;
    }
    if (start > 0 && static_cast<unsigned char>(text[start - 1]) >= 0xC0) {
        const auto lead = static_cast<unsigned char>(text[start - 1]);
        const std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (end - (start - 1) < need) {
            text.resize(start - 1);
        }
    }
    return text;
}

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
    const bool ours = header != nullptr &&
                      header->magic.load(std::memory_order_acquire) == kMagic &&
                      header->version.load(std::memory_order_relaxed) == kVersion &&
                      header->slotCount.load(std::memory_order_relaxed) == kSlots &&
                      header->slotBytes.load(std::memory_order_relaxed) == sizeof(Slot) &&
                      header->segmentBytes.load(std::memory_order_relaxed) == kSegmentBytes;
    if (!ours) {
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
        state.label = cleanLabel(label);
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
    std::memcpy(state.frame.data(), scratch.data, scratch.bytes);
}

} // namespace vex::host::group
