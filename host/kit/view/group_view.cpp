#include "host/kit/view/group_view.h"

#include "host/kit/group/group_member.h"
#include "host/kit/view/plot_axes.h"

#include <cmath>

namespace vex::host::group {

std::string otherAnalyses(const GroupReader& reader, std::int32_t highlighted) {
    std::string names;
    if (highlighted < 0 || highlighted >= kSlots || !reader.member(highlighted).present) {
        return names;
    }
    const Analysis shared = reader.member(highlighted).analysis;
    for (std::int32_t slot = 0; slot < kSlots; ++slot) {
        const MemberState& member = reader.member(slot);
        if (member.present && member.analysis != shared) {
            names += (names.empty() ? "" : ", ") + GroupVoices::labelOf(reader, slot) + " (" +
                     analysisName(member.analysis) + ")";
        }
    }
    return names;
}

bool GroupView::update(const GroupSegment& segment, ViewerPane& pane, std::int32_t own,
                       double sampleRate) {
    rate = sampleRate;
    reader.read(&segment.segment(), kSegmentBytes, monotonicNanos());
    bool delivered = false;
    VoiceSink sink;
    sink.frame = [&](std::int32_t voice, const std::uint8_t* bytes, std::int32_t size) {
        pane.take(voice, bytes, size, pane.sample());
        delivered = true;
    };
    sink.gate = [&](std::int32_t voice, float gate) {
        pane.setGate(voice, gate);
        delivered = true;
    };
    voices.update(reader, pane.mode(), rate, chosenOr(own), sink);
    updateReference(pane, own);
    return delivered;
}

void GroupView::pickReference(std::int32_t own) {
    const std::int32_t shown = voices.highlighted() >= 0 ? voices.highlighted() : own;
    std::int32_t slot = referenceSlot;
    for (std::int32_t tries = 0; tries < kSlots; ++tries) {
        slot = (slot + 1) % kSlots;
        if (reader.member(slot).present && slot != shown) {
            referenceSlot = slot;
            referencePid = reader.member(slot).pid;
            referenceName = reader.member(slot).label;
            referenceLeft = false;
            return;
        }
    }
    referenceSlot = -1;
    referenceName.clear();
}

void GroupView::setReferenceLabel(const std::string& label) {
    referenceSlot = -1;
    referenceName = label;
    referenceLeft = false;
}

void GroupView::updateReference(ViewerPane& pane, std::int32_t own) {
    std::string problem;
    if (referenceSlot < 0 && !referenceName.empty()) {
        // A reference named by its label: taken once exactly one present member has it.
        std::int32_t found = -1;
        std::int32_t count = 0;
        for (std::int32_t slot = 0; slot < kSlots; ++slot) {
            if (reader.member(slot).present && reader.member(slot).label == referenceName) {
                found = slot;
                ++count;
            }
        }
        if (count == 1) {
            referenceSlot = found;
            referencePid = reader.member(found).pid;
        } else {
            problem = count == 0 ? "no member is labelled " + referenceName
                                 : std::to_string(count) + " members are labelled " +
                                       referenceName + ": pick the reference (v)";
        }
    }
    if (referenceSlot >= 0) {
        const MemberState& ref = reader.member(referenceSlot);
        referenceLeft = referenceLeft || !ref.present || ref.pid != referencePid;
        const std::int32_t shown = voices.highlighted() >= 0 ? voices.highlighted() : own;
        const MemberState* subject = shown >= 0 ? &reader.member(shown) : nullptr;
        const std::string name = GroupVoices::labelOf(reader, referenceSlot);
        if (referenceLeft) {
            problem = "the reference " + (referenceName.empty() ? "member" : referenceName) +
                      " left: pick another (v)";
        } else if (ref.bytes != 0 &&
                   ref.bytes != static_cast<std::uint32_t>(frameSizeOf(pane.view()))) {
            problem = "the reference " + name + " shows another view";
        } else if (subject != nullptr && subject->present && subject->analysis != ref.analysis) {
            problem = "the reference " + name + " uses another analysis";
        } else if (pane.view() == View::kLinear &&
                   std::fabs(static_cast<double>(ref.sampleRate) - rate) > 1e-3) {
            problem = "the reference " + name + " runs at another sample rate";
        } else if (shown == referenceSlot) {
            problem = name + " is the reference itself";
        }
    }
    pane.tools().setDifferenceReference(
        true, referenceLeft ? -1 : referenceSlot,
        referenceSlot >= 0 ? GroupVoices::labelOf(reader, referenceSlot) : referenceName);
    pane.tools().setDifferenceProblem(problem);
}

void GroupView::highlightNext(std::int32_t own) {
    const std::int32_t next = voices.nextMember(reader, voices.highlighted());
    chosen = next == own ? -1 : next;
}

std::string GroupView::nearest(const ViewerPane& pane, std::int32_t x, std::int32_t y) {
    pointed.clear();
    if (x < 0) {
        return pointed;
    }
    x = pane.unitOf(x);
    y = pane.unitOf(y);
    const PlotLayout layout = pane.layout();
    const CursorReading reading = readCursor(pane.mode(), layout, pane.split(), x, y, rate);
    if (!reading.inside) {
        return pointed;
    }
    // The pane the pointer is over: signal A's, or B's when the display splits them.
    const PlotPane& over = reading.signal == 0 ? layout.paneA : layout.paneB;
    const double point = pane.view() == View::kScope
                             ? scopeSampleAt(over, x)
                             : spectrumPointAt(over, x, pointsOf(pane.view()));
    const std::int32_t slot =
        voices.nearestMember(reader, pane.mode(), reading.signal, point, reading.level);
    pointed = slot >= 0 ? GroupVoices::labelOf(reader, slot) : std::string();
    return pointed;
}

std::vector<std::string> GroupView::caption(std::int32_t number, std::int32_t own,
                                            const std::string& extra) const {
    std::vector<std::string> lines;
    std::string head = "group " + std::to_string(number) + ": " +
                       std::to_string(reader.memberCount()) + " members";
    const std::int32_t shown = voices.highlighted();
    if (shown >= 0) {
        head += ", highlighted " + GroupVoices::labelOf(reader, shown);
        if (shown == own) {
            head += " (this one)";
        }
    }
    lines.push_back(head);
    const std::string others = otherAnalyses(reader, shown);
    if (!others.empty()) {
        lines.push_back("another analysis: " + others);
    }
    if (!pointed.empty()) {
        lines.push_back("nearest the pointer: " + pointed);
    }
    if (!extra.empty()) {
        lines.push_back(extra);
    }
    if (!voices.note().empty()) {
        lines.push_back(voices.note());
    }
    return lines;
}

} // namespace vex::host::group
