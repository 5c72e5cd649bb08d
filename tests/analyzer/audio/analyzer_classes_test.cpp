// The analyzer classes directly, for what the wire does not show: the shared window, the
// band-edge constants, and the scope's stale slots.
#include "analyzer/audio/log_band_constants.h"
#include "analyzer/audio/scope_analyzer.h"
#include "analyzer/audio/spectrum_analyzer.h"
#include "analyzer/dsp/window_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

namespace vex {
namespace {

TEST(SpectrumAnalyzerClass, EveryInstanceSharesOneHannTable) {
    std::vector<const float*> seen(4, nullptr);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&seen, t] {
            SpectrumAnalyzer analyzer(t % 2);
            seen[t] = sharedHannTable();
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    SpectrumAnalyzer log(0);
    SpectrumAnalyzer linear(1);
    for (const float* table : seen) {
        EXPECT_EQ(table, sharedHannTable());
    }
    float expected[1024];
    fillWindowTable(expected, 1024, kWindowHann);
    const float* table = sharedHannTable();
    for (int i = 0; i < 1024; ++i) {
        ASSERT_EQ(table[i], expected[i]) << i;
    }
    EXPECT_EQ(table[0], 0.0f);
    EXPECT_EQ(table[511], table[512]);
}

TEST(SpectrumAnalyzerClass, BandEdgePowersAreTheNearestDoublesToTheirDefinition) {
    float x = 0.0f;
    const double half = 1.0f / 96.0f;
    for (int b = 0; b < kLogBands; ++b, x += 1.0f / 48.0f) {
        // The C runtime's pow is within an ulp of the exact value; the table is exact.
        const double low = std::pow(2.0, x - half);
        const double high = std::pow(2.0, x + half);
        ASSERT_LE(std::fabs(kBandEdgeLowPower[b] - low), std::nextafter(low, 1e9) - low) << b;
        ASSERT_LE(std::fabs(kBandEdgeHighPower[b] - high), std::nextafter(high, 1e9) - high) << b;
    }
    // Band positions at 44100 Hz, as bins shifted by half a bin.
    const double r = 1.0f / 44100.0f;
    EXPECT_NEAR(kBandEdgeLowPower[0] * 10.0 * r * 1024.0 + 0.5, 0.7305, 0.00005);
    EXPECT_NEAR(kBandEdgeHighPower[0] * 10.0 * r * 1024.0 + 0.5, 0.7339, 0.00005);
    EXPECT_NEAR(kBandEdgeLowPower[527] * 10.0 * r * 1024.0 + 0.5, 465.85, 0.005);
    EXPECT_NEAR(kBandEdgeHighPower[527] * 10.0 * r * 1024.0 + 0.5, 472.62, 0.005);
}

TEST(ScopeAnalyzerClass, ASignalThatDoesNotStreamKeepsItsSlots) {
    ScopeAnalyzer scope;
    EXPECT_EQ(scope.frameLength(), 200);
    std::vector<float> a(200, 0.25f), b(200, -0.5f);
    EXPECT_FALSE(scope.addSamples(200, 0, AnalyzerInput{a.data(), b.data(), true, true}));
    std::vector<float> a2(50, 1.0f), b2(50, 9.0f);
    scope.addSamples(50, 100, AnalyzerInput{a2.data(), b2.data(), true, false});
    const ScopePayload& p = scope.payload();
    EXPECT_EQ(p.signalAStreaming, 1);
    EXPECT_EQ(p.signalBStreaming, 0);
    EXPECT_EQ(p.samples[100].signalA, 1.0f);
    EXPECT_EQ(p.samples[99].signalA, 0.25f);
    EXPECT_EQ(p.samples[120].signalB, -0.5f) << "not overwritten";
    // A stretch reaching past the frame is cut to it; one outside it changes no sample.
    scope.addSamples(50, 190, AnalyzerInput{a2.data(), nullptr, true, true});
    EXPECT_EQ(p.samples[199].signalA, 1.0f);
    EXPECT_EQ(p.samples[199].signalB, 0.0f) << "a null signal is silence";
    scope.addSamples(10, 200, AnalyzerInput{b2.data(), b2.data(), true, true});
    scope.addSamples(10, -5, AnalyzerInput{b2.data(), b2.data(), true, true});
    EXPECT_EQ(p.samples[0].signalA, 0.25f);
}

} // namespace
} // namespace vex
