// `vexhost compare` against the real plug-in: white noise as A and the noise through a
// peaking filter as B read the filter's magnitude (worked out here from the filter's own
// coefficients), a delay of B does not move the fine analysis's difference, and bad or
// silent inputs get their answers.
#include "cli_test_support.h"
#include "host/kit/view/paint_surface.h"
#include "host/vexhost/inputs/signal_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <functional>
#include <iostream>

// Why native only: the Windows build reads no audio files.
#ifndef _WIN32
#include <sndfile.h>

namespace vex::test {
namespace {

constexpr double kRate = 48000.0;
constexpr double kPi = 3.14159265358979323846;

// A peaking filter by the well-known cookbook formulas: `gainDb` at `hz`, bandwidth set by
// `q`; coefficients normalised so that a0 is 1.
struct Biquad {
    double b0, b1, b2, a1, a2;

    static Biquad peaking(double hz, double gainDb, double q, double rate) {
        const double amplitude = std::pow(10.0, gainDb / 40.0);
        const double w0 = 2.0 * kPi * hz / rate;
        const double alpha = std::sin(w0) / (2.0 * q);
        const double a0 = 1.0 + alpha / amplitude;
        return Biquad{(1.0 + alpha * amplitude) / a0, -2.0 * std::cos(w0) / a0,
                      (1.0 - alpha * amplitude) / a0, -2.0 * std::cos(w0) / a0,
                      (1.0 - alpha / amplitude) / a0};
    }
    // |H(e^jw)| in dB at `hz`, from the coefficients.
    double magnitudeDb(double hz, double rate) const {
        const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * hz / rate);
        const std::complex<double> z2 = z1 * z1;
        return 20.0 * std::log10(std::abs((b0 + b1 * z1 + b2 * z2) / (1.0 + a1 * z1 + a2 * z2)));
    }
    std::vector<float> apply(const std::vector<float>& x) const {
        std::vector<float> y(x.size());
        double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
        for (std::size_t n = 0; n < x.size(); ++n) {
            const double out = b0 * x[n] + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
            x2 = x1;
            x1 = x[n];
            y2 = y1;
            y1 = out;
            y[n] = static_cast<float>(out);
        }
        return y;
    }
};

// White noise, uniform in ±0.25, from a seeded xorshift generator.
std::vector<float> noise(std::size_t samples, std::uint32_t seed) {
    std::vector<float> out(samples);
    std::uint32_t state = seed;
    for (float& value : out) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        value = static_cast<float>(state) / 4294967296.0f * 0.5f - 0.25f;
    }
    return out;
}

// The signal `samples` later, as long as before: zeros first, its last samples cut off.
std::vector<float> delayed(const std::vector<float>& x, std::size_t samples) {
    std::vector<float> out(x.size(), 0.0f);
    std::copy(x.begin(), x.end() - static_cast<std::ptrdiff_t>(samples), out.begin() + samples);
    return out;
}

// A float WAV of one channel per signal given, through libsndfile.
void writeSignals(const std::string& path, double rate, const std::vector<std::vector<float>>& ch) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(rate);
    info.channels = static_cast<int>(ch.size());
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<float> interleaved(ch[0].size() * ch.size());
    for (std::size_t n = 0; n < ch[0].size(); ++n) {
        for (std::size_t c = 0; c < ch.size(); ++c) {
            interleaved[n * ch.size() + c] = ch[c][n];
        }
    }
    EXPECT_EQ(sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(ch[0].size())),
              static_cast<sf_count_t>(ch[0].size()));
    sf_close(file);
}

// One row of the CSV: the point's frequency and its difference (NaN where the field is empty).
struct Row {
    double hz = 0.0;
    double db = 0.0;
};

std::vector<Row> readDifference(const std::string& path) {
    std::ifstream in(std::filesystem::u8path(path));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "point,hz,difference_db");
    std::vector<Row> rows;
    while (std::getline(in, line)) {
        const std::size_t first = line.find(',');
        const std::size_t second = line.find(',', first + 1);
        EXPECT_EQ(std::stoul(line.substr(0, first)), rows.size()) << line;
        const std::string db = line.substr(second + 1);
        rows.push_back({std::stod(line.substr(first + 1, second - first - 1)),
                        db.empty() ? std::nan("") : std::stod(db)});
    }
    return rows;
}

