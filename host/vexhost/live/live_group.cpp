#include "host/vexhost/live/live_group.h"

#include "host/kit/host_error.h"
#include "host/vexhost/live/live_view.h"

#include <unistd.h>

namespace vex::host {

LiveGroup::LiveGroup(std::int32_t number, std::int32_t joining, double sampleRate)
    : rate(static_cast<float>(sampleRate)) {
    std::string error;
    segment = group::GroupSegment::openGroup(number, error);
    if (!segment) {
        throw HostError("--group: " + error);
    }
    for (std::int32_t v = 0; v < joining; ++v) {
        joined.push_back(std::make_unique<group::GroupMember>(
            segment->segment(), group::monotonicNanos, static_cast<std::uint32_t>(getpid())));
        joined.back()->claim();
        joined.back()->beat();
    }
}

void LiveGroup::beat() {
    for (auto& member : joined) {
        member->beat();
    }
}

void LiveGroup::publish(std::int32_t voice, const std::uint8_t* bytes, std::int32_t size,
                        Analysis analysis) {
    if (voice >= 0 && static_cast<std::size_t>(voice) < joined.size() && size >= 0) {
        joined[static_cast<std::size_t>(voice)]->publish(bytes, static_cast<std::uint32_t>(size),
                                                         rate, analysis);
    }
}

std::int32_t LiveGroup::ownSlot() const {
    return joined.empty() ? -1 : joined.front()->slot();
}

void LiveGroup::show(LiveView& view) {
    shown.update(*segment, view, ownSlot(), rate);
}

} // namespace vex::host
