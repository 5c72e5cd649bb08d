#include "host/kit/view/group_voices.h"

#include "host/kit/frame_view.h"

#include <algorithm>
#include <cmath>

namespace vex::host::group {

void GroupVoices::update(const GroupReader& reader, std::int32_t view, double sampleRate,
                         std::int32_t highlight, const VoiceSink& sink) {
    const auto wanted = static_cast<std::uint32_t>(frameSizeOf(viewOf(view)));
    otherRateCount = 0;
    shownCount = 0;
    std::array<bool, kSlots> show{};
    for (std::int32_t s = 0; s < kSlots; ++s) {
        const MemberState& member = reader.member(s);
        if (!member.present) {
            continue;
        }
        // Why only outside the log view: its band b is centred on 10 * 2^(b/48) Hz at every
        // sample rate, while a linear bin or a scope sample spans a length that depends on
        // the rate. Why a tolerance of a thousandth of a hertz: the rate travels as a float.
        if (viewOf(view) != View::kLog &&
            std::fabs(static_cast<double>(member.sampleRate) - sampleRate) > 1e-3) {
            ++otherRateCount;
            continue;
        }
        show[static_cast<std::size_t>(s)] = true;
        ++shownCount;
        if (member.fresh && member.bytes == wanted) {
            sink.frame(s, member.frame.data(), static_cast<std::int32_t>(member.bytes));
        }
    }
    std::int32_t chosen =
        highlight >= 0 && highlight < kSlots && show[static_cast<std::size_t>(highlight)]
            ? highlight
            : -1;
    for (std::int32_t s = 0; s < kSlots && chosen < 0; ++s) {
        if (show[static_cast<std::size_t>(s)]) {
            chosen = s;
        }
    }
    bool gatedOn = false;
    for (std::int32_t s = 0; s < kSlots; ++s) {
        const auto i = static_cast<std::size_t>(s);
        if (show[i] != gated[i]) {
            gated[i] = show[i];
            gatedOn = gatedOn || show[i];
            sink.gate(s, show[i] ? 1.0f : 0.0f);
            if (!show[i]) {
                sink.frame(s, nullptr, 0); // a member that left draws nothing
            }
        }
    }
    // The display follows the last voice gated on: the highlighted one goes last.
    if (chosen >= 0 && (chosen != shownHighlight || gatedOn)) {
        sink.gate(chosen, 1.0f);
    }
    shownHighlight = chosen;
}

std::int32_t GroupVoices::nextMember(const GroupReader& reader, std::int32_t slot) const {
    for (std::int32_t step = 1; step <= kSlots; ++step) {
        const std::int32_t s = ((slot < 0 ? -1 : slot) + step + kSlots) % kSlots;
        if (reader.member(s).present && gated[static_cast<std::size_t>(s)]) {
            return s;
        }
    }
    return -1;
}

std::int32_t GroupVoices::nearestMember(const GroupReader& reader, std::int32_t view,
                                        std::int32_t signal, double point, double value) const {
    const auto wanted = static_cast<std::uint32_t>(frameSizeOf(viewOf(view)));
    const std::int32_t points = pointsOf(viewOf(view));
    if (!(point >= 0.0) || signal < 0 || signal > 1) {
        return -1;
    }
    const auto index = static_cast<std::int32_t>(
        std::min(static_cast<double>(points - 1), std::floor(point + 0.5))); // truncates
    std::int32_t nearest = -1;
    double distance = 0.0;
    for (std::int32_t s = 0; s < kSlots; ++s) {
        const MemberState& member = reader.member(s);
        if (!gated[static_cast<std::size_t>(s)] || !member.present || member.bytes != wanted ||
            member.frame[static_cast<std::size_t>(signal)] == 0) {
            continue;
        }
        const float level = frameValue(member.frame.data(), signal, index);
        const double gap = std::fabs(static_cast<double>(level) - value);
        if (std::isfinite(gap) && (nearest < 0 || gap < distance)) {
            nearest = s;
            distance = gap;
        }
    }
    return nearest;
}

std::string GroupVoices::labelOf(const GroupReader& reader, std::int32_t slot) {
    if (slot < 0 || slot >= kSlots) {
        return std::string();
    }
    const std::string& label = reader.member(slot).label;
    return label.empty() ? std::to_string(slot) : label;
}

std::string GroupVoices::note() const {
    if (otherRateCount == 0) {
        return std::string();
    }
    return std::to_string(otherRateCount) +
           (otherRateCount == 1 ? " member at another sample rate is"
                                : " members at other sample rates are") +
           " not shown";
}

} // namespace vex::host::group
