// The engine against its plain reference loops: the same bits for every size, for seeded
// random signals at many scales and for signals holding zeros of both signs, subnormals,
// infinities and NaN, on the AVX path and on the SSE2 path alike.
#include "analyzer/dsp/fft_engine.h"
#include "analyzer/dsp/fft_internal.h"
#include "analyzer/dsp/fft_plain.h"
#include "tests/analyzer/dsp/dsp_test_support.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace vex {
namespace {

using test::Random;
using test::sameBits;

// Runs the body once with AVX allowed and once kept to SSE2.
class FftBitExact : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { fft_detail::allowAvx(GetParam()); }
    void TearDown() override { fft_detail::allowAvx(true); }
};

// How many signals to try at size n: many for the small sizes, a few for the large.
int signalsFor(std::int32_t n) {
    return n <= 64 ? 300 : n <= 1024 ? 60 : n <= 16384 ? 6 : 2;
}

std::vector<float> randomSignal(Random& random, std::int32_t n) {
    // Scales from tiny (subnormal products) to huge (products that overflow to inf).
    static const float scales[] = {1.0f, 1e-3f, 3e4f, 1e-38f, 1e-20f, 1e18f, 1e37f};
    return random.signal(n, scales[random.next() % (sizeof scales / sizeof scales[0])]);
}

// A signal with special values sprinkled over noise.
std::vector<float> specialSignal(Random& random, std::int32_t n) {
    static const float specials[] = {0.0f,
                                     -0.0f,
                                     std::numeric_limits<float>::denorm_min(),
                                     -std::numeric_limits<float>::denorm_min(),
                                     std::numeric_limits<float>::min(),
                                     std::numeric_limits<float>::max(),
                                     -std::numeric_limits<float>::max(),
                                     std::numeric_limits<float>::infinity(),
                                     -std::numeric_limits<float>::infinity(),
                                     std::numeric_limits<float>::quiet_NaN()};
    std::vector<float> x = random.signal(n);
    const std::uint64_t kind = random.next() % 4;
    for (float& v : x) {
        const std::uint64_t pick = random.next();
        if (kind == 0) {
            v = pick % 2 ? 0.0f : -0.0f; // all zeros of mixed signs
        } else if (pick % 8 == 0) {
            v = specials[(pick >> 8) % (kind == 1 ? 4 : kind == 2 ? 7 : 10)];
        }
    }
    return x;
}

template <typename MakeSignal>
void checkComplex(std::int32_t n, Random& random, MakeSignal make, const std::string& what) {
    for (int t = 0; t < signalsFor(n); ++t) {
        const std::vector<float> re = make(random, n);
        const std::vector<float> im = make(random, n);
        for (bool inverse : {false, true}) {
            for (bool nullImag : {false, true}) {
                const float* imagIn = nullImag ? nullptr : im.data();
                std::vector<float> aRe(n), aIm(n), bRe(n), bIm(n);
                fftComplex(n, re.data(), imagIn, aRe.data(), aIm.data(), inverse);
                plain::fftComplex(n, re.data(), imagIn, bRe.data(), bIm.data(), inverse);
                ASSERT_TRUE(sameBits(aRe, bRe) && sameBits(aIm, bIm))
                    << what << " n " << n << " signal " << t << (inverse ? " inverse" : "")
                    << (nullImag ? " null imag" : "");
            }
        }
    }
}

template <typename MakeSignal>
void checkReal(std::int32_t n, Random& random, MakeSignal make, const std::string& what) {
    for (int t = 0; t < signalsFor(n); ++t) {
        const std::vector<float> x = make(random, n);
        std::vector<float> a(n / 2), b(n / 2), aIm(n / 2), bIm(n / 2);
        computePowerSpectrum(n, x.data(), a.data());
        plain::computePowerSpectrum(n, x.data(), b.data());
        ASSERT_TRUE(sameBits(a, b)) << what << " power n " << n << " signal " << t;
        fftRealPacked(n, x.data(), a.data(), aIm.data());
        plain::fftRealPacked(n, x.data(), b.data(), bIm.data());
        ASSERT_TRUE(sameBits(a, b) && sameBits(aIm, bIm))
            << what << " packed n " << n << " signal " << t;
    }
}

TEST_P(FftBitExact, ComplexTransformsOfEverySize) {
    Random random(12);
    for (std::int32_t n = 2; n <= 131072; n *= 2) {
        checkComplex(n, random, randomSignal, "noise");
        checkComplex(n, random, specialSignal, "specials");
    }
}

TEST_P(FftBitExact, RealTransformsOfEverySize) {
    Random random(13);
    for (std::int32_t n = 4; n <= 131072; n *= 2) {
        checkReal(n, random, randomSignal, "noise");
        checkReal(n, random, specialSignal, "specials");
    }
}

TEST_P(FftBitExact, PowerSpectrumInPlace) {
    Random random(14);
    for (std::int32_t n : {4, 8, 1024, 2048}) {
        for (int t = 0; t < 20; ++t) {
            std::vector<float> buffer = randomSignal(random, n);
            std::vector<float> reference(n / 2);
            plain::computePowerSpectrum(n, buffer.data(), reference.data());
            computePowerSpectrum(n, buffer.data(), buffer.data());
            buffer.resize(n / 2);
            ASSERT_TRUE(sameBits(buffer, reference)) << n;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, FftBitExact, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "AvxWhereAvailable" : "Sse2";
                         });

} // namespace
} // namespace vex
