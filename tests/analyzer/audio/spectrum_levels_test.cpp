// Spectrum frames through the plug-in, against the documented examples and against a
// plain double-precision reference written here (window, DFT, bands).
#include "tests/analyzer/audio/analyzer_harness.h"

#include <cmath>
#include <random>

namespace vex::test {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kLinearFloorDb = -130.758;
constexpr double kLogFloorDb = -119.891;
// The exact floors as sent: 10·log10(1e−11 · 8.6f/1024) and 10·log10(1e−11f · 105/1024).
const float kLinearFloor = static_cast<float>(10.0 * std::log10(1e-11 * (8.6f / 1024.0f)));
const float kLogFloor = static_cast<float>(10.0 * std::log10(double{1e-11f} * 105.0 / 1024.0));

// The first frame of mode `mode`: the capture after open begins with sample 0. A null
// signal is an input that does not stream (its buffer is still set, to zeros).
SentValue firstFrame(std::int32_t mode, float rate, const Signal& a, const Signal& b,
                     std::int32_t block = 64) {
    AnalyzerHarness h(rate);
    if (!h.ready()) {
        return {};
    }
    h.open();
    if (a) {
        h.streaming(kAudioSignalAPin, true);
    }
    if (b) {
        h.streaming(kAudioSignalBPin, true);
    }
    h.setInt(kAudioModePin, mode);
    const Signal zero = [](std::int64_t) { return 0.0f; };
    h.run(1024, block, a ? a : zero, b ? b : zero);
    const auto frames = h.frames();
    EXPECT_EQ(frames.size(), 1u);
    return frames.empty() ? SentValue{} : frames[0];
}

float sine64(std::int64_t i) {
    return static_cast<float>(std::sin(kTwoPi * 64.0 * static_cast<double>(i) / 1024.0));
}

// Reference: the frame's levels computed in double from the definition.
struct Reference {
    std::vector<double> linear; // 512 levels
    std::vector<double> log;    // 528 levels
    std::vector<double> lowEdge;
};

Reference reference(const std::vector<float>& x, double rate) {
    const int n = 1024;
    std::vector<double> y(n);
    for (int i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(kTwoPi * i / (n - 1));
        y[i] = static_cast<double>(x[i]) * 0.15 * w;
    }
    std::vector<double> power(n / 2 + 2);
    double nyquist = 0.0;
    for (int i = 0; i < n; ++i) {
        nyquist += (i % 2 == 0 ? y[i] : -y[i]);
    }
    for (int k = 0; k < n / 2; ++k) {
        double re = 0.0;
        double im = 0.0;
        for (int j = 0; j < n; ++j) {
            const int m = (j * k) % n;
            re += y[j] * std::cos(kTwoPi * m / n);
            im += y[j] * std::sin(kTwoPi * m / n);
        }
        power[k] = re * re + im * im;
    }
    power[0] = (power[0] + nyquist * nyquist) * 0.5;
    power[n / 2] = power[1];
    power[n / 2 + 1] = 0.0; // never weighted above 0 by a band that stays below 512
    Reference out;
    for (int k = 0; k < n / 2; ++k) {
        out.linear.push_back(10.0 * std::log10(std::max(power[k], 1e-11) * (8.6 / 1024.0)));
    }
    // The band centres are part of the definition: the octave position is a float sum of
    // 1/48 (rounded to float), and the half band 1/96 is rounded to float too.
    float centre = 0.0f;
    const double halfBand = 1.0f / 96.0f;
    for (int b = 0; b < 528; ++b, centre += 1.0f / 48.0f) {
        double lo = std::pow(2.0, centre - halfBand) * 10.0 / rate * 1024.0 + 0.5;
        double hi = std::pow(2.0, centre + halfBand) * 10.0 / rate * 1024.0 + 0.5;
        out.lowEdge.push_back(lo);
        hi = std::min(hi, 512.0);
        double e = 0.0;
        if (lo <= 512.0) {
            const int il = static_cast<int>(lo);
            const int ih = static_cast<int>(hi);
            auto at = [&](int k, double f) { return power[k] * (1.0 - f) + power[k + 1] * f; };
            if (il == ih) {
                const double m = (lo + hi) / 2.0;
                e = at(il, m - std::floor(m)) * (hi - lo);
            } else {
                const double fl = lo - std::floor(lo);
                e = (1.0 - fl) * at(il, fl);
                for (int k = il + 1; k < ih; ++k) {
                    e += (power[k] + power[k + 1]) * 0.5;
                }
                const double fh = hi - std::floor(hi);
                e += fh * at(ih, fh);
            }
        }
        out.log.push_back(10.0 * std::log10(std::max(e, 1e-11) * (105.0 / 1024.0)));
    }
    return out;
}

TEST(SpectrumLevels, SilenceReadsTheFloors) {
    EXPECT_NEAR(kLinearFloor, kLinearFloorDb, 0.0005);
    EXPECT_NEAR(kLogFloor, kLogFloorDb, 0.0005);
    const Signal zero = [](std::int64_t) { return 0.0f; };
    const SentValue linear = firstFrame(1, 48000.0f, zero, zero);
    ASSERT_EQ(linear.bytes.size(), 4100u);
    EXPECT_EQ(linear.bytes[0], 1);
    EXPECT_EQ(linear.bytes[1], 1);
    for (std::int32_t k = 0; k < 512; ++k) {
        ASSERT_EQ(linear.record(k, 0), kLinearFloor) << "bin " << k;
        ASSERT_EQ(linear.record(k, 1), kLinearFloor) << "bin " << k;
    }
    const SentValue log = firstFrame(2, 44100.0f, zero, nullptr);
    ASSERT_EQ(log.bytes.size(), 4228u);
    EXPECT_EQ(log.bytes[1], 0);
    for (std::int32_t b = 0; b < 528; ++b) {
        ASSERT_EQ(log.record(b, 0), kLogFloor) << "band " << b;
    }
}

TEST(SpectrumLevels, SineOnBin64GivesTheHannMainLobe) {
    const SentValue frame = firstFrame(1, 48000.0f, sine64, nullptr);
    ASSERT_EQ(frame.bytes.size(), 4100u);
    EXPECT_NEAR(frame.record(64, 0), 10.92, 0.005);
    EXPECT_NEAR(frame.record(63, 0), 4.91, 0.005);
    EXPECT_NEAR(frame.record(65, 0), 4.91, 0.005);
    for (std::int32_t k = 0; k < 512; ++k) {
        if (k < 63 || k > 65) {
            ASSERT_LE(frame.record(k, 0), -58.795) << "bin " << k; // −58.8 to 0.01 dB
        }
    }
    // The same levels do not depend on the sample rate.
    const SentValue other = firstFrame(1, 22050.0f, sine64, nullptr);
    EXPECT_EQ(other.bytes, frame.bytes);
}

TEST(SpectrumLevels, SineOnBin64PeaksInBand388At44100) {
    const SentValue frame = firstFrame(2, 44100.0f, sine64, nullptr);
    ASSERT_EQ(frame.bytes.size(), 4228u);
    EXPECT_NEAR(frame.record(388, 0), 19.23, 0.005);
    EXPECT_NEAR(frame.record(389, 0), 17.45, 0.005);
    for (std::int32_t b = 0; b < 528; ++b) {
        if (b != 388) {
            ASSERT_LT(frame.record(b, 0), frame.record(388, 0)) << "band " << b;
        }
    }
}

TEST(SpectrumLevels, BlockSizesDoNotChangeTheFrame) {
    const SentValue reference64 = firstFrame(2, 44100.0f, sine64, sine64, 64);
    for (const std::int32_t block : {1, 7, 512, 4096}) {
        EXPECT_EQ(firstFrame(2, 44100.0f, sine64, sine64, block).bytes, reference64.bytes)
            << "block " << block;
    }
}

TEST(SpectrumLevels, RandomSignalsMatchADoublePrecisionReference) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 4; ++round) {
        const double rate = round % 2 == 0 ? 44100.0 : 48000.0;
        std::uniform_real_distribution<float> amplitude(0.01f, 4.0f);
        const float gain = amplitude(random);
        std::vector<float> a(1024), b(1024);
        std::normal_distribution<float> noise(0.0f, 1.0f);
        for (int i = 0; i < 1024; ++i) {
            a[i] = gain * noise(random);
            b[i] = 0.5f * noise(random) +
                   static_cast<float>(std::sin(kTwoPi * (37.3 + round) * i / 1024.0));
        }
        const Signal sa = [&](std::int64_t i) { return i < 1024 ? a[i] : 0.0f; };
        const Signal sb = [&](std::int64_t i) { return i < 1024 ? b[i] : 0.0f; };
        const SentValue linear = firstFrame(1, static_cast<float>(rate), sa, sb, 7);
        const SentValue log = firstFrame(2, static_cast<float>(rate), sa, sb, 512);
        ASSERT_EQ(linear.bytes.size(), 4100u);
        ASSERT_EQ(log.bytes.size(), 4228u);
        int compared = 0;
        for (int signal = 0; signal < 2; ++signal) {
            const Reference r = reference(signal == 0 ? a : b, rate);
            for (int k = 0; k < 512; ++k) {
                if (r.linear[k] > -100.0) {
                    ASSERT_NEAR(linear.record(k, signal), r.linear[k], 0.01)
                        << "round " << round << " signal " << signal << " bin " << k;
                    ++compared;
                }
            }
            for (int band = 0; band < 528; ++band) {
                if (r.log[band] > -100.0) {
                    ASSERT_NEAR(log.record(band, signal), r.log[band], 0.01)
                        << "round " << round << " signal " << signal << " band " << band;
                    ++compared;
                }
            }
        }
        EXPECT_GT(compared, 2000) << "nearly every point lies above -100 dB";
    }
}

