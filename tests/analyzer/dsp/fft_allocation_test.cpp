// The transforms of up to 1024 points never touch the heap once the process-wide tables
// exist: the audio thread calls them. Nor does a power-spectrum plan once made. Counted on
// this thread, marked as the audio thread.
#include "analyzer/dsp/fft_engine.h"
#include "analyzer/dsp/power_spectrum_plan.h"
#include "tests/analyzer/dsp/dsp_test_support.h"
#include "tests/support/realtime_counters.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

TEST(FftAllocation, NoHeapUpTo1024Points) {
    prepareFftTables();
    test::Random random(21);
    const std::vector<float> x = random.signal(4096);
    std::vector<float> a(4096), b(4096);
    test::resetRealtimeCounts();
    {
        test::AudioThreadScope audioThread;
        for (std::int32_t n = 4; n <= 1024; n *= 2) {
            computePowerSpectrum(n, x.data(), a.data());
            fftRealPacked(n, x.data(), a.data(), b.data());
        }
        for (std::int32_t n = 2; n <= 4096; n *= 2) {
            fftComplex(n, x.data(), x.data(), a.data(), b.data(), false);
            fftComplex(n, x.data(), nullptr, a.data(), b.data(), true);
        }
    }
    EXPECT_EQ(test::realtimeCounts().allocations, 0);
    EXPECT_EQ(test::realtimeCounts().locks, 0);
    // The counter does see the heap: larger power spectra take their scratch from it.
    {
        test::AudioThreadScope audioThread;
        computePowerSpectrum(2048, x.data(), a.data());
    }
    EXPECT_GT(test::realtimeCounts().allocations, 0);
}

TEST(FftAllocation, PlansTransformWithoutHeapOrLocks) {
    test::Random random(22);
    const std::vector<float> x = random.signal(std::size_t{1} << 20);
    std::vector<float> out((std::size_t{1} << 19) + 1);
    for (const std::int32_t n : {1 << 16, 1 << 20}) {
        PowerSpectrumPlan plan(n);
        test::resetRealtimeCounts();
        {
            test::AudioThreadScope audioThread;
            for (int call = 0; call < 3; ++call) {
                plan.powerSpectrum(x.data(), out.data());
            }
        }
        EXPECT_EQ(test::realtimeCounts().allocations, 0) << n;
        EXPECT_EQ(test::realtimeCounts().locks, 0) << n;
    }
}

} // namespace
} // namespace vex
