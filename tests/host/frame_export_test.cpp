// The frames command's CSV and JSON: kinds by length, absent signals left out, values
// that read back exactly.
#include "host/vexhost/output/frame_export.h"
#include "tests/host/csv_fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>

namespace vex::host {
namespace {

RecordedFrame makeFrame(std::int32_t points, bool a, bool b, std::int64_t sample,
                        std::int32_t voice) {
    RecordedFrame frame{sample, voice, std::vector<std::uint8_t>(4 + 8 * points, 0xEE)};
    frame.bytes[0] = a ? 1 : 0;
    frame.bytes[1] = b ? 1 : 0;
    for (std::int32_t i = 0; i < points; ++i) {
        const float valueA = 0.25f * i - 3.0f;
        const float valueB = -1.0f / (i + 1);
        std::memcpy(frame.bytes.data() + 4 + 8 * i, &valueA, 4);
        std::memcpy(frame.bytes.data() + 8 + 8 * i, &valueB, 4);
    }
    return frame;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

using test::csvFields;

TEST(FrameExportTest, KindsFollowTheLength) {
    EXPECT_EQ(frameKind(0), FrameKind::empty);
    EXPECT_EQ(frameKind(1604), FrameKind::scope);
    EXPECT_EQ(frameKind(4100), FrameKind::linear);
    EXPECT_EQ(frameKind(4228), FrameKind::log);
    EXPECT_EQ(frameKind(1603), FrameKind::unknown);
    EXPECT_EQ(framePoints(FrameKind::log), 528);
    EXPECT_EQ(framePoints(FrameKind::unknown), 0);
}

TEST(FrameExportTest, CsvHasOneRowPerPointAndLeavesAbsentSignalsEmpty) {
    std::vector<RecordedFrame> frames;
    frames.push_back(RecordedFrame{0, 1, {}});
    frames.push_back(makeFrame(200, true, false, 4800, 2));
    frames.push_back(RecordedFrame{4900, 0, std::vector<std::uint8_t>(10, 1)});
    std::ostringstream out;
    writeFramesCsv(out, frames, 48000.0);
    const auto rows = lines(out.str());
    ASSERT_EQ(rows.size(), 1u + 1u + 200u + 1u);
    EXPECT_EQ(rows[0], "time,sample,voice,kind,bytes,a_streaming,b_streaming,index,hz,a,b");
    EXPECT_EQ(rows[1], "0,0,1,empty,0,,,,,,");
    const auto first = csvFields(rows[2]);
    ASSERT_EQ(first.size(), 11u);
    EXPECT_EQ(first[0], "0.1");
    EXPECT_EQ(first[1], "4800");
    EXPECT_EQ(first[2], "2");
    EXPECT_EQ(first[3], "scope");
    EXPECT_EQ(first[5], "1");
    EXPECT_EQ(first[6], "0");
    EXPECT_EQ(first[7], "0");
    EXPECT_EQ(first[8], "");
    EXPECT_EQ(first[9], "-3");
    EXPECT_EQ(first[10], "") << "signal B's stale slots are not printed";
    EXPECT_EQ(csvFields(rows[201])[9], "46.75");
    EXPECT_EQ(rows[202], "0.10208333333333333,4900,0,unknown,10,,,,,,");
}

TEST(FrameExportTest, SpectrumRowsCarryTheirCentreFrequency) {
    std::ostringstream linear;
    writeFramesCsv(linear, {makeFrame(512, true, true, 0, 0)}, 48000.0);
    const auto linearRows = lines(linear.str());
    EXPECT_EQ(csvFields(linearRows[1 + 64])[8], "3000");
    EXPECT_EQ(csvFields(linearRows[1 + 64])[10], formatFloat(-1.0f / 65));
    std::ostringstream log;
    writeFramesCsv(log, {makeFrame(528, false, true, 0, 0)}, 48000.0);
    const auto logRows = lines(log.str());
    ASSERT_EQ(logRows.size(), 529u);
    EXPECT_NEAR(std::stod(csvFields(logRows[1 + 48])[8]), 20.0, 1e-9);
    EXPECT_NEAR(std::stod(csvFields(logRows[1 + 527])[8]), 10.0 * std::pow(2.0, 527.0 / 48.0),
                1e-6);
    EXPECT_EQ(csvFields(logRows[1])[9], "");
}

TEST(FrameExportTest, JsonNamesPresenceAndWritesNullsForAbsentOrNonFiniteValues) {
    RecordedFrame frame = makeFrame(200, true, false, 96, 3);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(frame.bytes.data() + 4, &nan, 4);
    std::ostringstream out;
    writeFramesJson(out, {RecordedFrame{0, 0, {}}, frame}, 48000.0);
    const std::string text = out.str();
    EXPECT_EQ(text.rfind("{\"sampleRate\":48000,\"frames\":[", 0), 0u) << text.substr(0, 60);
    EXPECT_NE(text.find("{\"time\":0,\"sample\":0,\"voice\":0,\"kind\":\"empty\",\"bytes\":0,"
                        "\"aStreaming\":false,\"bStreaming\":false,\"a\":null,\"b\":null}"),
              std::string::npos);
    EXPECT_NE(text.find("\"time\":0.002,\"sample\":96,\"voice\":3,\"kind\":\"scope\",\"bytes\":"
                        "1604,\"aStreaming\":true,\"bStreaming\":false,\"a\":[null,-2.75,"),
              std::string::npos);
    EXPECT_NE(text.find("46.75],\"b\":null}"), std::string::npos);
    std::ostringstream spectrum;
    writeFramesJson(spectrum, {makeFrame(512, true, false, 0, 0)}, 48000.0);
    EXPECT_EQ(spectrum.str().rfind("{\"sampleRate\":48000,\"hz\":[0,46.875,93.75,", 0), 0u);
}

TEST(FrameExportTest, FloatTextReadsBackToTheSameBits) {
    std::mt19937 random(2024);
    for (int i = 0; i < 5000; ++i) {
        std::uint32_t bits = random();
        float value;
        std::memcpy(&value, &bits, 4);
        if (!std::isfinite(value)) {
            continue;
        }
        const std::string text = formatFloat(value);
        ASSERT_EQ(std::strtof(text.c_str(), nullptr), value) << text;
    }
    EXPECT_EQ(formatFloat(std::numeric_limits<float>::infinity()), "inf");
    EXPECT_EQ(formatFloat(std::numeric_limits<float>::quiet_NaN()), "nan");
}

} // namespace
} // namespace vex::host
