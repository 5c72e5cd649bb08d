// The nine analysis windows: their landmarks, symmetry and sums, the guards, and the bits
// they give in every build.
#include "analyzer/dsp/window_table.h"
#include "tests/analyzer/dsp/dsp_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace vex {
namespace {

std::vector<float> window(WindowType type, std::int32_t n) {
    std::vector<float> table(n, -1.0f);
    fillWindowTable(table.data(), n, type);
    return table;
}

TEST(WindowTable, HannOf1024) {
    const std::vector<float> hann = window(kWindowHann, 1024);
    EXPECT_EQ(hann[0], 0.0f);
    EXPECT_NEAR(hann[1023], 0.0f, 1e-7);
    const auto peak = std::max_element(hann.begin(), hann.end());
    EXPECT_TRUE(peak - hann.begin() == 511 || peak - hann.begin() == 512);
    EXPECT_EQ(hann[511], hann[512]);
    EXPECT_LT(hann[511], 1.0f);
    EXPECT_GT(hann[511], 0.99999f);
}

TEST(WindowTable, PeriodicWindowsPeakAtTheCentre) {
    const std::vector<float> sine = window(kWindowSineSquared, 1024);
    EXPECT_EQ(sine[0], 0.0f);
    EXPECT_EQ(sine[512], 1.0f);
    EXPECT_NEAR(sine[1023], 9.4123e-6, 1e-9); // sin^2(pi/1024), not 0: periodic

    const std::vector<float> welch = window(kWindowWelch, 64);
    EXPECT_EQ(welch[0], 0.0f);
    EXPECT_EQ(welch[32], 1.0f);

    // exp(-k/4) at the edges: e^-3.125, e^-6.125, e^-10.125.
    const double edges[3] = {0.04393693362340742, 0.0021874911181828851, 4.0065297392951e-05};
    for (WindowType type : {kWindowGaussian25, kWindowGaussian35, kWindowGaussian45}) {
        const std::vector<float> gauss = window(type, 1024);
        EXPECT_NEAR(gauss[0], edges[type - kWindowGaussian25], 1e-8) << type;
        EXPECT_EQ(gauss[512], 1.0f) << type;
    }
}

TEST(WindowTable, SymmetricAndPeriodicShapes) {
    for (std::int32_t n : {2, 7, 64, 1024}) {
        for (WindowType type = kWindowSineSquared; type <= kWindowGaussian45; ++type) {
            const std::vector<float> table = window(type, n);
            const bool symmetric = type >= kWindowHamming && type <= kWindowBlackmanHarris;
            for (std::int32_t i = 0; i < n; ++i) {
                // Symmetric windows mirror about (n-1)/2, periodic ones about n/2.
                const std::int32_t mirror = symmetric ? n - 1 - i : (n - i) % n;
                ASSERT_NEAR(table[i], table[mirror], 2e-7) << type << " n " << n << " i " << i;
                ASSERT_GE(table[i], -1e-7f) << type;
                ASSERT_LE(table[i], 1.0f) << type;
            }
        }
    }
    // Edge values of the symmetric windows: their coefficients summed with alternate signs.
    EXPECT_NEAR(window(kWindowHamming, 33)[0], 0.08, 1e-8);
    EXPECT_NEAR(window(kWindowHamming, 33)[16], 1.0, 1e-7);
    EXPECT_NEAR(window(kWindowBlackman, 33)[32], 0.0, 1e-8);
    EXPECT_NEAR(window(kWindowBlackman, 33)[16], 1.0, 1e-7);
    EXPECT_NEAR(window(kWindowBlackmanHarris, 33)[0], 0.00006, 1e-8);
    EXPECT_NEAR(window(kWindowBlackmanHarris, 33)[16], 1.0, 1e-7);
}

TEST(WindowTable, SumsOfTheCosineWindows) {
    // Over whole periods the cosines sum to zero: a symmetric window of n points covers one
    // period in n - 1 steps plus an end point equal to the start.
    const std::int32_t n = 1024;
    auto sum = [](const std::vector<float>& table) {
        double total = 0.0;
        for (float v : table) {
            total += v;
        }
        return total;
    };
    EXPECT_NEAR(sum(window(kWindowSineSquared, n)), n / 2.0, 1e-4);
    EXPECT_NEAR(sum(window(kWindowHann, n)), 0.5 * (n - 1), 1e-4);
    EXPECT_NEAR(sum(window(kWindowHamming, n)), 0.54 * (n - 1) + 0.08, 1e-4);
    EXPECT_NEAR(sum(window(kWindowBlackman, n)), 0.42 * (n - 1), 1e-4);
    EXPECT_NEAR(sum(window(kWindowBlackmanHarris, n)), 0.35875 * (n - 1) + 0.00006, 1e-4);
    // Welch: sum of 4x(1-x) over x = i/n is (2/3)(n - 1/n).
    EXPECT_NEAR(sum(window(kWindowWelch, n)), 2.0 / 3.0 * (n - 1.0 / n), 1e-3);
}

TEST(WindowTable, WritesOverExistingContents) {
    std::vector<float> table(16, 7.0f);
    fillWindowTable(table.data(), 16, kWindowWelch);
    EXPECT_EQ(table, window(kWindowWelch, 16));
}

TEST(WindowTable, BadArgumentsLeaveTheTableUntouched) {
    const std::vector<float> untouched(8, -1.0f);
    for (WindowType type : {-1, 9, 1000}) {
        EXPECT_EQ(window(type, 8), untouched) << type;
    }
    std::vector<float> table(8, -1.0f);
    fillWindowTable(table.data(), 0, kWindowHann);
    fillWindowTable(table.data(), -5, kWindowHann);
    EXPECT_EQ(table, untouched);
    fillWindowTable(nullptr, 8, kWindowHann); // must not crash
    // One point: the periodic formulas give their value at 0; the symmetric ones would
    // divide by zero and write nothing.
    for (WindowType type : {kWindowHamming, kWindowHann, kWindowBlackman, kWindowBlackmanHarris}) {
        EXPECT_EQ(window(type, 1), std::vector<float>{-1.0f}) << type;
    }
    EXPECT_EQ(window(kWindowSineSquared, 1), std::vector<float>{0.0f});
    EXPECT_EQ(window(kWindowGaussian25, 1)[0], static_cast<float>(std::exp(-3.125)));
}

// The analyzer's spectra depend on these bits in both builds: the hash below was recorded
// once and holds in the native and the Windows build alike.
TEST(WindowTable, SameBitsInEveryBuild) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (std::int32_t n : {2, 3, 100, 1023, 1024, 4096}) {
        for (WindowType type = kWindowSineSquared; type <= kWindowGaussian45; ++type) {
            const std::vector<float> table = window(type, n);
            hash = test::hashFloats(table.data(), table.size(), hash);
        }
    }
    EXPECT_EQ(hash, 0xff71de45b08bac01ull);
}

} // namespace
} // namespace vex
