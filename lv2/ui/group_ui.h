// The UI's side of a group: the instance's group mapped when the group control names one,
// its members shown in the window's pane by the kit's group view (its own instance
// highlighted, or another chosen with Tab), the group's view followed, and the label typed
// in the window, and the member the difference is against. Everything here runs on the host's UI
// thread; the segment is mapped there, never on the audio thread.
#pragma once

#include "host/kit/group/group_segment.h"
#include "host/kit/view/group_view.h"
#include "host/kit/view/viewer_pane.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vex::lv2 {

class UiGroup {
public:
    // The group and slot controls as the host reports them.
    void setGroup(float value);
    void setSlot(float value);

    // Whether the UI shows a group (its instance is a member with a slot).
    bool showing() const { return segment != nullptr && slot >= 0; }
    // Maps the group when the control changed and hands its members to `pane`. Answers
    // the group's view (0..2), or -1.
    std::int32_t update(host::ViewerPane& pane);
    // The member drawn with the main pens: the one chosen with Tab, else the UI's own.
    std::int32_t highlighted() const { return shown.chosenOr(slot); }
    // Whether the last update changed what the pane shows.
    bool changed() const { return delivered; }
    // The UI's view choice, for every member.
    void chooseView(std::int32_t view);
    // Highlights the next member (Tab).
    void highlightNext() { shown.highlightNext(slot); }

    // The difference's reference member: the next present one that is not highlighted
    // ('v'), or none when there is no other.
    void pickReference() { shown.pickReference(slot); }
    // The reference named by a label (a saved state's): found among the members at each
    // update; empty: none.
    void setReferenceLabel(const std::string& label) { shown.setReferenceLabel(label); }
    // The reference's slot (-1: none) and its label as picked or named (empty: none or an
    // unlabelled member).
    std::int32_t reference() const { return shown.reference(); }
    const std::string& referenceLabel() const { return shown.referenceLabel(); }
    // How many present members are labelled `label`.
    std::int32_t labelled(const std::string& label) const;

    // Label editing: Return starts it and, with text typed, ends it (finish() answers the
    // label to send); Escape cancels. Text is kept whole characters of printable UTF-8, at
    // most a slot's label long.
    bool editing() const { return typing; }
    void startEditing();
    void type(const std::string& text);
    void erase();
    void cancel() { typing = false; }
    std::string finish();
    const std::string& typedLabel() const { return typed; }

    // The pointer over the window at (x, y), or off it (x < 0).
    void pointerAt(std::int32_t x, std::int32_t y) {
        pointerX = x;
        pointerY = y;
    }

    // The caption's lines over `pane`: the members, the highlighted one, the member whose
    // trace passes nearest the pointer, the label being typed and the note on members left
    // out; or why the instance shows alone.
    std::vector<std::string> caption(const host::ViewerPane& pane);

private:
    std::int32_t group = 0;
    std::int32_t slot = -1;
    std::unique_ptr<host::group::GroupSegment> segment;
    std::int32_t mappedGroup = 0;
    std::string error;
    host::group::GroupView shown;
    bool delivered = false;
    bool typing = false;
    std::int32_t pointerX = -1;
    std::int32_t pointerY = -1;
    std::string typed;
};

} // namespace vex::lv2
