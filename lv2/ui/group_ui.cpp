#include "lv2/ui/group_ui.h"

#include "host/kit/group/group_member.h"
#include "host/kit/view/plot_axes.h"
#include "lv2/common/control_choice.h"

#include <cmath>

namespace vex::lv2 {

void UiGroup::setGroup(float value) {
    group = controlChoice(value, 0, host::group::kGroups);
}

void UiGroup::setSlot(float value) {
    slot = controlChoice(value, -1, host::group::kSlots - 1);
}

std::int32_t UiGroup::update(host::DisplaySession& session, std::int32_t view,
                             const FrameFilter& filter) {
    delivered = false;
    if (group != mappedGroup) {
        segment.reset();
        mappedGroup = group;
        if (group > 0) {
            segment = host::group::GroupSegment::openGroup(group, error);
        }
        session.setFollow(segment != nullptr);
        delivered = true;
    }
    if (!showing()) {
        return -1;
    }
    reader.read(&segment->segment(), host::group::kSegmentBytes, host::group::monotonicNanos());
    const auto& own = reader.member(slot);
    // The viewer's rate is its own member's: the frequencies its axes mean.
    const double rate = own.present ? own.sampleRate : 48000.0;
    host::group::VoiceSink sink;
    sink.frame = [&](std::int32_t voice, const std::uint8_t* bytes, std::int32_t size) {
        // Why a member that left skips the filter: its empty frame must reach the display.
        const std::uint8_t* handed = bytes != nullptr ? filter(voice, bytes, size) : nullptr;
        if (bytes == nullptr || handed != nullptr) {
            session.deliverFrame(voice, handed, handed != nullptr ? size : 0, 0);
            delivered = true;
        }
    };
    sink.gate = [&](std::int32_t voice, float gate) {
        session.setGate(voice, gate);
        delivered = true;
    };
    voices.update(reader, view, rate, highlighted(), sink);
    return reader.view();
}

void UiGroup::chooseView(std::int32_t view) {
    if (segment != nullptr) {
        host::group::setGroupView(segment->segment(), view);
    }
}

void UiGroup::highlightNext() {
    const std::int32_t from = voices.highlighted();
    const std::int32_t next = voices.nextMember(reader, from);
    highlight = next == slot ? -1 : next;
}

void UiGroup::startEditing() {
    typing = true;
    typed = host::group::GroupVoices::labelOf(reader, slot);
    if (reader.member(slot).label.empty()) {
        typed.clear();
    }
}

void UiGroup::type(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f &&
            typed.size() < host::group::kLabelBytes - 1) {
            typed.push_back(c);
        }
    }
}

void UiGroup::erase() {
    // Whole UTF-8 characters: continuation bytes go with their lead byte.
    while (!typed.empty() && (static_cast<unsigned char>(typed.back()) & 0xC0) == 0x80) {
        typed.pop_back();
    }
    if (!typed.empty()) {
        typed.pop_back();
    }
}

std::string UiGroup::finish() {
    typing = false;
    return typed;
}

std::vector<std::string> UiGroup::caption(std::int32_t view, std::int32_t width,
                                          std::int32_t height) const {
    std::vector<std::string> lines;
    if (group > 0 && segment == nullptr) {
        lines.push_back("group " + std::to_string(group) + ": " + error);
        return lines;
    }
    if (group > 0 && slot < 0) {
        lines.push_back("group " + std::to_string(group) + " is full: this instance shows alone");
        return lines;
    }
    if (!showing()) {
        return lines;
    }
    const std::int32_t shown = voices.highlighted();
    std::string head =
        "group " + std::to_string(group) + ": " + std::to_string(reader.memberCount()) + " members";
    if (shown >= 0) {
        head += ", highlighted " + host::group::GroupVoices::labelOf(reader, shown);
        if (shown == slot) {
            head += " (this one)";
        }
    }
    lines.push_back(head);
    // The member nearest the pointer, read as the display draws: labels on, one pane.
    if (pointerX >= 0) {
        const host::PlotLayout layout = host::plotLayout(width, height, true, false);
        const auto& own = reader.member(slot);
        const host::CursorReading reading = host::readCursor(
            view, layout, false, pointerX, pointerY, own.present ? own.sampleRate : 48000.0);
        const double point =
            view == 0 ? host::scopeSampleAt(layout.paneA, pointerX)
                      : host::spectrumPointAt(layout.paneA, pointerX, plot::pointsOfView(view));
        const std::int32_t nearest =
            reading.inside
                ? voices.nearestMember(reader, view, reading.signal, point, reading.level)
                : -1;
        if (nearest >= 0) {
            lines.push_back(reading.text +
                            "  nearest: " + host::group::GroupVoices::labelOf(reader, nearest));
        }
    }
    if (typing) {
        lines.push_back("label: " + typed + "_  (Return sets, Esc cancels)");
    }
    const std::string note = voices.note();
    if (!note.empty()) {
        lines.push_back(note);
    }
    return lines;
}

} // namespace vex::lv2
