// Input naming, the built-in signals' samples, and the exact maths they are built on.
#include "host/vexhost/inputs/exact_math.h"
#include "host/vexhost/inputs/signal_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace vex::host {
namespace {

constexpr double kPi = 3.14159265358979323846;

InputSpec parse(const std::string& text) {
    return parseInput(text, [](const std::string& path) { return path == "take.wav"; });
}

std::string parseError(const std::string& text) {
    try {
        parse(text);
    } catch (const HostError& e) {
        return e.what();
    }
    return "no error";
}

std::vector<float> render(const std::string& text, int frames, std::vector<float>* b = nullptr,
                          double seconds = 1.0, std::uint32_t seed = 0) {
    auto source = makeBuiltinInput(parse(text), 48000.0, seconds, seed);
    std::vector<float> a(static_cast<std::size_t>(frames));
    std::vector<float> other(static_cast<std::size_t>(frames));
    source->read(a.data(), other.data(), frames);
    if (b != nullptr) {
        *b = other;
    }
    return a;
}

int risingCrossings(const std::vector<float>& samples, std::size_t from, std::size_t to) {
    int count = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        count += samples[i - 1] <= 0.0f && samples[i] > 0.0f ? 1 : 0;
    }
    return count;
}

TEST(SignalParseTest, SignalsFilesAndTheirParts) {
    const InputSpec sine = parse("sine:440");
    EXPECT_FALSE(sine.isFile);
    EXPECT_EQ(sine.a.waveform, Waveform::sine);
    EXPECT_EQ(sine.a.frequency, 440.0);
    EXPECT_EQ(sine.a.amplitude, 0.8f);
    EXPECT_FALSE(sine.hasB);

    const InputSpec pair = parse("saw:1.5k@0.5+noise@0.1");
    EXPECT_EQ(pair.a.waveform, Waveform::saw);
    EXPECT_EQ(pair.a.frequency, 1500.0);
    EXPECT_EQ(pair.a.amplitude, 0.5f);
    ASSERT_TRUE(pair.hasB);
    EXPECT_EQ(pair.b.waveform, Waveform::noise);
    EXPECT_EQ(pair.b.amplitude, 0.1f);

    const InputSpec sweep = parse("sweep:20-20k");
    EXPECT_EQ(sweep.a.frequency, 20.0);
    EXPECT_EQ(sweep.a.endFrequency, 20000.0);

    EXPECT_EQ(parse("silence").a.waveform, Waveform::silence);
    EXPECT_TRUE(parse("take.wav").isFile);
}

TEST(SignalParseTest, MistakesAreNamedClearly) {
    EXPECT_NE(parseError("sinx:440").find("unknown signal 'sinx'"), std::string::npos);
    EXPECT_NE(parseError("sine").find("needs a frequency"), std::string::npos);
    for (const char* bad : {"sine:0", "sine:-5", "sine:abc", "sine:", "sine:1e400", "saw:4x"}) {
        EXPECT_NE(parseError(bad).find("bad frequency"), std::string::npos) << bad;
    }
    EXPECT_NE(parseError("noise:5").find("takes no arguments"), std::string::npos);
    EXPECT_NE(parseError("sweep:20").find("two frequencies"), std::string::npos);
    EXPECT_NE(parseError("sine:440@loud").find("bad amplitude"), std::string::npos);
    EXPECT_NE(parseError("sine:440+").find("unknown signal ''"), std::string::npos);
    // Paths that do not exist are missing files, not unknown signals.
    for (const char* path : {"missing.wav", "C:\\take.wav", "dir/sine:440", "a"}) {
        EXPECT_NE(parseError(path).find("no such file"), std::string::npos) << path;
    }
    EXPECT_NE(parseError("").find("empty"), std::string::npos);
}

