// Decimal conversions of UTF-16 text with the rules of the Windows C runtime's wcstoul
// (base 10) and _wtoi, for builds whose runtime has no UTF-16 versions of them.
#pragma once

#include "framework/audio/abi.h"

#include <cstdint>

namespace vex {

// wcstoul(text, nullptr, 10) with a 32-bit unsigned long: skips leading white space
// (tab, line feed, vertical tab, form feed, carriage return, space), takes an optional
// sign, then decimal digits (ASCII and the other Unicode decimal digit ranges the runtime
// accepts). No digits: 0. A magnitude past 4294967295 is taken as 4294967295; a minus
// sign then negates modulo 2^32 (so "-1" gives 4294967295 and a too long negative gives 1).
// `text` is null-terminated; null answers 0.
std::uint32_t wideToUnsignedLong(const MpChar* text);

// _wtoi(text): the same white space, sign and digits, as a signed 32-bit value saturated
// at INT32_MIN and INT32_MAX.
std::int32_t wideToInt(const MpChar* text);

// The decimal value of `c` as the runtime's conversions read it, or -1 for no digit.
std::int32_t wideDigitValue(MpChar c);

} // namespace vex
