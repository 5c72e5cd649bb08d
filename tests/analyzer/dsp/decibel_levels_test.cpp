// Decibel levels give the runtime's bits: every route against
// static_cast<float>(10.0 * std::log10(x)) over a sweep of every 4099th float, seeded random
// doubles, values close to 1, special values, and levels placed on the midpoint between two
// floats (where only the runtime's own result decides). The logarithm itself stays far
// inside the margin the routes rely on.
#include "analyzer/dsp/decibel_levels.h"
#include "tests/analyzer/dsp/dsp_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace vex {
namespace {

using decibel_detail::Route;

float runtimeLevel(double x) {
    return static_cast<float>(10.0 * std::log10(x));
}

double fromBits(std::uint64_t bits) {
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// Every route's levels of `powers` against the runtime, bit for bit; answers the number
// of mismatches (reporting the first few).
int mismatches(const std::vector<double>& powers) {
    int bad = 0;
    std::vector<float> levels(powers.size());
    for (Route route : {Route::scalar, Route::sse2, Route::avx2}) {
        std::fill(levels.begin(), levels.end(), 12345.0f);
        decibel_detail::decibelLevelsBy(route, static_cast<std::int32_t>(powers.size()),
                                        powers.data(), levels.data());
        for (std::size_t i = 0; i < powers.size(); ++i) {
            const float expected = runtimeLevel(powers[i]);
            if (std::memcmp(&levels[i], &expected, sizeof expected) != 0) {
                if (++bad <= 5) {
                    ADD_FAILURE() << "route " << static_cast<int>(route) << " x = " << powers[i]
                                  << ": " << levels[i] << " instead of " << expected;
                }
            }
        }
    }
    return bad;
}

TEST(DecibelLevels, MatchTheRuntimeOverASweepOfFloatsAndRandomDoubles) {
    std::vector<double> powers;
    // Every 4099th float of either sign, zeros, subnormals, infinities and NaN included.
    for (std::uint64_t bits = 0; bits <= 0xffffffffull; bits += 4099) {
        float f;
        const auto word = static_cast<std::uint32_t>(bits);
        std::memcpy(&f, &word, sizeof f);
        powers.push_back(f);
    }
    // Random positive doubles over the whole exponent range, and over the analyzer's range
    // (powers of 1e-12 to 1e12 times a scale).
    test::Random random(20240612);
    for (int i = 0; i < 400000; ++i) {
        const std::uint64_t r = random.next();
        powers.push_back(i % 2 == 0 ? fromBits(r & 0x7fffffffffffffffull)
                                    : std::ldexp(1.0 + static_cast<double>(r >> 12) * 0x1p-52,
                                                 static_cast<int>(r % 81) - 40));
    }
    EXPECT_EQ(mismatches(powers), 0);
}

TEST(DecibelLevels, MatchTheRuntimeNearOneAndForSpecialValues) {
    std::vector<double> powers = {0.0,
                                  -0.0,
                                  1.0,
                                  10.0,
                                  100.0,
                                  0.1,
                                  -1.0,
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN(),
                                  std::numeric_limits<double>::denorm_min(),
                                  std::numeric_limits<double>::min(),
                                  std::nextafter(std::numeric_limits<double>::min(), 0.0),
                                  std::numeric_limits<double>::max(),
                                  1e-11 * (105.0 / 1024.0),
                                  1e-11 * static_cast<double>(8.6f / 1024.0f)};
    // Either side of 1, where the level is tiny and a float's spacing is fine.
    double up = 1.0;
    double down = 1.0;
    for (int i = 0; i < 2000; ++i) {
        up = std::nextafter(up, 2.0);
        down = std::nextafter(down, 0.0);
        powers.push_back(up);
        powers.push_back(down);
        powers.push_back(1.0 + i * 1e-9);
        powers.push_back(1.0 - i * 1e-9);
    }
    EXPECT_EQ(mismatches(powers), 0);
}

TEST(DecibelLevels, LevelsOnTheMidpointBetweenTwoFloatsComeFromTheRuntime) {
    // x whose level lies (as nearly as a double can say) halfway between two neighbouring
    // floats: the fast logarithm cannot decide these, the runtime's result must.
    std::vector<double> powers;
    test::Random random(77);
    for (int i = 0; i < 20000; ++i) {
        const float level = (random.uniform() * 140.0f) - 30.0f;
        const float next = std::nextafter(level, 1000.0f);
        const double midpoint = (static_cast<double>(level) + static_cast<double>(next)) / 2.0;
        const double x = std::pow(10.0, midpoint / 10.0);
        powers.push_back(x);
        powers.push_back(std::nextafter(x, 0.0));
        powers.push_back(std::nextafter(x, 1e300));
    }
    EXPECT_EQ(mismatches(powers), 0);
}

TEST(DecibelLevels, EveryCountAndItsTailIsWrittenAndNothingBeyond) {
    const std::vector<double> powers = {1e-3, 2.0, 3.5, 1e6, 7.0, 0.25, 9e-9, 42.0, 1e20};
    for (Route route : {Route::scalar, Route::sse2, Route::avx2}) {
        for (std::int32_t count = 0; count <= 9; ++count) {
            std::vector<float> levels(10, -1.0f);
            decibel_detail::decibelLevelsBy(route, count, powers.data(), levels.data());
            for (std::int32_t i = 0; i < 10; ++i) {
                EXPECT_EQ(levels[i], i < count ? runtimeLevel(powers[i]) : -1.0f)
                    << "route " << static_cast<int>(route) << " count " << count << " i " << i;
            }
        }
    }
    std::vector<float> untouched(2, -1.0f);
    decibelLevels(-3, powers.data(), untouched.data());
    decibelLevels(2, nullptr, untouched.data());
    decibelLevels(2, powers.data(), nullptr);
    EXPECT_EQ(untouched[0], -1.0f);
}

TEST(DecibelLevels, TheLogarithmStaysFarInsideTheMargin) {
    // The routes keep a float only when every value within 2^-40 (relative) of their result
    // rounds to it; the logarithm must be closer than that to the true value by a wide
    // factor. Compared with the runtime's log (itself within an ulp or two).
    double worst = 0.0;
    test::Random random(5);
    for (int i = 0; i < 300000; ++i) {
        const std::uint64_t r = random.next();
        double x = fromBits((r & 0x7fffffffffffffffull) | 0x0010000000000000ull);
        if (!(x <= std::numeric_limits<double>::max())) {
            x = 1.0 + static_cast<double>(r >> 12) * 0x1p-60;
        }
        const double expected = std::log(x);
        if (expected != 0.0) {
            worst = std::max(worst, std::fabs(decibel_detail::naturalLog(x) - expected) /
                                        std::fabs(expected));
        }
    }
    EXPECT_LT(worst, 0x1p-50);
    EXPECT_EQ(decibel_detail::naturalLog(1.0), 0.0);
}

} // namespace
} // namespace vex
