#include "lv2/ui/group_ui.h"

#include "host/kit/group/group_member.h"
#include "host/kit/utf8.h"
#include "lv2/common/control_choice.h"

namespace vex::lv2 {

void UiGroup::setGroup(float value) {
    group = controlChoice(value, 0, host::group::kGroups);
}

void UiGroup::setSlot(float value) {
    slot = controlChoice(value, -1, host::group::kSlots - 1);
}

std::int32_t UiGroup::update(host::ViewerPane& pane) {
    delivered = false;
    if (group != mappedGroup) {
        segment.reset();
        mappedGroup = group;
        if (group > 0) {
            segment = host::group::GroupSegment::openGroup(group, error);
        }
        pane.setFollow(segment != nullptr);
        delivered = true;
    }
    if (!showing()) {
        // Alone, the difference is B against A.
        pane.tools().setDifferenceReference(false, -1, std::string());
        pane.tools().setDifferenceProblem(std::string());
        return -1;
    }
    // The viewer's rate is its own member's: the frequencies its axes mean.
    const auto& own = shown.read().member(slot);
    const double rate = own.present ? own.sampleRate : 48000.0;
    delivered = shown.update(*segment, pane, slot, rate) || delivered;
    return shown.view();
}

std::int32_t UiGroup::labelled(const std::string& label) const {
    std::int32_t count = 0;
    for (std::int32_t member = 0; showing() && member < host::group::kSlots; ++member) {
        const auto& state = shown.read().member(member);
        count += state.present && state.label == label ? 1 : 0;
    }
    return count;
}

void UiGroup::chooseView(std::int32_t view) {
    if (segment != nullptr) {
        host::group::setGroupView(segment->segment(), view);
    }
}

void UiGroup::startEditing() {
    typing = true;
    typed = showing() ? shown.read().member(slot).label : std::string();
}

void UiGroup::type(const std::string& text) {
    // Why printablePrefix: a control character ends what is taken, and the label is cut
    // at whole characters, never inside one.
    typed = host::utf8::printablePrefix(typed + text, host::group::kLabelBytes - 1);
}

void UiGroup::erase() {
    host::utf8::eraseLast(typed);
}

std::string UiGroup::finish() {
    typing = false;
    return typed;
}

std::vector<std::string> UiGroup::caption(const host::ViewerPane& pane) {
    if (group > 0 && segment == nullptr) {
        return {"group " + std::to_string(group) + ": " + error};
    }
    if (group > 0 && slot < 0) {
        return {"group " + std::to_string(group) + " is full: this instance shows alone"};
    }
    if (!showing()) {
        return {};
    }
    shown.nearest(pane, pointerX, pointerY);
    return shown.caption(group, slot,
                         typing ? "label: " + typed + "_  (Return sets, Esc cancels)" : "");
}

} // namespace vex::lv2
