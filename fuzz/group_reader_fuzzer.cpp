// A group's segment as another process might have left it: any bytes. The first byte
// chooses whether a valid header is stamped over them (so the slots are reached) and
// whether every claimed slot looks freshly run; the rest are the segment from its start,
// or from the first slot with the header stamped. Three reads of the same memory, a
// mapping cut short by the byte after, check that no member comes out with a value out of
// its bounds and that nothing is read outside the memory (AddressSanitizer).
#include "host/kit/group/group_member.h"
#include "host/kit/group/group_reader.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

using namespace vex::host::group;

constexpr std::int64_t kNow = 100000000000LL;

void check(const GroupReader& reader) {
    std::int32_t present = 0;
    for (std::int32_t s = 0; s < kSlots; ++s) {
        const MemberState& member = reader.member(s);
        if (!member.present) {
            continue;
        }
        ++present;
        if (!isFrameLength(member.bytes) || !(member.sampleRate >= 1000.0f) ||
            !(member.sampleRate <= 1536000.0f) || member.label.size() >= kLabelBytes) {
            std::abort();
        }
        for (char c : member.label) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                std::abort();
            }
        }
    }
    if (present != reader.memberCount() || reader.view() < -1 || reader.view() > 2) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::uint8_t flags = data[0];
    ++data;
    --size;
    // The mapping: exactly a segment's bytes, so AddressSanitizer sees any read past it.
    alignas(64) static std::uint8_t memory[kSegmentBytes];
    std::uint8_t* bytes = memory;
    std::memset(bytes, 0, kSegmentBytes);
    auto* segment = reinterpret_cast<Segment*>(bytes);
    const std::size_t at = (flags & 1) != 0 ? sizeof(Header) : 0;
    std::memcpy(bytes + at, data, std::min(size, kSegmentBytes - at));
    if ((flags & 1) != 0) {
        segment->header.magic.store(kMagic);
        segment->header.version.store(kVersion);
        segment->header.slotCount.store(kSlots);
        segment->header.slotBytes.store(sizeof(Slot));
        segment->header.segmentBytes.store(kSegmentBytes);
        segment->header.view.store(flags >> 4);
    }
    if ((flags & 2) != 0) {
        for (Slot& slot : segment->slots) {
            slot.lastRun.store(kNow - (slot.lastRun.load() & 0x3fffffff));
        }
    }
    GroupReader reader;
    reader.read(bytes, kSegmentBytes, kNow);
    check(reader);
    reader.read(bytes, kSegmentBytes, kNow); // nothing new: kept members stay valid
    check(reader);
    const std::size_t cut = (flags & 4) != 0 ? kSegmentBytes - 1 - (flags >> 3) : kSegmentBytes;
    reader.read(bytes, cut, kNow + kStaleNanos / 2);
    check(reader);
    return 0;
}
