// The power-spectrum plan against a plain double-precision DFT and Parseval's sum, in the
// SSE2 and the AVX lanes (which give the same bits), and its guards.
#include "analyzer/dsp/fft_internal.h"
#include "analyzer/dsp/power_spectrum_plan.h"
#include "tests/analyzer/dsp/dsp_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace vex {
namespace {

int log2Of(std::int32_t n) {
    int bits = 0;
    while ((std::int32_t{1} << bits) < n) {
        ++bits;
    }
    return bits;
}

// Sizes of every path: the engine's (4, 64), the first stage of four (128, 2048, 2^16) and of
// eight points (256, 8192, 2^20), single chunks and the depth-first passes above them.
TEST(PowerSpectrumPlan, WithinItsBoundOfTheDftAndParsevalInBothLaneWidths) {
    for (const std::int32_t n : {4, 64, 128, 256, 2048, 8192, 1 << 16, 1 << 20}) {
        test::Random random(static_cast<std::uint64_t>(n));
        const std::vector<float> x = random.signal(static_cast<std::size_t>(n));
        double energy = 0.0;
        for (const float v : x) {
            energy += static_cast<double>(v) * v;
        }
        const double bound = PowerSpectrumPlan::kRelativeError * log2Of(n);
        const double norm = std::sqrt(n * energy); // sqrt(sum over all n bins of |X[k]|^2)
        std::vector<std::size_t> bins = test::binsToCheck(static_cast<std::size_t>(n));
        bins.erase(std::remove_if(bins.begin(), bins.end(),
                                  [n](std::size_t k) { return k > std::size_t(n / 2); }),
                   bins.end());
        const test::Dft dft(static_cast<std::size_t>(n));
        std::vector<double> magnitudes;
        for (const std::size_t k : bins) {
            magnitudes.push_back(std::abs(dft.bin(x.data(), nullptr, k, -1)));
        }
        PowerSpectrumPlan plan(n);
        std::vector<float> sse2Out;
        for (const bool avx : {false, true}) {
            fft_detail::allowAvx(avx);
            std::vector<float> out(static_cast<std::size_t>(n / 2 + 2), -1.0f);
            plan.powerSpectrum(x.data(), out.data());
            fft_detail::allowAvx(true);
            EXPECT_EQ(out[static_cast<std::size_t>(n / 2 + 1)], -1.0f) << "nothing beyond n/2";
            if (avx) {
                EXPECT_TRUE(test::sameBits(out, sse2Out)) << n << ": lane widths differ";
            }
            sse2Out = out;

            double worst = 0.0, errorSquares = 0.0, magnitudeSquares = 0.0;
            for (std::size_t b = 0; b < bins.size(); ++b) {
                const double error = std::abs(std::sqrt(out[bins[b]]) - magnitudes[b]);
                worst = std::max(worst, error);
                errorSquares += error * error;
                magnitudeSquares += magnitudes[b] * magnitudes[b];
            }
            EXPECT_LE(worst, bound * norm) << n << " avx " << avx;
            // The checked bins as a sample of all: their RMS error against their RMS size.
            EXPECT_LE(std::sqrt(errorSquares / magnitudeSquares), bound) << n << " avx " << avx;

            double sum = static_cast<double>(out[0]) + out[static_cast<std::size_t>(n / 2)];
            for (std::int32_t k = 1; k < n / 2; ++k) {
                sum += 2.0 * out[static_cast<std::size_t>(k)];
            }
            EXPECT_NEAR(sum / (n * energy), 1.0, 2.0 * bound) << n << " avx " << avx;
        }
    }
}

TEST(PowerSpectrumPlan, BadSizesAndNullArraysWriteNothing) {
    const std::vector<float> x(64, 1.0f);
    for (const std::int32_t n : {-8, 0, 2, 3, 96, 1 << 21}) {
        PowerSpectrumPlan plan(n);
        EXPECT_FALSE(plan.usable()) << n;
        EXPECT_EQ(plan.size(), 0) << n;
        std::vector<float> out(64, -1.0f);
        plan.powerSpectrum(x.data(), out.data());
        EXPECT_EQ(std::count(out.begin(), out.end(), -1.0f), 64) << n;
    }
    PowerSpectrumPlan plan(32);
    EXPECT_TRUE(plan.usable());
    EXPECT_EQ(plan.size(), 32);
    std::vector<float> out(64, -1.0f);
    plan.powerSpectrum(nullptr, out.data());
    plan.powerSpectrum(x.data(), nullptr);
    EXPECT_EQ(std::count(out.begin(), out.end(), -1.0f), 64);
}

} // namespace
} // namespace vex
