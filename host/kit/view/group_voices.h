// A group's members as the voices of one display: the member in slot s is voice s. Each
// read hands the display every new frame of the view it shows, gates the members present
// (the highlighted one last, so the display draws it in the main colours and the others
// shaded, as it does with followed voices) and clears the voices of members that left.
// Members at another sample rate than the viewer's are shown in the log view, whose bands
// stand for the same frequencies at every rate, and left out (and counted) in the linear
// spectrum and the scope, whose points stand for other frequencies or times there.
#pragma once

#include "host/kit/group/group_reader.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace vex::host::group {

// What the voices go to: a display session, or a host's view around one.
struct VoiceSink {
    std::function<void(std::int32_t voice, const std::uint8_t* bytes, std::int32_t size)> frame;
    std::function<void(std::int32_t voice, float gate)> gate;
};

class GroupVoices {
public:
    // The viewer's thread. Hands what `reader` found (after its read) to `sink`: frames of
    // `view` (0..2) from members at `sampleRate`; `highlight` is the slot shown in the main
    // colours (-1: the lowest present).
    void update(const GroupReader& reader, std::int32_t view, double sampleRate,
                std::int32_t highlight, const VoiceSink& sink);

    // The slot highlighted at the last update, or -1.
    std::int32_t highlighted() const { return shownHighlight; }
    // Members left out at the last update for their sample rate.
    std::int32_t otherRates() const { return otherRateCount; }
    // Members shown at the last update.
    std::int32_t shown() const { return shownCount; }
    // The next present member after `slot` (wrapping), or -1 when none.
    std::int32_t nextMember(const GroupReader& reader, std::int32_t slot) const;
    // The shown member whose trace of `signal` (0 A, 1 B) in `view` passes nearest to
    // `value` (dB in the spectra, the sample value in the scope) at point `point` (a
    // fractional point index), or -1 when no shown member has such a trace.
    std::int32_t nearestMember(const GroupReader& reader, std::int32_t view, std::int32_t signal,
                               double point, double value) const;
    // The label a member shows: its own, or its slot number when it has none.
    static std::string labelOf(const GroupReader& reader, std::int32_t slot);
    // The note the viewer shows when members are left out, or empty.
    std::string note() const;

private:
    std::array<bool, kSlots> gated{};
    std::int32_t shownHighlight = -1;
    std::int32_t otherRateCount = 0;
    std::int32_t shownCount = 0;
};

} // namespace vex::host::group
