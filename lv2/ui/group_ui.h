// The UI's side of a group: the members of the instance's group as the voices of the UI's
// display, its own instance highlighted (or another, chosen with Tab), the group's view
// followed, and a caption naming the highlighted member with the label being typed.
// Everything here runs on the host's UI thread; the segment is mapped there, never on the
// audio thread.
#pragma once

#include "host/kit/group/group_reader.h"
#include "host/kit/group/group_segment.h"
#include "host/kit/view/display_session.h"
#include "host/kit/view/group_voices.h"
#include "host/kit/view/paint_surface.h"

#include <cstdint>
#include <functional>
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
    // What a member's frame becomes before the display gets it (the window's tools): the
    // bytes to hand on, or null to drop the frame.
    using FrameFilter =
        std::function<const std::uint8_t*(std::int32_t voice, const std::uint8_t*, std::int32_t)>;
    // Reads the group and hands its members' frames, through `filter`, to `session`
    // (showing `view`). Answers the group's view (0..2), or -1.
    std::int32_t update(host::DisplaySession& session, std::int32_t view,
                        const FrameFilter& filter);
    // The member drawn with the main pens: the one chosen with Tab, else the UI's own.
    std::int32_t highlighted() const { return highlight >= 0 ? highlight : slot; }
    // Whether the last update changed what the display shows.
    bool changed() const { return delivered; }
    // The UI's view choice, for every member.
    void chooseView(std::int32_t view);
    // Highlights the next member (Tab).
    void highlightNext();

    // Label editing: Return starts it and, with text typed, ends it (true: `label` holds
    // the new label to send); Escape cancels.
    bool editing() const { return typing; }
    void startEditing();
    void type(const std::string& text);
    void erase();
    void cancel() { typing = false; }
    std::string finish();

    // The pointer over the window at (x, y), or off it (x < 0).
    void pointerAt(std::int32_t x, std::int32_t y) {
        pointerX = x;
        pointerY = y;
    }

    // The caption's lines, for a `width` x `height` picture of `view`: the members, the
    // highlighted one, the member whose trace passes nearest the pointer, the label being
    // typed and the note on members left out.
    std::vector<std::string> caption(std::int32_t view, std::int32_t width,
                                     std::int32_t height) const;

private:
    std::int32_t group = 0;
    std::int32_t slot = -1;
    std::int32_t highlight = -1; // -1: the UI's own member
    std::unique_ptr<host::group::GroupSegment> segment;
    std::int32_t mappedGroup = 0;
    std::string error;
    host::group::GroupReader reader;
    host::group::GroupVoices voices;
    bool delivered = false;
    bool typing = false;
    std::int32_t pointerX = -1;
    std::int32_t pointerY = -1;
    std::string typed;
};

} // namespace vex::lv2
