#include "host/vexhost/live/live_group.h"

#include "host/kit/host_error.h"
#include "host/kit/view/plot_axes.h"
#include "host/vexhost/live/live_view.h"

#include <cstring>

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

void LiveGroup::publish(std::int32_t voice, const std::uint8_t* bytes, std::int32_t size) {
    if (voice >= 0 && static_cast<std::size_t>(voice) < joined.size() && size >= 0) {
        joined[static_cast<std::size_t>(voice)]->publish(bytes, static_cast<std::uint32_t>(size),
                                                         rate);
    }
}

void LiveGroup::show(LiveView& view) {
    reader.read(&segment->segment(), group::kSegmentBytes, group::monotonicNanos());
    const std::int32_t own = joined.empty() ? -1 : joined.front()->slot();
    const std::int64_t now = static_cast<std::int64_t>(view.clock() * rate);
    group::VoiceSink sink;
    sink.frame = [&](std::int32_t voice, const std::uint8_t* bytes, std::int32_t size) {
        scratch.voice = voice;
        scratch.size = size;
        scratch.sample = now;
        if (size > 0) {
            std::memcpy(scratch.bytes, bytes, static_cast<std::size_t>(size));
        }
        view.take(scratch);
    };
    sink.gate = [&](std::int32_t voice, float gate) { view.setGate(voice, gate); };
    voices.update(reader, view.mode(), rate, chosen >= 0 ? chosen : own, sink);
}

} // namespace vex::host

namespace vex::host {

void LiveGroup::highlightNext() {
    chosen = voices.nextMember(reader, voices.highlighted());
}

std::string LiveGroup::nearest(const LiveView& view, std::int32_t x, std::int32_t y) {
    const PlotLayout layout = plotLayout(view.width(), view.height(), true, view.split());
    const CursorReading reading = readCursor(view.mode(), layout, view.split(), x, y, rate);
    pointed.clear();
    if (!reading.inside) {
        return pointed;
    }
    const PlotPane& pane = reading.signal == 0 ? layout.paneA : layout.paneB;
    const double point = view.mode() == 0
                             ? scopeSampleAt(pane, x)
                             : spectrumPointAt(pane, x, plot::pointsOfView(view.mode()));
    const std::int32_t slot =
        voices.nearestMember(reader, view.mode(), reading.signal, point, reading.level);
    pointed = slot >= 0 ? group::GroupVoices::labelOf(reader, slot) : std::string();
    return pointed;
}

std::vector<std::string> LiveGroup::caption(std::int32_t number) const {
    std::vector<std::string> lines;
    std::string head = "group " + std::to_string(number) + ": " +
                       std::to_string(reader.memberCount()) + " members";
    const std::int32_t shown = voices.highlighted();
    if (shown >= 0) {
        head += ", highlighted " + group::GroupVoices::labelOf(reader, shown);
    }
    lines.push_back(head);
    if (!pointed.empty()) {
        lines.push_back("nearest the pointer: " + pointed);
    }
    if (!voices.note().empty()) {
        lines.push_back(voices.note());
    }
    return lines;
}

} // namespace vex::host
