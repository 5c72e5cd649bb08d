#include "tests/support/recording_host.h"

#include <algorithm>

namespace vex::host {

namespace {

std::vector<std::uint8_t> copyBytes(const void* data, std::int32_t size) {
    if (data == nullptr || size <= 0) {
        return {};
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return std::vector<std::uint8_t>(bytes, bytes + size);
}

} // namespace

void RecordingHost::clearRecords() {
    pinSends.clear();
    sleepRequests = 0;
    pinWrites.clear();
    invalidations.clear();
    setCaptureCalls = 0;
    releaseCaptureCalls = 0;
}

RecordingHost::Count* RecordingHost::countFor(const MpGuid& iid) {
    for (Count& count : counts) {
        if (sameGuid(count.iid, iid)) {
            return &count;
        }
    }
    counts.push_back(Count{iid});
    return &counts.back();
}

const RecordingHost::Count* RecordingHost::countFor(const MpGuid& iid) const {
    for (const Count& count : counts) {
        if (sameGuid(count.iid, iid)) {
            return &count;
        }
    }
    return nullptr;
}

std::int32_t RecordingHost::references(const MpGuid& iid) const {
    const Count* count = countFor(iid);
    return count != nullptr ? count->references : 0;
}

std::int32_t RecordingHost::queries(const MpGuid& iid) const {
    const Count* count = countFor(iid);
    return count != nullptr ? count->queries : 0;
}

bool RecordingHost::refuses(const MpGuid& iid) {
    return std::any_of(refused.begin(), refused.end(),
                       [&](const MpGuid& r) { return sameGuid(r, iid); });
}

void RecordingHost::queried(const MpGuid& iid) {
    ++countFor(iid)->queries;
}

std::int32_t RecordingHost::referenceChanged(const MpGuid& iid, std::int32_t delta) {
    if (delta < 0) {
        ++releaseCount;
    }
    return countFor(iid)->references += delta;
}

void RecordingHost::sent(std::int32_t time, std::int32_t pinId, const void* data,
                         std::int32_t size) {
    if (recordSends) {
        pinSends.push_back(PinSend{time, pinId, copyBytes(data, size)});
    }
}

void RecordingHost::written(std::int32_t pinId, const void* data, std::int32_t size,
                            std::int32_t fourth) {
    pinWrites.push_back(PinWrite{pinId, copyBytes(data, size), fourth});
}

void RecordingHost::invalidatedArea(const std::int32_t* rect) {
    if (rect == nullptr) {
        invalidations.push_back(Invalidation{true, 0, 0, 0, 0});
    } else {
        invalidations.push_back(Invalidation{false, rect[0], rect[1], rect[2], rect[3]});
    }
}

void RecordingHost::captureChanged(bool set) {
    ++(set ? setCaptureCalls : releaseCaptureCalls);
}

} // namespace vex::host
