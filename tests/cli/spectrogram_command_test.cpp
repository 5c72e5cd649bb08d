// `vexhost spectrogram` against the real plug-in: the brightest row of each column read on
// the picture's frequency axis (its geometry as vexhost's manual states it, typed in here),
// a click between two columns, bad input, and memory that does not grow with the input.
#include "cli_test_support.h"
#include "host/kit/view/paint_surface.h"
#include "host/vexhost/inputs/signal_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>

#ifndef _WIN32
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#endif

namespace vex::test {
namespace {

// The picture's geometry: the plot's top-left pixel, and the log view's axis (528 bands of
// a 48th of an octave from 10 Hz, point 0 at the plot's bottom edge, 528 at its top).
constexpr std::int32_t kPlotLeft = 72;
constexpr std::int32_t kPlotTop = 32;
constexpr double kLogPoints = 528.0;

struct Plot {
    std::int32_t columns = 0;
    std::int32_t rows = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;

    double luminance(std::int32_t c, std::int32_t y) const {
        const std::uint32_t p =
            pixels[static_cast<std::size_t>(kPlotTop + y) * width + kPlotLeft + c];
        return 0.2126 * ((p >> 16) & 0xFF) + 0.7152 * ((p >> 8) & 0xFF) + 0.0722 * (p & 0xFF);
    }
    // The row (from the plot's top) of column c's brightest pixel: the middle of the run of
    // equally bright rows that holds the first.
    std::int32_t brightestRow(std::int32_t c) const {
        std::int32_t best = 0;
        for (std::int32_t y = 1; y < rows; ++y) {
            if (luminance(c, y) > luminance(c, best)) {
                best = y;
            }
        }
        std::int32_t last = best;
        while (last + 1 < rows && luminance(c, last + 1) == luminance(c, best)) {
            ++last;
        }
        return (best + last) / 2;
    }
    // The log view's frequency of a row's centre.
    double hzOfRow(std::int32_t y) const {
        const double point = (rows - 1 - y + 0.5) * kLogPoints / rows;
        return 10.0 * std::pow(2.0, point / 48.0);
    }
    double columnLuminance(std::int32_t c) const {
        double sum = 0.0;
        for (std::int32_t y = 0; y < rows; ++y) {
            sum += luminance(c, y);
        }
        return sum / rows;
    }
};

Plot draw(const std::vector<std::string>& args, std::int32_t columns, std::int32_t rows,
          const std::string& picture) {
    std::vector<std::string> line = {"spectrogram"};
    line.insert(line.end(), args.begin(), args.end());
    line.insert(line.end(), {"--size", std::to_string(columns) + "x" + std::to_string(rows), "-o",
                             picture, "-q"});
    const CliRun run = vexhost(line);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, picture + "\n");
    Plot plot;
    plot.columns = columns;
    plot.rows = rows;
    EXPECT_TRUE(host::readPng(picture, plot.width, plot.height, plot.pixels));
    EXPECT_GE(plot.width, kPlotLeft + columns);
    EXPECT_GE(plot.height, kPlotTop + rows);
    return plot;
}

double octavesApart(double a, double b) {
    return std::fabs(std::log2(a / b));
}

TEST(SpectrogramCommandTest, ALogSweepsBrightestRowFollowsItsFrequencyOnTheAxis) {
    ScratchFolder folder("sweep");
    constexpr double kSeconds = 30.0;
    constexpr std::int32_t kColumns = 400;
    const Plot plot =
        draw({"sweep:50-15k", "--to", "30", "--analysis", "fine", "--range", "-100:40"}, kColumns,
             264, folder / "sweep.png");
    ASSERT_FALSE(plot.pixels.empty());
    double worst = 0.0;
    for (std::int32_t c = kColumns / 10; c < kColumns - kColumns / 10; ++c) {
        const double t = (c + 0.5) / kColumns * kSeconds;
        const double hz = 50.0 * std::pow(15000.0 / 50.0, t / kSeconds);
        worst = std::max(worst, octavesApart(plot.hzOfRow(plot.brightestRow(c)), hz));
    }
    EXPECT_LE(worst, 1.0 / 12.0);
    // VEX_DOCS_SPECTROGRAM=docs/spectrogram.png keeps the picture for the README.
    if (const char* docs = std::getenv("VEX_DOCS_SPECTROGRAM")) {
        std::filesystem::copy_file(folder / "sweep.png", docs,
                                   std::filesystem::copy_options::overwrite_existing);
    }
}

TEST(SpectrogramCommandTest, ASteadyToneIsOneRowInBothAnalyses) {
    ScratchFolder folder("tone");
    for (const char* analysis : {"module", "fine"}) {
        const Plot plot =
            draw({"sine:1k", "--to", "3", "--analysis", analysis, "--range", "-100:40"}, 200, 264,
                 folder / (std::string(analysis) + ".png"));
        ASSERT_FALSE(plot.pixels.empty());
        const std::int32_t row = plot.brightestRow(100);
        for (std::int32_t c = 20; c < 180; ++c) {
            EXPECT_EQ(plot.brightestRow(c), row) << analysis << " column " << c;
        }
        EXPECT_LE(octavesApart(plot.hzOfRow(row), 1000.0), 1.0 / 12.0) << analysis;
        // The columns are drawn on two threads; the picture is the same every run.
        const Plot again =
            draw({"sine:1k", "--to", "3", "--analysis", analysis, "--range", "-100:40"}, 200, 264,
                 folder / (std::string(analysis) + "-again.png"));
        EXPECT_EQ(again.pixels, plot.pixels) << analysis;
    }
}

TEST(SpectrogramCommandTest, AClickBetweenTwoColumnsShowsInThem) {
    if (!host::audioFilesSupported()) {
        GTEST_SKIP() << "this build reads no audio files";
    }
    ScratchFolder folder("click");
    // Two seconds of silence at 48 kHz over 200 columns of 480 samples; one sample of 1.0
    // where columns 99 and 100 meet, and one in the middle of column 150.
    std::vector<float> samples(96000, 0.0f);
    samples[100 * 480] = 1.0f;
    samples[150 * 480 + 240] = 1.0f;
    writeWav(folder / "clicks.wav", 48000, 1, samples);
    const Plot plot = draw({folder / "clicks.wav"}, 200, 128, folder / "clicks.png");
    ASSERT_FALSE(plot.pixels.empty());
    const double silence = plot.columnLuminance(50);
    const double between = std::max(plot.columnLuminance(99), plot.columnLuminance(100));
    const double inside = plot.columnLuminance(150);
    EXPECT_GT(inside, silence + 20.0);
    // Within 3 dB of a click inside a column: at least half as bright above the silence.
    EXPECT_GT(between - silence, 0.5 * (inside - silence));
}

TEST(SpectrogramCommandTest, BadInputIsStatusTwoAndWritesNothing) {
    ScratchFolder folder("bad");
    const std::string out = folder / "out.png";
    const std::vector<std::vector<std::string>> lines = {
        {"sine:1k", "--size", "10x10"},          {"sine:1k", "--size", "5000x400"},
        {"sine:1k", "--size", "800x3000"},       {"sine:1k", "--size", "wide"},
        {"sine:1k", "--range", "0:-10"},         {"sine:1k", "--range", "low:high"},
        {"sine:1k", "--to", "2", "--from", "2"},
    };
    for (std::vector<std::string> line : lines) {
        line.insert(line.begin(), "spectrogram");
        line.insert(line.end(), {"-o", out});
        const CliRun run = vexhost(line);
        EXPECT_EQ(run.status, 2) << line[2] << " " << line[3];
        EXPECT_TRUE(contains(run.err, "vexhost: error: ")) << run.err;
    }
    std::ofstream(std::filesystem::u8path(folder / "notes.wav")) << "not audio\n";
    EXPECT_EQ(vexhost({"spectrogram", folder / "notes.wav", "-o", out}).status, 2);
    EXPECT_EQ(folder.entries(), 1u); // the text file only

    if (host::audioFilesSupported()) {
        writeWav(folder / "second.wav", 48000, 1, std::vector<float>(48000, 0.25f));
        const CliRun past =
            vexhost({"spectrogram", folder / "second.wav", "--from", "1.5", "-o", out});
        EXPECT_EQ(past.status, 2);
        EXPECT_TRUE(contains(past.err, "--from")) << past.err;
        EXPECT_EQ(
            vexhost({"spectrogram", folder / "second.wav", "--from", "1.5", "--to", "3", "-o", out})
                .status,
            2);
        // Cut short: read as far as it goes, with the warning the other commands give.
        std::ifstream whole(std::filesystem::u8path(folder / "second.wav"), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(whole)), {});
        std::ofstream(std::filesystem::u8path(folder / "cut.wav"), std::ios::binary)
            << bytes.substr(0, 44 + 12000 * 4);
        const CliRun cut = vexhost({"spectrogram", folder / "cut.wav", "-o", out, "-q"});
        EXPECT_EQ(cut.status, 0) << cut.err;
        EXPECT_TRUE(
            contains(cut.err, "vexhost: warning: '" + folder / "cut.wav" + "' is cut short"))
            << cut.err;
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(out)));
    }
}

#ifndef _WIN32
// Peak resident memory in kilobytes of the real program run with `args`, or -1.
long peakKilobytes(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string program = VEX_VEXHOST_PROGRAM;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    // The program prints the picture's path: not into the test's output.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned =
        posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return -1;
    }
    return usage.ru_maxrss;
}

TEST(SpectrogramCommandTest, AnHourOfNoiseTakesNoMoreMemoryThanAMinute) {
    ScratchFolder folder("memory");
    const long minute =
        peakKilobytes({"spectrogram", "noise", "--to", "60", "-o", folder / "minute.png", "-q"});
    const long hour =
        peakKilobytes({"spectrogram", "noise", "--to", "3600", "-o", folder / "hour.png", "-q"});
    ASSERT_GT(minute, 0);
    ASSERT_GT(hour, 0);
    EXPECT_LE(hour, minute + 16 * 1024);
    std::cout << "peak resident memory: a minute " << minute << " kB, an hour " << hour << " kB\n";
}
#endif

} // namespace
} // namespace vex::test
