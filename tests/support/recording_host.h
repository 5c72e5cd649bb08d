// A host for tests: the host interfaces of the host kit, with every call the module makes
// recorded, and any query refused on request to exercise failure paths.
#pragma once

#include "host/kit/host_services.h"

#include <cstdint>
#include <vector>

namespace vex::host {

// One value the audio object sent with HostAudioInterface::setPin.
struct PinSend {
    std::int32_t time;
    std::int32_t pinId;
    std::vector<std::uint8_t> bytes;
};

// One value the display object wrote with HostDisplayInterface::setPin.
struct PinWrite {
    std::int32_t pinId;
    std::vector<std::uint8_t> bytes;
    std::int32_t fourth;
};

// One redraw request; `whole` when the display passed null for its whole area.
struct Invalidation {
    bool whole;
    std::int32_t left, top, right, bottom;
};

// Serves one module object as HostServices does (sampleRate, hostFlag, captureAnswer,
// sleepRequests and onPinSend are the kit's) and records what the object does. Not
// thread-safe; the object calls it on the thread the test drives it from.
class RecordingHost final : public HostServices {
public:
    // Answer null to queries for `iid` from now on.
    void refuse(const MpGuid& iid) { refused.push_back(iid); }

    // References the module holds on host interface `iid` (queries minus releases).
    std::int32_t references(const MpGuid& iid) const;
    // How many times the module queried `iid`, whatever the answer.
    std::int32_t queries(const MpGuid& iid) const;
    // Releases on any host interface; a module releases each reference once.
    std::int32_t releases() const { return releaseCount; }

    // What the module did. Sends are recorded only while recordSends is true.
    bool recordSends = true;
    std::vector<PinSend> pinSends;
    std::vector<PinWrite> pinWrites;
    std::vector<Invalidation> invalidations;
    std::int32_t setCaptureCalls = 0;
    std::int32_t releaseCaptureCalls = 0;

    void clearRecords();

protected:
    bool refuses(const MpGuid& iid) override;
    void queried(const MpGuid& iid) override;
    std::int32_t referenceChanged(const MpGuid& iid, std::int32_t delta) override;
    void sent(std::int32_t time, std::int32_t pinId, const void* data, std::int32_t size) override;
    void written(std::int32_t pinId, const void* data, std::int32_t size,
                 std::int32_t fourth) override;
    void invalidatedArea(const std::int32_t* rect) override;
    void captureChanged(bool set) override;

private:
    struct Count {
        MpGuid iid;
        std::int32_t queries = 0;
        std::int32_t references = 0;
    };
    Count* countFor(const MpGuid& iid);
    const Count* countFor(const MpGuid& iid) const;

    std::vector<MpGuid> refused;
    std::vector<Count> counts;
    std::int32_t releaseCount = 0;
};

} // namespace vex::host
