// The spectrum analyzer against its plain per-frame reference: the same level bits for
// both signals, both instances, sample rates from none to absurd (band edges worked out
// once per rate instead of per frame) and signals from silence to overflow, NaN and
// infinities included.
#include "analyzer/audio/spectrum_analyzer.h"
#include "analyzer/audio/spectrum_plain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace vex {
namespace {

constexpr std::int32_t kLength = kSpectrumFrameLength;

std::vector<float> makeSignal(int kind, std::uint32_t seed) {
    std::vector<float> s(kLength);
    std::mt19937 random(seed);
    const float scales[] = {1.0f, 1e-20f, 3e6f, 1e-3f, 2e18f /* powers overflow */};
    for (std::int32_t i = 0; i < kLength; ++i) {
        const float uniform =
            static_cast<float>(static_cast<std::int32_t>(random() >> 8) - (1 << 23)) *
            (1.0f / 8388608.0f);
        switch (kind) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4:
            s[i] = uniform * scales[kind];
            break;
        case 5: // silence
            s[i] = 0.0f;
            break;
        case 6: // a pure tone on bin 64 with some noise
            s[i] = static_cast<float>(std::sin(6.283185307179586 * 64.0 * i / 1024.0)) +
                   uniform * 1e-4f;
            break;
        case 7: // subnormals
            s[i] = uniform * std::numeric_limits<float>::denorm_min() * 1000.0f;
            break;
        case 8: // noise with a NaN
            s[i] = i == 700 ? std::numeric_limits<float>::quiet_NaN() : uniform;
            break;
        default: // noise with an infinity
            s[i] = i == 3 ? -std::numeric_limits<float>::infinity() : uniform;
            break;
        }
    }
    return s;
}
constexpr int kSignalKinds = 10;

const float kRates[] = {44100.0f,
                        48000.0f,
                        22050.0f,
                        8000.0f,
                        11025.0f,
                        96000.0f,
                        192000.0f,
                        12345.678f,
                        1.0f,
                        1e9f,
                        std::numeric_limits<float>::max(),
                        std::numeric_limits<float>::infinity(),
                        1e-30f, // its inverse overflows
                        0.0f,
                        -48000.0f,
                        std::numeric_limits<float>::quiet_NaN()};

// The levels of one signal of the instance's payload.
std::vector<float> payloadLevels(const SpectrumAnalyzer& analyzer, bool signalB) {
    std::vector<float> levels;
    if (analyzer.isLinear()) {
        for (const PayloadRecord& r : analyzer.linearFrame().levels) {
            levels.push_back(signalB ? r.signalB : r.signalA);
        }
    } else {
        for (const PayloadRecord& r : analyzer.logFrame().levels) {
            levels.push_back(signalB ? r.signalB : r.signalA);
        }
    }
    return levels;
}

std::vector<float> referenceLevels(const std::vector<float>& samples, float rate, bool linear) {
    std::vector<float> levels(linear ? kLinearBins : kLogBands);
    plain::spectrumLevels(samples.data(), rate, linear, levels.data());
    return levels;
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TEST(SpectrumReference, LevelsMatchThePlainCodeForEveryRateAndSignal) {
    BlobOutputPin pin;
    for (std::int32_t linear = 0; linear <= 1; ++linear) {
        SpectrumAnalyzer analyzer(linear);
        for (const float rate : kRates) {
            analyzer.setSampleRate(rate);
            for (int kind = 0; kind < kSignalKinds; ++kind) {
                const std::vector<float> a = makeSignal(kind, 100u + kind);
                const std::vector<float> b = makeSignal((kind + 3) % kSignalKinds, 200u + kind);
                analyzer.addSamples(kLength, 0, AnalyzerInput{a.data(), b.data(), true, true});
                analyzer.sendFrame(pin, 0);
                EXPECT_TRUE(
                    sameBits(payloadLevels(analyzer, false), referenceLevels(a, rate, linear != 0)))
                    << "linear " << linear << " rate " << rate << " signal A kind " << kind;
                EXPECT_TRUE(
                    sameBits(payloadLevels(analyzer, true), referenceLevels(b, rate, linear != 0)))
                    << "linear " << linear << " rate " << rate << " signal B kind " << kind;
            }
        }
    }
}

TEST(SpectrumReference, ARateChangeTakesEffectAtTheNextFrameAndNoRateReadsTheFloor) {
    BlobOutputPin pin;
    SpectrumAnalyzer analyzer(0);
    const std::vector<float> a = makeSignal(0, 9);
    // Never told a rate: every band at the floor, as the plain code gives for rate 0.
    analyzer.addSamples(kLength, 0, AnalyzerInput{a.data(), nullptr, true, false});
    analyzer.sendFrame(pin, 0);
    const std::vector<float> unset = payloadLevels(analyzer, false);
    EXPECT_TRUE(sameBits(unset, referenceLevels(a, 0.0f, false)));
    EXPECT_NEAR(unset[300], -119.891f, 0.0005f);
    // The same capture sent again at other rates, back and forth.
    for (const float rate : {44100.0f, 96000.0f, 44100.0f, 0.0f, 48000.0f}) {
        analyzer.setSampleRate(rate);
        analyzer.sendFrame(pin, 0);
        EXPECT_TRUE(sameBits(payloadLevels(analyzer, false), referenceLevels(a, rate, false)))
            << rate;
    }
    EXPECT_EQ(pin.valueSize(), static_cast<std::int32_t>(sizeof(LogSpectrumPayload)));
}

} // namespace
} // namespace vex
