// The frame layouts as a receiver reads them: bytes at fixed offsets of the value.
#include "analyzer/audio/analyzer_messages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace vex {
namespace {

template <typename Payload> std::vector<std::uint8_t> wire(const Payload& payload) {
    std::vector<std::uint8_t> bytes(sizeof(Payload));
    std::memcpy(bytes.data(), &payload, sizeof(Payload));
    return bytes;
}

float floatAt(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    float value = 0.0f;
    std::memcpy(&value, bytes.data() + offset, sizeof(value));
    return value;
}

TEST(AnalyzerMessages, RecordsSitAtFourPlusEightTimesTheirIndexAndReservedBytesAreZero) {
    LogSpectrumPayload log{};
    log.signalAStreaming = 1;
    log.levels[0].signalA = -1.5f;
    log.levels[527].signalB = 19.25f;
    const auto logBytes = wire(log);
    EXPECT_EQ(logBytes.size(), 4228u);
    EXPECT_EQ(logBytes[0], 1);
    EXPECT_EQ(logBytes[1], 0);
    EXPECT_EQ(logBytes[2], 0);
    EXPECT_EQ(logBytes[3], 0);
    EXPECT_EQ(floatAt(logBytes, 4), -1.5f);
    EXPECT_EQ(floatAt(logBytes, 4224), 19.25f);

    LinearSpectrumPayload linear{};
    linear.levels[511].signalA = 3.0f;
    const auto linearBytes = wire(linear);
    EXPECT_EQ(linearBytes.size(), 4100u);
    EXPECT_EQ(floatAt(linearBytes, 4 + 8 * 511), 3.0f);

    ScopePayload scope{};
    scope.signalBStreaming = 1;
    scope.samples[199].signalB = 0.75f;
    const auto scopeBytes = wire(scope);
    EXPECT_EQ(scopeBytes.size(), 1604u);
    EXPECT_EQ(scopeBytes[1], 1);
    EXPECT_EQ(floatAt(scopeBytes, 8 + 8 * 199), 0.75f);
    // Little-endian IEEE: 0.75f is 0x3F400000, its high byte last.
    EXPECT_EQ(scopeBytes[1603], 0x3F);
    EXPECT_EQ(scopeBytes[1602], 0x40);
}

} // namespace
} // namespace vex
