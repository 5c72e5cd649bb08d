// The UTF-16 decimal conversions, against one table of cases on both builds; on Windows
// also against the C runtime's own wcstoul and _wtoi.
#include "framework/display/wide_number.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#ifdef _WIN32
#include <cwchar>
#include <stdlib.h>
#endif

namespace vex {
namespace {

constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();

struct NumberCase {
    const MpChar* text;
    std::uint32_t unsignedLong;
    std::int32_t integer;
};

const NumberCase kCases[] = {
    {MP_TEXT("0"), 0u, 0},
    {MP_TEXT("123"), 123u, 123},
    {MP_TEXT("  42"), 42u, 42},
    {MP_TEXT("\t\n\v\f\r7"), 7u, 7},
    {MP_TEXT("+15"), 15u, 15},
    {MP_TEXT("-1"), 4294967295u, -1},
    {MP_TEXT("-0"), 0u, 0},
    {MP_TEXT("12abc"), 12u, 12},
    {MP_TEXT("7,8)"), 7u, 7},
    {MP_TEXT("abc"), 0u, 0},
    {MP_TEXT(""), 0u, 0},
    {MP_TEXT("- 5"), 0u, 0},
    {MP_TEXT("--5"), 0u, 0},
    {MP_TEXT("+-5"), 0u, 0},
    {MP_TEXT("0x1F"), 0u, 0},
    {MP_TEXT("2147483647"), 2147483647u, kIntMax},
    {MP_TEXT("2147483648"), 2147483648u, kIntMax},
    {MP_TEXT("-2147483648"), 2147483648u, kIntMin},
    {MP_TEXT("-2147483649"), 2147483647u, kIntMin},
    {MP_TEXT("4294967295"), 4294967295u, kIntMax},
    {MP_TEXT("4294967296"), 4294967295u, kIntMax},
    {MP_TEXT("-4294967295"), 1u, kIntMin},
    {MP_TEXT("000000000000000000000000012"), 12u, 12},
    {MP_TEXT("99999999999999999999999999"), 4294967295u, kIntMax},
    {MP_TEXT("-99999999999999999999999999"), 1u, kIntMin},
    {MP_TEXT("-4294967296"), 1u, kIntMin},
    // Decimal digits of other scripts count as digits: full-width, Arabic-Indic, Thai.
    {MP_TEXT("\uff11\uff12"), 12u, 12},
    {MP_TEXT("3\u0664"), 34u, 34},
    {MP_TEXT("\u0e59"), 9u, 9},
    {MP_TEXT("5\u0e5a"), 5u, 5},
};

TEST(WideNumberTest, ConversionsFollowTheRuntimeRules) {
    for (const NumberCase& c : kCases) {
        EXPECT_EQ(wideToUnsignedLong(c.text), c.unsignedLong) << testing::PrintToString(c.text);
        EXPECT_EQ(wideToInt(c.text), c.integer) << testing::PrintToString(c.text);
    }
    EXPECT_EQ(wideToUnsignedLong(nullptr), 0u);
    EXPECT_EQ(wideToInt(nullptr), 0);
}

TEST(WideNumberTest, DigitValuesCoverEachScriptsTenDigits) {
    EXPECT_EQ(wideDigitValue(MpChar('0')), 0);
    EXPECT_EQ(wideDigitValue(MpChar('9')), 9);
    EXPECT_EQ(wideDigitValue(MpChar('/')), -1);
    EXPECT_EQ(wideDigitValue(MpChar(':')), -1);
    EXPECT_EQ(wideDigitValue(MpChar(0xFF10)), 0);
    EXPECT_EQ(wideDigitValue(MpChar(0xFF19)), 9);
    EXPECT_EQ(wideDigitValue(MpChar(0xFF1A)), -1);
    EXPECT_EQ(wideDigitValue(MpChar(0x065F)), -1);
}

#ifdef _WIN32
TEST(WideNumberTest, AgreesWithTheWindowsRuntime) {
    for (const NumberCase& c : kCases) {
        EXPECT_EQ(wideToUnsignedLong(c.text),
                  static_cast<std::uint32_t>(std::wcstoul(c.text, nullptr, 10)))
            << testing::PrintToString(c.text);
        EXPECT_EQ(wideToInt(c.text), _wtoi(c.text)) << testing::PrintToString(c.text);
    }
}
#endif

} // namespace
} // namespace vex
