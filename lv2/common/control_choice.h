// A control port's value as one of a whole number of choices, as the DSP and the UI read
// the mode, update-rate, group and slot controls.
#pragma once

#include <cstdint>

namespace vex::lv2 {

// `value` as a whole number in lo..hi, rounded half up; NaN gives lo.
constexpr std::int32_t controlChoice(float value, std::int32_t lo, std::int32_t hi) {
    if (!(value >= static_cast<float>(lo))) {
        return lo;
    }
    if (value >= static_cast<float>(hi)) {
        return hi;
    }
    // Why the offset from lo: a cast truncates towards zero, which rounds a negative
    // value up.
    return lo + static_cast<std::int32_t>(value - static_cast<float>(lo) + 0.5f);
}

} // namespace vex::lv2
