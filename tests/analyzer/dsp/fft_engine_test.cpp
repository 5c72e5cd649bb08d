// The FFT engine against a plain double-precision DFT, its sign and packing conventions,
// its guards, and the bits it gives in every build.
#include "analyzer/dsp/fft_constants.h"
#include "analyzer/dsp/fft_engine.h"
#include "tests/analyzer/dsp/dsp_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <utility>

namespace vex {
namespace {

using test::binsToCheck;
using test::Dft;
using test::Random;

// One size beyond the tables (which reach 65536 points).
constexpr std::size_t kBeyondTables = 131072;

constexpr double kFloatEpsilon = 1.0 / (1 << 24);

int log2Of(std::size_t n) {
    int bits = 0;
    while ((std::size_t{1} << bits) < n) {
        ++bits;
    }
    return bits;
}

// Error bound of a radix-2 transform in single precision, per bin, for an input of the
// given Euclidean norm: about one rounding step per pass. The real transforms add the
// error of their single-precision rotation recurrence, some three times as much.
double binTolerance(std::size_t n, double inputNorm, double roundingSteps = 1.0) {
    return roundingSteps * kFloatEpsilon * (log2Of(n) + 1) * inputNorm;
}

TEST(BitReverseTables, HoldEveryReversalUpToSixteenBits) {
    const BitReverseTables& tables = bitReverseTables();
    const std::int32_t* three = tables.forBits(3);
    const std::vector<std::int32_t> expected{0, 4, 2, 6, 1, 5, 3, 7};
    EXPECT_EQ(std::vector<std::int32_t>(three, three + 8), expected);

    for (int bits = 1; bits <= BitReverseTables::kMaxBits; ++bits) {
        const std::int32_t* table = tables.forBits(bits);
        const std::int32_t count = std::int32_t{1} << bits;
        std::int32_t mismatches = 0;
        for (std::int32_t j = 0; j < count; ++j) {
            // Independent of the table's own loop: bit b of j lands at bit (bits-1-b).
            std::int32_t reversed = 0;
            for (int b = 0; b < bits; ++b) {
                if (j & (1 << b)) {
                    reversed |= 1 << (bits - 1 - b);
                }
            }
            mismatches += table[j] != reversed;
        }
        EXPECT_EQ(mismatches, 0) << bits << " bits";
    }
    EXPECT_EQ(&bitReverseTables(), &tables) << "built once";
}

TEST(BitReverseTables, BitByBitReversalBeyondTheTables) {
    EXPECT_EQ(reverseBits(1, 17), 1 << 16);
    EXPECT_EQ(reverseBits(0x12345, 17), 0x14589); // 1 0010 0011 0100 0101 reversed
    EXPECT_EQ(reverseBits(3, 30), 3 << 28);
    Random random(17);
    for (int i = 0; i < 1000; ++i) {
        const std::int32_t j = static_cast<std::int32_t>(random.next() & 0x3fffffff);
        EXPECT_EQ(reverseBits(reverseBits(j, 30), 30), j);
    }
}

#ifndef _WIN32 // The Windows runtime's sine is not accurate near multiples of pi.
TEST(RotationConstants, AreTheSinesAndCosinesOfTheirAngles) {
    // The literals stand in for the runtime's sin and cos: each must be the double nearest
    // the true value, checked against the wider long double functions.
    static_assert(sizeof(long double) > sizeof(double), "needs the x87 extended type");
    const long double twoPi = 6.283185307179586;
    for (int k = 0; k <= 30; ++k) {
        const long double angle = twoPi / (1LL << k);
        for (const auto& [literal, exact] :
             {std::pair<double, long double>{kSinTwoPiOver[k], std::sin(angle)},
              std::pair<double, long double>{kCosTwoPiOver[k], std::cos(angle)}}) {
            const long double halfUlp = std::ldexp(std::fabs(literal), -53);
            EXPECT_LE(std::fabs(literal - exact), halfUlp * 1.001L) << k;
        }
    }
    for (int h = 1; h < 30; ++h) {
        const double theta = static_cast<float>(3.141592653589793 / (1 << h));
        EXPECT_EQ(kSplitSinHalfTheta[h], static_cast<float>(std::sin(0.5 * theta))) << h;
        EXPECT_EQ(kSplitSinTheta[h], static_cast<float>(std::sin(theta))) << h;
    }
}
#endif

// Forward and inverse transforms of seeded complex noise against the DFT, every size
// from 2 to 65536 and one beyond the tables.
TEST(FftComplex, MatchesTheDftAtEveryPowerOfTwo) {
    Random random(4);
    for (std::size_t n = 2; n <= kBeyondTables; n *= 2) {
        const std::vector<float> re = random.signal(n);
        const std::vector<float> im = random.signal(n);
        const double norm = test::norm2(re, im);
        const Dft dft(n);
        for (bool inverse : {false, true}) {
            std::vector<float> outRe(n), outIm(n);
            fftComplex(static_cast<std::int32_t>(n), re.data(), im.data(), outRe.data(),
                       outIm.data(), inverse);
            const double scale = inverse ? 1.0 / static_cast<double>(n) : 1.0;
            double worst = 0.0;
            for (std::size_t k : binsToCheck(n)) {
                const std::complex<double> expected =
                    dft.bin(re.data(), im.data(), k, inverse ? -1 : +1) * scale;
                worst =
                    std::max(worst, std::abs(std::complex<double>(outRe[k], outIm[k]) - expected));
            }
            EXPECT_LE(worst, binTolerance(n, norm) * scale)
                << "n " << n << (inverse ? " inverse" : " forward");
        }
    }
}

TEST(FftComplex, NullImaginaryInputIsZero) {
    Random random(5);
    for (std::int32_t n : {2, 16, 1024}) {
        const std::vector<float> re = random.signal(n);
        const std::vector<float> zeros(n, 0.0f);
        std::vector<float> aRe(n), aIm(n), bRe(n), bIm(n);
        fftComplex(n, re.data(), nullptr, aRe.data(), aIm.data(), false);
        fftComplex(n, re.data(), zeros.data(), bRe.data(), bIm.data(), false);
        EXPECT_TRUE(test::sameBits(aRe, bRe) && test::sameBits(aIm, bIm)) << n;
    }
}

TEST(FftComplex, SmallCasesAndRoundTrip) {
    const float pair[2] = {3.0f, 5.0f};
    float re[2], im[2];
    fftComplex(2, pair, nullptr, re, im, false);
    EXPECT_EQ(re[0], 8.0f);
    EXPECT_EQ(re[1], -2.0f);
    EXPECT_EQ(im[0], 0.0f);
    EXPECT_EQ(im[1], 0.0f);

    std::vector<float> impulse(64, 0.0f);
    impulse[0] = 1.0f;
    std::vector<float> flatRe(64), flatIm(64);
    fftComplex(64, impulse.data(), nullptr, flatRe.data(), flatIm.data(), false);
    for (int k = 0; k < 64; ++k) {
        EXPECT_EQ(flatRe[k], 1.0f) << k;
        EXPECT_EQ(flatIm[k], 0.0f) << k;
    }

    Random random(6);
    for (std::int32_t n : {4, 512, 4096, 131072}) {
        const std::vector<float> re0 = random.signal(n);
        const std::vector<float> im0 = random.signal(n);
        std::vector<float> re1(n), im1(n), re2(n), im2(n);
        fftComplex(n, re0.data(), im0.data(), re1.data(), im1.data(), false);
        fftComplex(n, re1.data(), im1.data(), re2.data(), im2.data(), true);
        double worst = 0.0;
        for (std::int32_t i = 0; i < n; ++i) {
            worst = std::max(worst, std::abs(double(re2[i]) - re0[i]));
            worst = std::max(worst, std::abs(double(im2[i]) - im0[i]));
        }
        EXPECT_LE(worst, 4.0 * kFloatEpsilon * log2Of(n)) << n;
    }
}

TEST(FftComplex, ForwardUsesThePositiveExponent) {
    // sin(2pi*k0*j/n) = (e^(+i..) - e^(-i..)) / 2i; with the positive exponent the forward
    // sum lands +n/2 in imag[k0] and -n/2 in imag[n-k0].
    const std::int32_t n = 1024;
    const std::int32_t k0 = 37;
    std::vector<float> x(n);
    for (std::int32_t j = 0; j < n; ++j) {
        x[j] = static_cast<float>(std::sin(2.0 * std::acos(-1.0) * k0 * j / n));
    }
    std::vector<float> re(n), im(n);
    fftComplex(n, x.data(), nullptr, re.data(), im.data(), false);
    EXPECT_NEAR(im[k0], n / 2.0, 1e-3);
    EXPECT_NEAR(im[n - k0], -n / 2.0, 1e-3);
    EXPECT_NEAR(re[k0], 0.0, 1e-3);

    std::vector<float> packedRe(n / 2), packedIm(n / 2);
    fftRealPacked(n, x.data(), packedRe.data(), packedIm.data());
    EXPECT_NEAR(packedIm[k0], n / 2.0, 1e-3);
    EXPECT_NEAR(packedRe[k0], 0.0, 1e-3);
}

// The real transforms against the DFT of the same real signal at every size 4..65536
// and one beyond the tables.
TEST(RealTransforms, MatchTheDft) {
    Random random(7);
    for (std::size_t n = 4; n <= kBeyondTables; n *= 2) {
        const std::vector<float> x = random.signal(n);
        const double norm = test::norm2(x, {});
        const double tolerance = binTolerance(n, norm, 3.0);
        const std::int32_t size = static_cast<std::int32_t>(n);
        const std::size_t half = n / 2;
        std::vector<float> power(half), re(half), im(half);
        computePowerSpectrum(size, x.data(), power.data());
        fftRealPacked(size, x.data(), re.data(), im.data());

        const Dft dft(n);
        const std::complex<double> dc = dft.bin(x.data(), nullptr, 0, +1);
        const std::complex<double> nyquist = dft.bin(x.data(), nullptr, half, +1);
        EXPECT_NEAR(re[0], dc.real(), tolerance) << n;
        EXPECT_NEAR(im[0], nyquist.real(), tolerance) << n;
        EXPECT_NEAR(std::sqrt(power[0]), std::abs(std::complex<double>(dc.real(), nyquist.real())),
                    tolerance)
            << n;
        double worstPacked = 0.0;
        double worstPower = 0.0;
        for (std::size_t k : binsToCheck(n)) {
            if (k == 0 || k >= half) {
                continue;
            }
            const std::complex<double> expected = dft.bin(x.data(), nullptr, k, +1);
            worstPacked =
                std::max(worstPacked, std::abs(std::complex<double>(re[k], im[k]) - expected));
            // Compare magnitudes: |sqrt(P) - |X|| is bounded by the error of X itself.
            worstPower =
                std::max(worstPower, std::abs(std::sqrt(double(power[k])) - std::abs(expected)));
        }
        EXPECT_LE(worstPacked, tolerance) << n;
        EXPECT_LE(worstPower, tolerance) << n;
    }
}

TEST(ComputePowerSpectrum, ConstantAndAlternatingSignalsLandInElementZero) {
    const std::int32_t n = 1024;
    const float c = 0.3f;
    for (bool alternating : {false, true}) {
        std::vector<float> x(n);
        for (std::int32_t j = 0; j < n; ++j) {
            x[j] = alternating && (j & 1) ? -c : c;
        }
        std::vector<float> out(n / 2);
        computePowerSpectrum(n, x.data(), out.data());
        const double expected = (1024.0 * c) * (1024.0 * c);
        EXPECT_NEAR(out[0], expected, expected * 1e-6) << alternating;
        for (std::int32_t k = 1; k < n / 2; ++k) {
            ASSERT_LT(out[k], expected * 1e-10) << alternating << " bin " << k;
        }
    }
}

TEST(ComputePowerSpectrum, BinCentredCosineStandsAboveEveryOtherBin) {
    const std::int32_t n = 1024;
    const double amplitude = 0.8;
    for (std::int32_t k0 : {1, 2, 100, 255, 256, 257, 400, 511}) {
        std::vector<float> x(n);
        for (std::int32_t j = 0; j < n; ++j) {
            x[j] = static_cast<float>(amplitude * std::cos(2.0 * std::acos(-1.0) * k0 * j / n));
        }
        std::vector<float> out(n / 2);
        computePowerSpectrum(n, x.data(), out.data());
        const double expected = (amplitude * n / 2) * (amplitude * n / 2);
        EXPECT_NEAR(out[k0], expected, expected * 1e-5) << k0;
        for (std::int32_t k = 0; k < n / 2; ++k) {
            if (k != k0) {
                ASSERT_LT(out[k], expected * 1e-9) << "carrier " << k0 << " bin " << k;
            }
        }
    }
}

TEST(ComputePowerSpectrum, InPlaceEqualsOutOfPlace) {
    Random random(8);
    for (std::int32_t n : {4, 64, 1024, 4096}) {
        std::vector<float> buffer = random.signal(n);
        std::vector<float> separate(n / 2);
        computePowerSpectrum(n, buffer.data(), separate.data());
        computePowerSpectrum(n, buffer.data(), buffer.data());
        buffer.resize(n / 2);
        EXPECT_TRUE(test::sameBits(buffer, separate)) << n;
    }
}

// Sizes that are not powers of two, too small, or null arrays write nothing.
TEST(FftGuards, BadSizesAndNullArraysWriteNothing) {
    const float sentinel = -123.0f;
    std::vector<float> in(64, 1.0f);
    for (std::int32_t n : {0, 1, 3, 6, 100, -8, std::numeric_limits<std::int32_t>::min()}) {
        std::vector<float> a(64, sentinel), b(64, sentinel);
        fftComplex(n, in.data(), in.data(), a.data(), b.data(), false);
        computePowerSpectrum(n, in.data(), a.data());
        fftRealPacked(n, in.data(), a.data(), b.data());
        EXPECT_EQ(std::set<float>(a.begin(), a.end()), std::set<float>{sentinel}) << n;
        EXPECT_EQ(std::set<float>(b.begin(), b.end()), std::set<float>{sentinel}) << n;
    }
    std::vector<float> a(64, sentinel), b(64, sentinel);
    computePowerSpectrum(2, in.data(), a.data()); // below the real transforms' minimum
    fftRealPacked(2, in.data(), a.data(), b.data());
    fftComplex(8, nullptr, in.data(), a.data(), b.data(), false);
    fftComplex(8, in.data(), in.data(), nullptr, b.data(), false);
    fftComplex(8, in.data(), in.data(), a.data(), nullptr, false);
    computePowerSpectrum(8, nullptr, a.data());
    fftRealPacked(8, in.data(), nullptr, b.data());
    fftRealPacked(8, in.data(), a.data(), nullptr);
    EXPECT_EQ(std::set<float>(a.begin(), a.end()), std::set<float>{sentinel});
    EXPECT_EQ(std::set<float>(b.begin(), b.end()), std::set<float>{sentinel});
    computePowerSpectrum(8, in.data(), nullptr); // must not crash
}

// Both builds must compute the same bits: the hashes below were recorded once and hold in
// the native and the Windows build alike.
TEST(FftBits, NaNResultsAreThePositiveQuietNaN) {
    std::vector<float> x(64, 1.0f);
    x[5] = std::numeric_limits<float>::infinity();
    x[9] = -std::numeric_limits<float>::infinity();
    std::vector<float> power(32), re(64), im(64);
    computePowerSpectrum(64, x.data(), power.data());
    fftComplex(64, x.data(), nullptr, re.data(), im.data(), false);
    int nans = 0;
    for (const std::vector<float>* values : {&power, &re, &im}) {
        for (float v : *values) {
            std::uint32_t bits;
            std::memcpy(&bits, &v, sizeof bits);
            if (v != v) {
                ++nans;
                ASSERT_EQ(bits, 0x7fc00000u);
            }
        }
    }
    EXPECT_GT(nans, 0); // inf - inf made some
}

TEST(FftBits, SameInEveryBuild) {
    Random random(2024);
    std::uint64_t power = 0xcbf29ce484222325ull;
    std::uint64_t packed = power;
    std::uint64_t complex = power;
    for (std::int32_t n = 4; n <= 65536; n *= 2) {
        // The last scale overflows: infinities and NaN in the results.
        for (float scale : {1.0f, 3.0e4f, 1.0e-20f, 3.0e37f}) {
            const std::vector<float> x = random.signal(n, scale);
            const std::vector<float> y = random.signal(n, scale);
            std::vector<float> out(n / 2), re(n / 2), im(n / 2), cre(n), cim(n);
            computePowerSpectrum(n, x.data(), out.data());
            power = test::hashFloats(out.data(), out.size(), power);
            fftRealPacked(n, x.data(), re.data(), im.data());
            packed = test::hashFloats(re.data(), re.size(), packed);
            packed = test::hashFloats(im.data(), im.size(), packed);
            for (bool inverse : {false, true}) {
                fftComplex(n, x.data(), y.data(), cre.data(), cim.data(), inverse);
                complex = test::hashFloats(cre.data(), cre.size(), complex);
                complex = test::hashFloats(cim.data(), cim.size(), complex);
            }
        }
    }
    EXPECT_EQ(power, 0xb3ba0ee104225d47ull);
    EXPECT_EQ(packed, 0x225f8c11c5d8977aull);
    EXPECT_EQ(complex, 0x6a4a4195ae92ee2aull);
}

} // namespace
} // namespace vex
