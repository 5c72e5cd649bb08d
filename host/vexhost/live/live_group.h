// `vexhost live --group N`: the window shows every member of group N as a voice (host kit
// groups), and with a source each of vexhost's voices also joins the group as a member.
// The group's view is the window's: keys 1 2 3 choose it for every member, and a member
// that chooses another switches the window.
#pragma once

#include "host/kit/group/group_member.h"
#include "host/kit/group/group_reader.h"
#include "host/kit/group/group_segment.h"
#include "host/kit/view/group_view.h"
#include "host/vexhost/live/live_view.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vex::host {

class LiveGroup {
public:
    // Set-up (main thread): maps group `group`'s segment and claims a slot for each of
    // `joining` voices (0: the window only watches). Throws HostError when the segment is
    // refused.
    LiveGroup(std::int32_t group, std::int32_t joining, double sampleRate);
    LiveGroup(const LiveGroup&) = delete;
    LiveGroup& operator=(const LiveGroup&) = delete;

    // Audio thread, once per block: the joined voices are alive. No system call.
    void beat();
    // The thread that publishes voice `voice`'s frames, one at a time (the audio thread, or
    // the window thread while the feed hands them over, see live_feed.h): a frame into the
    // voice's slot, made by `analysis`. No allocation, lock or system call.
    void publish(std::int32_t voice, const std::uint8_t* bytes, std::int32_t size,
                 Analysis analysis);

    // Window thread: reads the segment and hands the members of the view's mode to `view`
    // (the first joined voice highlighted, else the lowest member).
    void show(LiveView& view);
    // Window thread: highlights the next member (Tab).
    void highlightNext() { shown.highlightNext(ownSlot()); }
    // Window thread: the group's view (0..2), or -1 when none is chosen.
    std::int32_t groupView() const { return group::groupView(segment->segment()); }
    void chooseView(std::int32_t mode) { group::setGroupView(segment->segment(), mode); }
    // Window thread: the difference's reference member, the next one after the current
    // ('v'), or the one labelled `label` (found at each show()).
    void pickReference() { shown.pickReference(ownSlot()); }
    void setReferenceLabel(const std::string& label) { shown.setReferenceLabel(label); }
    // Window thread: members shown and the note on members left out.
    std::int32_t members() const { return shown.members(); }
    std::string note() const { return shown.note(); }
    // The caption over the picture: the members, the highlighted one's label, the member
    // nearest the pointer, the note.
    std::vector<std::string> caption(std::int32_t number) const {
        return shown.caption(number, -1);
    }
    // Window thread: the label of the member whose trace passes nearest the pointer at
    // (x, y) of `view` (x < 0: off the window), or empty when the pointer is outside the
    // plot or no member is near.
    std::string nearest(const LiveView& view, std::int32_t x, std::int32_t y) {
        return shown.nearest(view, x, y);
    }

private:
    // The first joined voice's slot, or -1 when the window only watches.
    std::int32_t ownSlot() const;

    std::unique_ptr<group::GroupSegment> segment;
    std::vector<std::unique_ptr<group::GroupMember>> joined;
    float rate;
    group::GroupView shown;
};

} // namespace vex::host
