// A group's view in a viewer pane, the same in every host: the members of the group's
// segment as the pane's voices (host/kit/view/group_voices.h: gates, the highlighted one
// last, members at another rate left out), a member chosen with Tab, the member whose trace
// passes nearest the pointer, and the caption naming them. The viewer's thread.
#pragma once

#include "host/kit/group/group_reader.h"
#include "host/kit/group/group_segment.h"
#include "host/kit/view/group_voices.h"
#include "host/kit/view/viewer_pane.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vex::host::group {

// The present members of `reader` whose analysis is not member `highlighted`'s, each named
// with its analysis after it ("Kick (module)"), in slot order and joined by ", "; empty
// when every member shares it or `highlighted` is not a present member. For the caption.
std::string otherAnalyses(const GroupReader& reader, std::int32_t highlighted);

class GroupView {
public:
    // Reads `segment` and hands the members of the pane's view to `pane`: their new frames
    // at the pane's clock, their gates. `own` is the viewer's own slot (-1: none), shown
    // highlighted unless another member is chosen; `sampleRate` the viewer's, which members
    // must share outside the log view. True when what the pane shows changed.
    bool update(const GroupSegment& segment, ViewerPane& pane, std::int32_t own, double sampleRate);
    // Highlights the next member (Tab); back to `own` when the turn comes to it.
    void highlightNext(std::int32_t own);
    // The member drawn with the main pens: the one chosen, else `own`.
    std::int32_t chosenOr(std::int32_t own) const { return chosen >= 0 ? chosen : own; }
    // The group's view as last read (0..2), or -1 when none is chosen.
    std::int32_t view() const { return reader.view(); }
    std::int32_t members() const { return reader.memberCount(); }
    const GroupReader& read() const { return reader; }
    // The note on members left out, or empty.
    std::string note() const { return voices.note(); }
    // The label of the member whose trace passes nearest the pointer at (x, y) of `pane`,
    // read in the pane the pointer is over, or empty (the pointer outside the plot, or off
    // the window: x < 0). Kept for the caption.
    std::string nearest(const ViewerPane& pane, std::int32_t x, std::int32_t y);
    // The difference's reference member: the next present member after the current
    // reference that is not the highlighted one ('v'); none when there is no other.
    void pickReference(std::int32_t own);
    // The reference named by its label (a saved state's, an option's), found among the
    // members at each update; an empty label picks none.
    void setReferenceLabel(const std::string& label);
    // The reference's slot (-1: none) and label as picked or named (empty: none).
    std::int32_t reference() const { return referenceSlot; }
    const std::string& referenceLabel() const { return referenceName; }
    // The caption of group `number`: its members and the highlighted one ("this one" when
    // it is `own`), the members whose analysis is not the highlighted one's, the member
    // nearest the pointer, `extra` when not empty, and the note.
    std::vector<std::string> caption(std::int32_t number, std::int32_t own,
                                     const std::string& extra = std::string()) const;

private:
    GroupReader reader;
    GroupVoices voices;
    double rate = 48000.0;
    std::int32_t chosen = -1; // the member chosen with Tab, or -1: the viewer's own
    std::string pointed;      // the label nearest the pointer, as last found

    // Hands the pane's tools the reference and why it cannot be compared, if it cannot.
    void updateReference(ViewerPane& pane, std::int32_t own);
    std::int32_t referenceSlot = -1;
    std::uint32_t referencePid = 0; // the member the slot held when picked
    std::string referenceName;      // its label, or the label asked for
    bool referenceLeft = false;
};

} // namespace vex::host::group
