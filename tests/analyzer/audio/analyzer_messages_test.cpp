// The frame layouts as a receiver reads them: bytes at fixed offsets of the value, and the
// header bytes of the frames the plug-in's audio object sends.
#include "analyzer/audio/analyzer_messages.h"
#include "tests/analyzer/audio/analyzer_harness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

namespace vex::test {
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

TEST(AnalyzerMessages, RecordsSitAtFourPlusEightTimesTheirIndex) {
    LogSpectrumPayload log{};
    log.signalAStreaming = 1;
    log.levels[0].signalA = -1.5f;
    log.levels[527].signalB = 19.25f;
    const auto logBytes = wire(log);
    EXPECT_EQ(logBytes.size(), 4228u);
    EXPECT_EQ(logBytes[0], 1);
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

// Every frame sent, in each mode and with each input streaming or not, switching between
// them mid-stream: a header of the two presence bytes (0 or 1) and two zero bytes, and the
// length of its kind.
TEST(AnalyzerMessages, FramesSentCarryPresenceBytesAndZeroReservedBytes) {
    AnalyzerHarness h;
    ASSERT_TRUE(h.ready());
    h.open();
    h.setInt(kAudioRatePin, 7);
    // Neither input is silent, so sample bytes that reached a header would show there.
    const auto a = [](std::int64_t i) { return std::sin(0.05f * static_cast<float>(i)) * 0.99f; };
    const auto b = [](std::int64_t i) { return i % 37 < 18 ? -0.999f : 0.999f; };
    const std::int32_t kSizes[] = {kScopePayloadSize, kLinearSpectrumPayloadSize,
                                   kLogSpectrumPayloadSize};
    std::set<std::pair<int, int>> presence[3];
    std::size_t checked = 0;
    for (std::int32_t mode : {0, 1, 2, 0, 2, 1}) {
        h.setInt(kAudioModePin, mode);
        for (const auto& [onA, onB] : {std::pair{true, true}, {true, false}, {false, true}}) {
            h.streaming(kAudioSignalAPin, onA);
            h.streaming(kAudioSignalBPin, onB);
            h.run(9600, 128, a, b);
            const auto frames = h.frames();
            for (; checked < frames.size(); ++checked) {
                const std::vector<std::uint8_t>& bytes = frames[checked].bytes;
                ASSERT_EQ(bytes.size(), static_cast<std::size_t>(kSizes[mode]))
                    << "frame " << checked << ", mode " << mode;
                EXPECT_LE(bytes[0], 1) << "frame " << checked;
                EXPECT_LE(bytes[1], 1) << "frame " << checked;
                EXPECT_EQ(bytes[2], 0) << "frame " << checked << ", mode " << mode;
                EXPECT_EQ(bytes[3], 0) << "frame " << checked << ", mode " << mode;
                presence[mode].insert({bytes[0], bytes[1]});
            }
        }
    }
    // Each mode sent frames with both inputs, with A only and with B only. (A mode change
    // during the hold-off may also send one frame of an analyzer that has added nothing
    // yet: presence 0 and 0.)
    for (const auto& seen : presence) {
        for (const auto& streaming : {std::pair{1, 1}, {1, 0}, {0, 1}}) {
            EXPECT_EQ(seen.count(streaming), 1u) << streaming.first << streaming.second;
        }
    }
}

} // namespace
} // namespace vex::test