// The largest distance between the difference and `expected(hz)` from `low` to `high` Hz,
// and where it is; a point there without a difference counts as infinitely far.
struct Worst {
    double db = 0.0;
    double hz = 0.0;
};
template <typename Expected>
Worst worstDeviation(const std::vector<Row>& rows, double low, double high, Expected expected) {
    Worst worst;
    std::size_t points = 0;
    for (const Row& row : rows) {
        if (row.hz < low || row.hz > high) {
            continue;
        }
        ++points;
        const double off = std::isnan(row.db) ? INFINITY : std::abs(row.db - expected(row));
        if (off > worst.db) {
            worst = {off, row.hz};
        }
    }
    EXPECT_GT(points, 10u);
    return worst;
}

// The picture's difference curve peaks `gainDb` above 0 dB on the scale its own lines draw
// (dotted: +24, +12, +6, -6, -12, -24 dB from the top; 0 dB, solid, lies under the curve
// wherever the difference is 0).
void expectPeakOnTheScale(const std::string& path, double gainDb) {
    constexpr std::uint32_t kCurve = 0xFF58B8FFu;
    constexpr std::uint32_t kDottedLine = 0xFF355A7Au;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;
    ASSERT_TRUE(host::readPng(path, width, height, pixels)) << path;
    std::vector<std::int32_t> dotted;
    std::int32_t top = -1; // the curve's highest row, left of the scale's labels at the right
    for (std::int32_t y = 0; y < height; ++y) {
        const auto row = pixels.begin() + y * width;
        if (std::count(row, row + width, kDottedLine) > width / 10) {
            dotted.push_back(y);
        }
        if (top < 0 && std::find(row, row + width - 64, kCurve) != row + width - 64) {
            top = y;
        }
    }
    ASSERT_EQ(dotted.size(), 6u);
    const double zero = 0.5 * (dotted[2] + dotted[3]);
    const double rowsPerDb = (dotted[3] - dotted[2]) / 12.0;
    EXPECT_NEAR(dotted[1], zero - 12.0 * rowsPerDb, 1.0);
    EXPECT_NEAR(top, zero - gainDb * rowsPerDb, 2.0);
}

class CompareCommandTest : public ::testing::Test {
protected:
    // 20 s of noise and the same through a 9 dB peak at 1 kHz.
    const Biquad filter = Biquad::peaking(1000.0, 9.0, 1.0, kRate);
    const std::vector<float> a = noise(static_cast<std::size_t>(20 * kRate), 20261209u);
    const std::vector<float> b = filter.apply(a);
    const std::function<double(const Row&)> magnitude = [this](const Row& row) {
        return filter.magnitudeDb(row.hz, kRate);
    };
};

TEST_F(CompareCommandTest, FineAnalysisReadsThePeakAndADelayDoesNotMoveIt) {
    ScratchFolder folder("compare-fine");
    writeSignals(folder / "eq.wav", kRate, {a, b});
    writeSignals(folder / "eq-late.wav", kRate, {a, delayed(b, 960)}); // 20 ms at 48 kHz
    for (const char* name : {"eq", "eq-late"}) {
        const CliRun run = vexhost({"compare", folder / (std::string(name) + ".wav"), "--analysis",
                                    "fine", "-o", folder / (std::string(name) + ".csv")});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
    }
    const std::vector<Row> plain = readDifference(folder / "eq.csv");
    const std::vector<Row> late = readDifference(folder / "eq-late.csv");
    const Worst filterOff = worstDeviation(plain, 50.0, 16000.0, magnitude);
    EXPECT_LT(filterOff.db, 0.5) << "at " << filterOff.hz << " Hz";
    ASSERT_EQ(late.size(), plain.size());
    const Worst delayOff = worstDeviation(
        late, 50.0, 16000.0, [&](const Row& row) { return plain[&row - late.data()].db; });
    EXPECT_LT(delayOff.db, 0.3) << "at " << delayOff.hz << " Hz";
    std::cout << "fine: off the filter by at most " << filterOff.db << " dB (at " << filterOff.hz
              << " Hz); a 20 ms delay moves it by at most " << delayOff.db << " dB (at "
              << delayOff.hz << " Hz)\n";
}