TEST(SpectrumLevels, At22050TheBandsAboveHalfTheRateReadTheFloor) {
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    std::vector<float> a(1024);
    for (float& v : a) {
        v = noise(random);
    }
    const SentValue frame = firstFrame(
        2, 22050.0f, [&](std::int64_t i) { return i < 1024 ? a[i] : 0.0f; }, nullptr);
    const Reference r = reference(a, 22050.0);
    int floored = 0;
    for (int band = 0; band < 528; ++band) {
        if (r.lowEdge[band] > 512.0) {
            ASSERT_EQ(frame.record(band, 0), kLogFloor);
            ++floored;
        } else {
            ASSERT_GT(frame.record(band, 0), -100.0f) << "band " << band;
        }
    }
    EXPECT_GT(floored, 30);
    EXPECT_LT(floored, 528 - 400);
}

TEST(SpectrumLevels, ASignalThatStopsStreamingKeepsItsEarlierLevels) {
    AnalyzerHarness h(48000.0f);
    ASSERT_TRUE(h.ready());
    h.openStreaming(1);
    h.run(1024, 64, sine64, sine64);
    h.streaming(kAudioSignalBPin, false);
    // B now carries other samples, which must not reach the frame.
    h.run(40000, 64, sine64, [](std::int64_t i) { return (i % 3) * 0.25f; });
    const auto frames = h.frames();
    ASSERT_GE(frames.size(), 3u);
    const SentValue& last = frames.back();
    EXPECT_EQ(last.bytes[0], 1);
    EXPECT_EQ(last.bytes[1], 0);
    for (int k = 0; k < 512; ++k) {
        ASSERT_EQ(last.record(k, 1), frames[0].record(k, 1)) << "bin " << k;
    }
}

TEST(SpectrumLevels, NeitherSignalStreamingStillSendsTheFrame) {
    AnalyzerHarness h(48000.0f);
    ASSERT_TRUE(h.ready());
    h.open(2);
    h.run(1024, 64, sine64, sine64);
    const auto frames = h.frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].bytes.size(), 4228u);
    EXPECT_EQ(frames[0].bytes[0], 0);
    EXPECT_EQ(frames[0].bytes[1], 0);
    EXPECT_EQ(frames[0].record(388, 0), 0.0f) << "nothing analysed";
}

} // namespace
} // namespace vex::test
