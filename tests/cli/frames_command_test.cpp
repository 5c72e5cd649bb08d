// `vexhost frames` against the real plug-in: what the audio side sends for known inputs,
// in both formats, from built-in signals and from files.
#include "cli_test_support.h"
#include "host/vexhost/inputs/signal_source.h"
#include "tests/host/csv_fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <map>

namespace vex::test {
namespace {

struct Row {
    std::int64_t sample;
    std::int32_t voice;
    std::string kind;
    std::string aStreaming, bStreaming;
    std::string index, a, b;
};

std::vector<Row> parseCsv(const std::string& text) {
    std::vector<Row> rows;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        const std::vector<std::string> f = csvFields(line);
        if (f.size() != 11) {
            ADD_FAILURE() << "bad row: " << line;
            continue;
        }
        rows.push_back(Row{std::stoll(f[1]), std::stoi(f[2]), f[3], f[5], f[6], f[7], f[9], f[10]});
    }
    return rows;
}

// Frames in order of appearance: (sample, voice) -> rows.
std::vector<std::vector<Row>> groupFrames(const std::vector<Row>& rows) {
    std::vector<std::vector<Row>> frames;
    for (const Row& row : rows) {
        if (frames.empty() || frames.back().front().sample != row.sample ||
            frames.back().front().voice != row.voice || row.index == "0" || row.kind == "empty") {
            frames.emplace_back();
        }
        frames.back().push_back(row);
    }
    return frames;
}

std::vector<std::vector<Row>> framesOfKind(const std::vector<std::vector<Row>>& frames,
                                           const std::string& kind) {
    std::vector<std::vector<Row>> out;
    for (const auto& frame : frames) {
        if (frame.front().kind == kind) {
            out.push_back(frame);
        }
    }
    return out;
}

std::vector<float> tone(std::int32_t rate, double seconds, std::int32_t channels) {
    const auto frames = static_cast<std::size_t>(rate * seconds);
    std::vector<float> samples(frames * channels);
    for (std::size_t i = 0; i < frames; ++i) {
        for (std::int32_t c = 0; c < channels; ++c) {
            samples[i * channels + c] = static_cast<float>(
                0.5 * std::sin(2.0 * 3.14159265358979 * 500.0 * (c + 1) * i / rate));
        }
    }
    return samples;
}

TEST(FramesCommandTest, SineGivesLinearSpectraPeakingAtItsBin) {
    const CliRun run = vexhost({"frames", "sine:1k", "--view", "linear", "--duration", "0.5"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto frames = groupFrames(parseCsv(run.out));
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames[0].front().kind, "empty") << "open sends the empty value first";
    EXPECT_EQ(frames[0].front().sample, 0);
    const auto spectra = framesOfKind(frames, "linear");
    // 25 updates per second: a frame every 1920 samples of hold-off plus capture.
    EXPECT_GE(spectra.size(), 7u);
    EXPECT_LE(spectra.size(), 13u);
    for (const auto& frame : spectra) {
        ASSERT_EQ(frame.size(), 512u);
        EXPECT_EQ(frame.front().aStreaming, "1");
        EXPECT_EQ(frame.front().bStreaming, "0");
        std::size_t peak = 0;
        for (std::size_t k = 0; k < frame.size(); ++k) {
            EXPECT_TRUE(frame[k].b.empty());
            if (std::stod(frame[k].a) > std::stod(frame[peak].a)) {
                peak = k;
            }
        }
        // 1 kHz lies between bins 21 and 22 (46.875 Hz apart).
        EXPECT_TRUE(peak == 21 || peak == 22) << peak;
    }
}

// The band of the highest level of signal A in a log frame.
std::size_t peakBand(const std::vector<Row>& frame) {
    std::size_t peak = 0;
    for (std::size_t b = 0; b < frame.size(); ++b) {
        if (std::stod(frame[b].a) > std::stod(frame[peak].a)) {
            peak = b;
        }
    }
    return peak;
}

TEST(FramesCommandTest, FineAnalysisPutsALowSinesPeakAtItsBandWhereTheModuleDoesNot) {
    std::vector<std::string> args = {"frames", "sine:100", "--view", "log", "--duration", "1.5"};
    const CliRun module = vexhost(args);
    args.insert(args.end(), {"--analysis", "fine"});
    const CliRun fine = vexhost(args);
    ASSERT_EQ(module.status, 0) << module.err;
    ASSERT_EQ(fine.status, 0) << fine.err;
    const auto moduleFrames = groupFrames(parseCsv(module.out));
    const auto fineFrames = groupFrames(parseCsv(fine.out));
    // Frame for frame the same kinds, moments and signals present.
    ASSERT_EQ(fineFrames.size(), moduleFrames.size());
    for (std::size_t i = 0; i < fineFrames.size(); ++i) {
        EXPECT_EQ(fineFrames[i].size(), moduleFrames[i].size()) << i;
        EXPECT_EQ(fineFrames[i].front().kind, moduleFrames[i].front().kind) << i;
        EXPECT_EQ(fineFrames[i].front().sample, moduleFrames[i].front().sample) << i;
        EXPECT_EQ(fineFrames[i].front().aStreaming, moduleFrames[i].front().aStreaming) << i;
        EXPECT_EQ(fineFrames[i].front().bStreaming, moduleFrames[i].front().bStreaming) << i;
    }
    const auto moduleLogs = framesOfKind(moduleFrames, "log");
    const auto fineLogs = framesOfKind(fineFrames, "log");
    ASSERT_FALSE(fineLogs.empty());
    ASSERT_EQ(fineLogs.back().size(), 528u);
    // Band b stands for 10 * 2^(b/48) Hz, so 100 Hz lies at band 48 * log2(10).
    const double band100 = 48.0 * std::log2(10.0);
    const double finePeak = static_cast<double>(peakBand(fineLogs.back()));
    const double modulePeak = static_cast<double>(peakBand(moduleLogs.back()));
    EXPECT_LE(std::abs(finePeak - band100), 1.0) << 10.0 * std::pow(2.0, finePeak / 48.0) << " Hz";
    EXPECT_GT(std::abs(modulePeak - band100), 1.0)
        << 10.0 * std::pow(2.0, modulePeak / 48.0) << " Hz";
}

TEST(FramesCommandTest, SilentInputSendsTwoFramesAndTheModuleSleeps) {
    const CliRun run = vexhost({"frames", "silence", "--duration", "2"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto scopes = framesOfKind(groupFrames(parseCsv(run.out)), "scope");
    ASSERT_EQ(scopes.size(), 2u);
    EXPECT_EQ(scopes[0].front().aStreaming, "0");
    EXPECT_TRUE(scopes[0].front().a.empty());
}

TEST(FramesCommandTest, RateSetsHowOftenFramesCome) {
    std::map<std::string, std::size_t> counts;
    for (const char* rate : {"0", "7"}) {
        const CliRun run = vexhost({"frames", "sine:1k", "--rate", rate});
        ASSERT_EQ(run.status, 0) << run.err;
        counts[rate] = framesOfKind(groupFrames(parseCsv(run.out)), "scope").size();
    }
    EXPECT_GE(counts["0"], 4u);
    EXPECT_LE(counts["0"], 6u);
    EXPECT_GT(counts["7"], 3 * counts["0"]);
}

TEST(FramesCommandTest, OutputIsTheSameEveryRunAndTheFileMatchesStdout) {
    ScratchFolder folder("frames-determinism");
    const std::vector<std::string> args = {"frames", "noise+sweep:100-2k", "saw:300", "--view",
                                           "log",    "--format",           "json"};
    const CliRun first = vexhost(args);
    const CliRun second = vexhost(args);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, second.out);
    auto toFile = args;
    toFile.insert(toFile.end(), {"-o", folder / "frames.json"});
    const CliRun written = vexhost(toFile);
    ASSERT_EQ(written.status, 0) << written.err;
    EXPECT_TRUE(written.out.empty());
    std::ifstream in(folder.path / "frames.json", std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(file, first.out);
    EXPECT_EQ(first.out.rfind("{\"sampleRate\":48000,\"hz\":[10,", 0), 0u);
    EXPECT_TRUE(contains(first.out, "\"voice\":1,\"kind\":\"log\""));
    EXPECT_TRUE(contains(first.out, "\"aStreaming\":true,\"bStreaming\":true,\"a\":["));
    EXPECT_EQ(folder.entries(), 1u);
}

TEST(FramesCommandTest, FilesBringTheirRateAndChannelsAndStopStreamingAtTheirEnd) {
    ScratchFolder folder("frames-files");
    writeWav(folder / "stereo.wav", 44100, 2, tone(44100, 0.25, 2));
    writeWav(folder / "mono.wav", 44100, 1, tone(44100, 0.25, 1));
    writeWav(folder / "other-rate.wav", 32000, 1, tone(32000, 0.25, 1));
    const CliRun run = vexhost({"frames", folder / "stereo.wav", folder / "mono.wav", "--duration",
                                "1", "--format", "json"});
    if (!host::audioFilesSupported()) {
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(contains(run.err, "reads no audio files")) << run.err;
        return;
    }
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("{\"sampleRate\":44100,", 0), 0u);
    EXPECT_TRUE(contains(run.out, "\"voice\":0,\"kind\":\"scope\",\"bytes\":1604,\"aStreaming\":"
                                  "true,\"bStreaming\":true"));
    EXPECT_TRUE(contains(run.out, "\"voice\":1,\"kind\":\"scope\",\"bytes\":1604,\"aStreaming\":"
                                  "true,\"bStreaming\":false"));
    // After the files end (sample 11025) each voice sends two more frames, then sleeps.
    const CliRun csv = vexhost({"frames", folder / "stereo.wav", "--duration", "1"});
    std::size_t late = 0;
    for (const auto& frame : framesOfKind(groupFrames(parseCsv(csv.out)), "scope")) {
        late += frame.front().sample >= 11025 ? 1 : 0;
    }
    EXPECT_EQ(late, 2u);

    const CliRun mixed = vexhost({"frames", folder / "mono.wav", folder / "other-rate.wav"});
    EXPECT_EQ(mixed.status, 2);
    EXPECT_TRUE(contains(mixed.err, "same sample rate")) << mixed.err;
    const CliRun forced = vexhost({"frames", folder / "mono.wav", "--sample-rate", "48000"});
    EXPECT_EQ(forced.status, 2);
    EXPECT_TRUE(contains(forced.err, "--sample-rate 48000 differs")) << forced.err;
    std::ofstream(folder.path / "broken.wav") << "RIFF but not really";
    const CliRun broken = vexhost({"frames", folder / "broken.wav"});
    EXPECT_EQ(broken.status, 2);
    EXPECT_TRUE(contains(broken.err, "cannot read")) << broken.err;
}

TEST(FramesCommandTest, UnwritableOutputIsAnErrorAndLeavesNothing) {
    ScratchFolder folder("frames-unwritable");
    const CliRun run = vexhost({"frames", "sine:100", "-o", folder / "missing-folder/frames.csv"});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(contains(run.err, "cannot write")) << run.err;
    EXPECT_EQ(folder.entries(), 0u);
}

} // namespace
} // namespace vex::test
