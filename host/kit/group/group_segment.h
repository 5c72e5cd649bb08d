// The mapping of a group's shared-memory segment: found (or made) by its name, checked
// against what this build writes, mapped and its pages touched. Everything here runs off
// the audio thread; the mapping it hands out is then used from any thread.
#pragma once

#include "host/kit/group/group_layout.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vex::host::group {

// The segment's name for `group` (1..kGroups) of the calling user:
// "/vex-analyzer-<uid>-group-<N>", with "-<scope>" added when VEX_GROUP_SCOPE is set (a
// word of letters, digits, '-' and '_': separate sets of groups, as the tests use).
std::string segmentName(std::int32_t group);

class GroupSegment {
public:
    // Off the audio thread. Opens the segment `name`, creating it (mode 0600, the size of
    // Segment, header written) when missing, under an exclusive file lock so two processes
    // never both initialise it. Refuses (null, `error` says why) a segment of another
    // owner, with a mode other than 0600, of another size, or whose header is not this
    // version's. Maps it read-write and touches every page before returning.
    static std::unique_ptr<GroupSegment> open(const std::string& name, std::string& error);
    // Opens segmentName(group); null with `error` for a group outside 1..kGroups.
    static std::unique_ptr<GroupSegment> openGroup(std::int32_t group, std::string& error);
    ~GroupSegment();
    GroupSegment(const GroupSegment&) = delete;
    GroupSegment& operator=(const GroupSegment&) = delete;

    Segment& segment() { return *mapped; }
    const Segment& segment() const { return *mapped; }

private:
    explicit GroupSegment(Segment* memory) : mapped(memory) {}
    Segment* mapped;
};

} // namespace vex::host::group
