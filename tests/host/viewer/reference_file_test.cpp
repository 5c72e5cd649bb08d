// The reference file against its layout stated here byte by byte, every way a file can be
// bad (truncated anywhere, another format or version, non-finite levels), and where a
// reference of another sample rate lies on this display's points.
#include "host/kit/view/reference_trace.h"
#include "tests/support/temp_paths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace vex::host {
namespace {

ReferenceTrace logTrace() {
    ReferenceTrace trace;
    trace.view = 2;
    trace.sampleRate = 48000.0;
    trace.present[0] = true;
    trace.values[0].resize(528);
    for (std::size_t k = 0; k < 528; ++k) {
        trace.values[0][k] = -100.0f + 0.125f * static_cast<float>(k);
    }
    return trace;
}

TEST(ReferenceFile, LayoutAndRoundTrip) {
    const std::vector<std::uint8_t> bytes = encodeReference(logTrace());
    ASSERT_EQ(bytes.size(), 24u + 528u * 8u);
    const std::uint8_t header[24] = {'V', 'X', 'R', 'F', 1, 0, 2, 0,
                                     // 48000.0 as a little-endian double
                                     0x00, 0x00, 0x00, 0x00, 0x00, 0x70, 0xE7, 0x40, 1, 0, 0, 0,
                                     0x10, 0x02, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(bytes.data(), header, 24), 0);
    float a = 0.0f, b = 1.0f;
    std::memcpy(&a, bytes.data() + 24 + 8 * 8, 4); // point 8, signal A
    std::memcpy(&b, bytes.data() + 24 + 8 * 8 + 4, 4);
    EXPECT_EQ(a, -99.0f);
    EXPECT_EQ(b, 0.0f) << "an absent signal is written 0";

    ReferenceTrace read;
    std::string error;
    ASSERT_TRUE(decodeReference(bytes.data(), bytes.size(), read, error)) << error;
    EXPECT_EQ(read.view, 2);
    EXPECT_EQ(read.sampleRate, 48000.0);
    EXPECT_FALSE(read.present[1]);
    EXPECT_EQ(read.values[0], logTrace().values[0]);
}

TEST(ReferenceFile, BadFilesSayWhatIsWrongAndChangeNothing) {
    const std::vector<std::uint8_t> good = encodeReference(logTrace());
    ReferenceTrace kept;
    kept.view = 0; // a trace already there must survive every failed read
    std::string error;
    for (std::size_t size = 0; size < good.size(); ++size) {
        std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<long>(size));
        EXPECT_FALSE(decodeReference(cut.data(), cut.size(), kept, error)) << size;
        if (size >= 4) {
            EXPECT_NE(error.find("truncated"), std::string::npos) << size << ": " << error;
        }
    }
    auto other = good;
    other[0] = 'P'; // a PNG's or any other file's first bytes
    EXPECT_FALSE(decodeReference(other.data(), other.size(), kept, error));
    EXPECT_NE(error.find("not a reference file"), std::string::npos);
    auto version = good;
    version[4] = 2;
    EXPECT_FALSE(decodeReference(version.data(), version.size(), kept, error));
    EXPECT_NE(error.find("version 2"), std::string::npos);
    for (const float bad : {NAN, INFINITY, -INFINITY}) {
        auto levels = good;
        std::memcpy(levels.data() + 24 + 8 * 300, &bad, 4);
        EXPECT_FALSE(decodeReference(levels.data(), levels.size(), kept, error));
        EXPECT_NE(error.find("point 300 is not a finite value"), std::string::npos) << error;
    }
    auto longer = good;
    longer.push_back(0);
    EXPECT_FALSE(decodeReference(longer.data(), longer.size(), kept, error));
    auto count = good;
    count[20] = 0x00; // 512 points for the log view
    EXPECT_FALSE(decodeReference(count.data(), count.size(), kept, error));
    EXPECT_EQ(kept.view, 0);
    EXPECT_TRUE(kept.values[0].empty());

    const vex::test::TempPath file("vex-reference", ".vxrf");
    const std::string path = file.u8string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(good.data()), 100);
    EXPECT_FALSE(loadReference(path, kept, error));
    EXPECT_EQ(error.rfind(path + ": truncated", 0), 0u) << error;
    std::remove(path.c_str());
    EXPECT_FALSE(loadReference(path, kept, error));
    EXPECT_EQ(kept.view, 0);
}

TEST(ReferenceFile, SavedWholeAndAlignedByFrequency) {
    const vex::test::TempPath file("vex-reference", ".vxrf");
    const std::string path = file.u8string();
    std::string error;
    ASSERT_TRUE(saveReference(path, logTrace(), error)) << error;
    ReferenceTrace read;
    ASSERT_TRUE(loadReference(path, read, error)) << error;
    EXPECT_EQ(read.values[0][527], -100.0f + 0.125f * 527.0f);

    // Linear: bin j of a 96 kHz reference is j * 93.75 Hz, so bin k of a 48 kHz display
    // (k * 46.875 Hz) lies at j = k / 2. Scope: sample j at 96 kHz is j / 96000 s, so
    // sample k at 48 kHz lies at j = 2k. Log bands are the same at any rate.
    ReferenceTrace linear;
    linear.view = 1;
    linear.sampleRate = 96000.0;
    linear.present[1] = true;
    linear.values[1].resize(512);
    for (std::size_t j = 0; j < 512; ++j) {
        linear.values[1][j] = static_cast<float>(j) * 2.0f;
    }
    EXPECT_DOUBLE_EQ(referenceIndex(linear, 1, 48000.0, 10), 5.0);
    EXPECT_DOUBLE_EQ(referenceValueAt(linear, 1, referenceIndex(linear, 1, 48000.0, 11)), 11.0);
    EXPECT_DOUBLE_EQ(referenceIndex(linear, 1, 192000.0, 300), 600.0);
    EXPECT_TRUE(std::isnan(referenceValueAt(linear, 1, 600.0))) << "past the reference's bins";
    EXPECT_TRUE(std::isnan(referenceValueAt(linear, 0, 5.0))) << "signal A absent";
    EXPECT_TRUE(std::isnan(referenceIndex(linear, 2, 48000.0, 10))) << "another view";
    ReferenceTrace scope;
    scope.view = 0;
    scope.sampleRate = 96000.0;
    EXPECT_DOUBLE_EQ(referenceIndex(scope, 0, 48000.0, 10), 20.0);
    EXPECT_DOUBLE_EQ(referenceIndex(logTrace(), 2, 44100.0, 77), 77.0);
}

} // namespace
} // namespace vex::host
