#include "framework/display/wide_number.h"

#include <limits>

namespace vex {

namespace {

// The zero of each Unicode block of decimal digits 0-9 that the runtime's conversions
// accept besides ASCII (Arabic-Indic, Devanagari, ..., Mongolian, full-width).
constexpr std::uint16_t kDigitZeros[] = {0x0660, 0x06F0, 0x0966, 0x09E6, 0x0A66, 0x0AE6,
                                         0x0B66, 0x0C66, 0x0CE6, 0x0D66, 0x0E50, 0x0ED0,
                                         0x0F20, 0x1040, 0x17E0, 0x1810, 0xFF10};

bool isSpace(MpChar c) {
    return c == u' ' || (c >= 0x09 && c <= 0x0D);
}

// Reads white space, sign and digits of `text`: the magnitude saturated at `limit`
// (reports whether it went past it) and the sign.
struct Magnitude {
    std::uint64_t value = 0;
    bool negative = false;
    bool overflow = false;
};

Magnitude readDecimal(const MpChar* text, std::uint64_t limit) {
    Magnitude result;
    if (text == nullptr) {
        return result;
    }
    while (isSpace(*text)) {
        ++text;
    }
    if (*text == u'-' || *text == u'+') {
        result.negative = *text == u'-';
        ++text;
    }
    for (std::int32_t digit = wideDigitValue(*text); digit >= 0; digit = wideDigitValue(*++text)) {
        if (result.overflow) {
            continue;
        }
        result.value = result.value * 10 + static_cast<std::uint64_t>(digit);
        if (result.value > limit) {
            result.overflow = true;
        }
    }
    return result;
}

} // namespace

std::int32_t wideDigitValue(MpChar c) {
    const auto code = static_cast<std::uint16_t>(c);
    if (code >= u'0' && code <= u'9') {
        return code - u'0';
    }
    for (std::uint16_t zero : kDigitZeros) {
        if (code >= zero && code <= zero + 9) {
            return code - zero;
        }
    }
    return -1;
}

std::uint32_t wideToUnsignedLong(const MpChar* text) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    const Magnitude m = readDecimal(text, kMax);
    // Why saturate before the sign: the runtime does, and then negates in unsigned long, so
    // "-1" gives 4294967295 and a too long negative number gives 1.
    const auto value =
        m.overflow ? static_cast<std::uint32_t>(kMax) : static_cast<std::uint32_t>(m.value);
    return m.negative ? static_cast<std::uint32_t>(0u - value) : value;
}

std::int32_t wideToInt(const MpChar* text) {
    constexpr std::uint64_t kMagnitudeLimit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) + 1;
    const Magnitude m = readDecimal(text, kMagnitudeLimit);
    if (m.negative) {
        if (m.overflow) {
            return std::numeric_limits<std::int32_t>::min();
        }
        return static_cast<std::int32_t>(-static_cast<std::int64_t>(m.value));
    }
    if (m.overflow ||
        m.value > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(m.value);
}

} // namespace vex