TEST(BuiltinSignalTest, WaveformsHaveTheirShapeAndAmplitude) {
    const std::vector<float> sine = render("sine:1000", 48);
    EXPECT_EQ(sine[0], 0.0f);
    EXPECT_NEAR(sine[12], 0.8f, 1e-7);
    EXPECT_NEAR(sine[36], -0.8f, 1e-7);
    for (int i = 0; i < 48; ++i) {
        EXPECT_NEAR(sine[i], 0.8 * std::sin(2.0 * kPi * i / 48.0), 1e-6);
    }
    // Saw and square are band-limited: each jump is split around phase 0 (and 0.5).
    const std::vector<float> saw = render("saw:1000@1", 48);
    EXPECT_EQ(saw[0], 0.0f);
    EXPECT_NEAR(saw[2], -1.0f + 4.0f / 48.0f, 1e-6);
    EXPECT_NEAR(saw[24], 0.0f, 1e-6);
    for (int i = 2; i < 47; ++i) {
        EXPECT_GT(saw[i], saw[i - 1]) << i;
    }
    const std::vector<float> square = render("square:1000@0.5", 48);
    EXPECT_EQ(square[0], 0.0f);
    EXPECT_EQ(square[12], 0.5f);
    EXPECT_EQ(square[36], -0.5f);
    std::vector<float> b;
    const std::vector<float> silent = render("silence+sine:10", 64, &b);
    EXPECT_EQ(silent, std::vector<float>(64, 0.0f));
    EXPECT_NE(b[10], 0.0f);
}

TEST(BuiltinSignalTest, StreamingFollowsTheSignals) {
    const auto never = [](const std::string&) { return false; };
    auto silent = makeBuiltinInput(parseInput("silence", never), 48000.0, 1.0, 0);
    EXPECT_FALSE(silent->streamsA());
    EXPECT_FALSE(silent->streamsB());
    EXPECT_EQ(silent->length(), -1);
    auto pair = makeBuiltinInput(parseInput("silence+noise", never), 48000.0, 1.0, 0);
    EXPECT_FALSE(pair->streamsA());
    EXPECT_TRUE(pair->streamsB());
    auto mono = makeBuiltinInput(parseInput("sine:3", never), 48000.0, 1.0, 0);
    EXPECT_TRUE(mono->streamsA());
    EXPECT_FALSE(mono->streamsB());
}

TEST(BuiltinSignalTest, NoiseIsSeededBoundedAndDiffersPerVoice) {
    const std::vector<float> first = render("noise@0.5", 4800, nullptr, 1.0, 3);
    EXPECT_EQ(first, render("noise@0.5", 4800, nullptr, 1.0, 3));
    EXPECT_NE(first, render("noise@0.5", 4800, nullptr, 1.0, 4));
    double sum = 0.0;
    for (float v : first) {
        ASSERT_GE(v, -0.5f);
        ASSERT_LT(v, 0.5f);
        sum += v;
    }
    EXPECT_NEAR(sum / first.size(), 0.0, 0.02);
    std::vector<float> b;
    const std::vector<float> a = render("noise+noise", 100, &b);
    EXPECT_NE(a, b);
}

TEST(BuiltinSignalTest, SweepRisesExponentiallyOverTheSession) {
    // 100 Hz to 1 kHz over one second: about 10.6 cycles in the first tenth, 89 in the last.
    const std::vector<float> sweep = render("sweep:100-1000", 48000);
    EXPECT_NEAR(risingCrossings(sweep, 0, 4800), 11, 1);
    EXPECT_NEAR(risingCrossings(sweep, 43200, 48000), 89, 2);
    EXPECT_NEAR(risingCrossings(sweep, 19200, 24000), 28, 1); // ~10^0.45 * 100 Hz
}

TEST(ExactMathTest, AgreesWithTheRuntimeToFarBelowFloatResolution) {
    std::mt19937 random(12345);
    std::uniform_real_distribution<double> cycles(-100.0, 100.0);
    std::uniform_real_distribution<double> exponent(-30.0, 30.0);
    for (int i = 0; i < 2000; ++i) {
        const double c = cycles(random);
        ASSERT_NEAR(exact::sinCycles(c), std::sin(2.0 * kPi * c), 1e-11) << c;
        const double x = exponent(random);
        ASSERT_NEAR(exact::exp(x) / std::exp(x), 1.0, 1e-13) << x;
        const double y = std::exp(x);
        ASSERT_NEAR(exact::log(y), x, 1e-12) << y;
    }
    EXPECT_EQ(exact::sinCycles(0.0), 0.0);
    EXPECT_EQ(exact::exp(0.0), 1.0);
    EXPECT_LT(exact::log(0.0), -1e299);
}

} // namespace
} // namespace vex::host
