#include "host/vexhost/spectrogram_command.h"

#include "host/vexhost/cli_options.h"
#include "host/vexhost/look_options.h"

#include "host/kit/host_error.h"
#include "host/kit/view/spectrogram_colours.h"
#include "host/vexhost/commands.h"
#include "host/vexhost/output/output_files.h"
#include "host/vexhost/output/png_writer.h"
#include "host/vexhost/output/progress.h"
#include "host/vexhost/output/spectrogram_columns.h"
#include "host/vexhost/output/spectrogram_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

namespace vex::host {

namespace {

// The plot's columns and rows: enough for an axis either way, and at most 32 MB of levels.
constexpr std::int32_t kLeastSide = 64;
constexpr std::int32_t kMostColumns = 4096;
constexpr std::int32_t kMostRows = 2048;
// Samples read per step.
constexpr std::int32_t kChunk = 8192;

// "WxH", each a whole number within the plot's bounds.
void parsePlotSize(const std::string& text, std::int32_t& columns, std::int32_t& rows) {
    parseWidthHeight(text, "800x400", columns, rows);
    if (columns < kLeastSide || rows < kLeastSide || columns > kMostColumns || rows > kMostRows) {
        throw HostError("--size: " + text + " is out of range (" + std::to_string(kLeastSide) +
                        " to " + std::to_string(kMostColumns) + " columns, " +
                        std::to_string(kLeastSide) + " to " + std::to_string(kMostRows) + " rows)");
    }
}

// "LOW:HIGH" in dB, finite, LOW below HIGH.
void parseRange(const std::string& text, double& low, double& high) {
    const std::size_t colon = text.find(':');
    const auto number = [](const std::string& part, double& out) {
        char* stop = nullptr;
        out = std::strtod(part.c_str(), &stop);
        return !part.empty() && stop == part.c_str() + part.size() && std::isfinite(out) &&
               std::fabs(out) <= 1000.0;
    };
    if (colon == std::string::npos || !number(text.substr(0, colon), low) ||
        !number(text.substr(colon + 1), high) || !(low < high)) {
        throw HostError("--range: '" + text +
                        "' is not LOW:HIGH in dB with LOW below HIGH, for example -90:0");
    }
}

// Reads `count` samples of the chosen signal of `input` into `out` (a and b scratch).
void readSignal(InputSource& input, bool signalB, std::vector<float>& a, std::vector<float>& b,
                std::int32_t count) {
    input.read(a.data(), b.data(), count);
    if (signalB) {
        std::copy(b.begin(), b.begin() + count, a.begin());
    }
}

// The input's name as the title shows it: a file's name without its folders, a built-in
// signal as given.
std::string titleOf(const std::string& input) {
    std::error_code ignored;
    const std::filesystem::path path = std::filesystem::u8path(input);
    return std::filesystem::exists(path, ignored) ? path.filename().u8string() : input;
}

// A part of the picture's columns, analysed from an input of its own.
struct ColumnPart {
    std::unique_ptr<InputSource> input;
    bool signalB = false; // the signal drawn: B where A does not stream
    std::unique_ptr<MomentSpectra> spectra;
    std::unique_ptr<SpectrogramColumns> columns;
    std::vector<float> rows;
};
constexpr std::int32_t kParts = 2;

// Makes `part` draw columns first..first+count-1 of `plot` (its levels allocated), from
// sample `from` (where column `first` starts) in columns of `span` samples. On the
// caller's thread: the module's objects and the analyses' plans are made here.
void preparePart(ColumnPart& part, Session& session, double seconds, SpectrogramPlot& plot,
                 std::int32_t first, std::int32_t count, double from, double span) {
    part.input = session.makeInput(0, seconds);
    part.signalB = !part.input->streamsA() && part.input->streamsB();
    part.spectra = session.options().analysis == Analysis::kFine
                       ? makeFineSpectra(session.sampleRate(), plot.view)
                       : makeModuleSpectra(session.factory(), session.sampleRate(), plot.view);
    part.rows.assign(static_cast<std::size_t>(plot.rows), 0.0f);
    const std::int32_t points = part.spectra->points();
    part.columns = std::make_unique<SpectrogramColumns>(
        *part.spectra, from, span, count,
        [&plot, &part, first, points](std::int32_t c, const float* levels) {
            rowsOfPoints(levels, points, plot.rows, part.rows.data());
            for (std::int32_t y = 0; y < plot.rows; ++y) {
                plot.levels[static_cast<std::size_t>(y) * plot.columns + first + c] =
                    part.rows[static_cast<std::size_t>(y)];
            }
        });
}

// Reads the part's input from its start to where its analyses end, and hands its columns
// to the picture; reports to `progress` when given.
void runPart(ColumnPart& part, Progress* progress) {
    std::vector<float> a(kChunk);
    std::vector<float> b(kChunk);
    SpectrogramColumns& columns = *part.columns;
    const std::int64_t total = columns.endSample();
    for (std::int64_t at = 0; at < total;) {
        const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(kChunk, total - at));
        readSignal(*part.input, part.signalB, a, b, n);
        // Samples before the first the analysis needs are read past.
        const std::int64_t skip = std::clamp<std::int64_t>(columns.firstSample() - at, 0, n);
        columns.feed(a.data() + skip, static_cast<std::int32_t>(n - skip));
        at += n;
        if (progress != nullptr) {
            progress->update(static_cast<double>(at) / static_cast<double>(total));
        }
    }
    columns.finish();
}

// Runs the first part on another thread and the second on this one, reporting progress
// (the second reads the most: the input up to its start too). Rethrows what either threw,
// once both are done.
void runParts(std::vector<ColumnPart>& parts, Progress& progress) {
    std::exception_ptr failure;
    std::thread first([&] {
        try {
            runPart(parts[0], nullptr);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    try {
        runPart(parts[1], &progress);
    } catch (...) {
        first.join();
        throw;
    }
    first.join();
    if (failure) {
        std::rethrow_exception(failure);
    }
    progress.finish();
}

} // namespace

CLI::App* addSpectrogramCommand(CLI::App& app, SessionOptions& session, std::string& analysis,
                                SpectrogramOptions& options) {
    CLI::App& command = *app.add_subcommand(
        "spectrogram", "a whole input (or a span of it) as one PNG picture of level over time "
                       "and frequency, one column per pixel");
    command.add_option("INPUT", options.input, signalHelp())->required();
    addOutputOption(command, options.output, "the PNG file to write");
    command
        .add_option("--size", options.size,
                    "the plot WIDTHxHEIGHT: one column per pixel, one row per pixel of the "
                    "frequency axis (64 to 4096 by 64 to 2048)")
        ->capture_default_str();
    addViewOption(command, options.view, "the frequency axis: log or linear", {"log", "linear"});
    command.add_option("--from", options.from, "seconds of input before the picture's start")
        ->check(CLI::Range(0.0, 360000.0));
    command
        .add_option("--to", options.to,
                    "seconds of input at the picture's end (default: the end of the file, or "
                    "1 second of a built-in signal, which a sweep spans)")
        ->check(CLI::Range(0.001, 360000.0));
    command.add_option("--range", options.range,
                       "LOW:HIGH: the levels in dB the colours span (default: the display's)");
    command
        .add_option("--sample-rate", session.sampleRate,
                    "sample rate of a built-in signal in hertz (files bring their own)")
        ->check(CLI::Range(1000.0, 384000.0));
    addAnalysisOption(command, analysis,
                      "the spectra's analysis: module (the plug-in's own frames, a stretch of "
                      "1024 samples every 512 or closer) or fine (levels of windows of up to a "
                      "second, in the plug-in's formats)");
    addModuleOptions(command, session);
    return &command;
}

int writeSpectrogram(const SessionOptions& sessionOptions,
                     const SpectrogramOptions& spectrogramOptions, Console& console) {
    SessionOptions options = sessionOptions;
    options.inputs = {spectrogramOptions.input};
    SpectrogramPlot plot;
    parsePlotSize(spectrogramOptions.size, plot.columns, plot.rows);
    if (spectrogramOptions.range.empty()) {
        const spectrogram::LevelRange display = spectrogram::displayRange();
        plot.low = display.low;
        plot.high = display.high;
    } else {
        parseRange(spectrogramOptions.range, plot.low, plot.high);
    }
    Session session(options);
    const double seconds = session.seconds(spectrogramOptions.to);
    const std::int64_t from = session.sampleCount(spectrogramOptions.from);
    const std::int64_t to = session.sampleCount(seconds);
    if (from >= to) {
        throw HostError("--from " + std::to_string(spectrogramOptions.from) +
                        " s is at or past the end (" + std::to_string(seconds) + " s)");
    }
    plot.view = viewOf(viewIndex(spectrogramOptions.view));
    plot.sampleRate = session.sampleRate();
    plot.fromSeconds = static_cast<double>(from) / session.sampleRate();
    plot.toSeconds = static_cast<double>(to) / session.sampleRate();
    plot.title = titleOf(spectrogramOptions.input);
    plot.analysis = options.analysis;

    plot.levels.assign(static_cast<std::size_t>(plot.columns) * plot.rows, 0.0f);
    // Why two parts, each with an input and an analysis of its own, on two threads:
    // the columns are independent, so two cores draw in half the time. Always two, so the
    // picture is the same on any machine.
    std::vector<ColumnPart> parts(kParts);
    const double span = static_cast<double>(to - from) / plot.columns;
    for (std::int32_t p = 0; p < kParts; ++p) {
        const std::int32_t first = p * plot.columns / kParts;
        const std::int32_t end = (p + 1) * plot.columns / kParts;
        preparePart(parts[static_cast<std::size_t>(p)], session, seconds, plot, first, end - first,
                    static_cast<double>(from) + first * span, span);
    }
    const std::int64_t length = parts[0].input->length();
    if (length > 0 && from >= length) {
        throw HostError("--from " + std::to_string(spectrogramOptions.from) +
                        " s is at or past the end of the file (" +
                        std::to_string(static_cast<double>(length) / session.sampleRate()) + " s)");
    }
    {
        Progress progress(console.err, console.errIsTerminal && !options.quiet, "spectrogram");
        runParts(parts, progress);
    }
    const Picture picture = drawSpectrogram(plot);
    writeWholeFile(spectrogramOptions.output,
                   encodePng(picture.pixels, picture.width, picture.height));
    console.out << spectrogramOptions.output << "\n";
    return 0;
}

} // namespace vex::host