TEST_F(CompareCommandTest, ModuleAnalysisReadsThePeakFromOneKilohertzUpInBothForms) {
    ScratchFolder folder("compare-module");
    writeSignals(folder / "eq.wav", kRate, {a, b});
    writeSignals(folder / "before.wav", kRate, {a});
    writeSignals(folder / "after.wav", kRate, {b});
    const CliRun stereo = vexhost({"compare", folder / "eq.wav", "-o", folder / "log.csv"});
    ASSERT_EQ(stereo.status, 0) << stereo.err;
    const CliRun files = vexhost({"compare", folder / "before.wav", folder / "after.wav", "--view",
                                  "linear", "-o", folder / "linear.csv"});
    ASSERT_EQ(files.status, 0) << files.err;
    const CliRun picture = vexhost({"compare", folder / "eq.wav", "-o", folder / "eq.png"});
    ASSERT_EQ(picture.status, 0) << picture.err;
    expectPeakOnTheScale(folder / "eq.png", 9.0);
    const std::vector<Row> log = readDifference(folder / "log.csv");
    const std::vector<Row> linear = readDifference(folder / "linear.csv");
    EXPECT_EQ(log.size(), 528u);    // log bands of a 48th of an octave from 10 Hz
    EXPECT_EQ(linear.size(), 512u); // linear points rate / 1024 apart
    EXPECT_NEAR(log[96].hz, 40.0, 1e-3);
    EXPECT_NEAR(linear[100].hz, 100 * kRate / 1024.0, 1e-3);
    for (const auto* rows : {&log, &linear}) {
        const Worst off = worstDeviation(*rows, 1000.0, kRate / 2.0, magnitude);
        EXPECT_LT(off.db, 1.0) << "at " << off.hz << " Hz";
        std::cout << "module: off the filter by at most " << off.db << " dB (at " << off.hz
                  << " Hz)\n";
    }
}

TEST_F(CompareCommandTest, BadInputsExitWithStatusTwoAndSilenceWarns) {
    ScratchFolder folder("compare-bad");
    const std::vector<float> second(a.begin(), a.begin() + 48000);
    writeSignals(folder / "mono.wav", kRate, {second});
    writeSignals(folder / "cd.wav", 44100.0, {second});
    std::ofstream(std::filesystem::u8path(folder / "words.wav")) << "no RIFF here\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{folder / "mono.wav"}, "'" + folder / "mono.wav" + "' holds one signal only"},
        {{folder / "mono.wav", folder / "cd.wav"}, "runs at 44100 Hz but"},
        {{folder / "words.wav", folder / "mono.wav"},
         "cannot read '" + folder / "words.wav" + "': not an audio file"},
    };
    for (const auto& [inputs, message] : cases) {
        std::vector<std::string> args = {"compare"};
        args.insert(args.end(), inputs.begin(), inputs.end());
        args.insert(args.end(), {"-o", folder / "out.csv"});
        const CliRun run = vexhost(args);
        EXPECT_EQ(run.status, 2) << message;
        EXPECT_TRUE(contains(run.err, message)) << run.err;
        EXPECT_FALSE(std::filesystem::exists(folder.path / "out.csv"));
    }

    writeSignals(folder / "silent.wav", kRate,
                 {std::vector<float>(48000), std::vector<float>(48000)});
    for (const char* analysis : {"module", "fine"}) {
        const CliRun run = vexhost({"compare", folder / "silent.wav", "--analysis", analysis, "-o",
                                    folder / "silent.csv"});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(contains(run.err, "vexhost: warning: signals A (channel 1 of '" +
                                          folder / "silent.wav" + "') and B (channel 2 of '" +
                                          folder / "silent.wav" + "') are silent throughout"))
            << run.err;
        const std::vector<Row> rows = readDifference(folder / "silent.csv");
        EXPECT_EQ(rows.size(), 528u);
        EXPECT_TRUE(std::all_of(rows.begin(), rows.end(), [](const Row& row) {
            return std::isnan(row.db);
        })) << analysis;
    }
}

} // namespace
} // namespace vex::test

#endif
