#include "host/vexhost/compare_command.h"

#include "host/vexhost/cli_options.h"

#include "host/kit/fine/fine_analysis.h"
#include "host/kit/host_error.h"
#include "host/kit/view/difference_overlay.h"
#include "host/kit/view/display_session.h"
#include "host/kit/view/overlay_pixels.h"
#include "host/kit/view/plot_axes.h"
#include "host/kit/view/spectrum_difference.h"
#include "host/vexhost/commands.h"
#include "host/vexhost/look_options.h"
#include "host/vexhost/output/offline_run.h"
#include "host/vexhost/output/output_files.h"
#include "host/vexhost/output/png_writer.h"
#include "host/vexhost/output/progress.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace vex::host {

namespace {

// The module's fastest update rate (40 frames per second): the most frames to average.
constexpr std::int32_t kFastestRate = 7;
// The fine analysis is refined every 5 ms. Why: an eighth of its shortest window (40 ms),
// so that windows of every length overlap many times over and every sample of the input
// weighs alike in the average. At the module's moments (25 ms apart at the fastest) the
// shortest windows weigh the samples near their middles several times more than those
// between them, and a delay of one signal weighs the two signals' samples differently: a
// 20 ms delay of B moved the difference of 20 s of noise by up to 0.19 dB (at 8 kHz) there,
// by 0.001 dB with frames 4.7 ms apart.
constexpr double kFineHopSeconds = 0.005;

// Where one of the two signals compared comes from: a voice's signal A or B, and how the
// messages name it.
struct Side {
    std::int32_t voice = 0;
    std::int32_t signal = 0;
    std::string name;
};

bool exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::u8path(path), ignored);
}

std::string signalName(const InputSpec& spec, std::int32_t signal) {
    return (spec.isFile ? "channel " + std::to_string(signal + 1)
                        : std::string("signal ") + (signal == 0 ? "A" : "B")) +
           " of '" + spec.text + "'";
}

// A (index 0) and B (index 1): signals A and B of one input, or signal A of each of two.
// Throws HostError when a single input has one signal only.
std::vector<Side> sidesOf(const Session& session) {
    const std::vector<std::string>& inputs = session.options().inputs;
    if (inputs.size() == 2) {
        return {{0, 0, signalName(parseInput(inputs[0], exists), 0)},
                {1, 0, signalName(parseInput(inputs[1], exists), 0)}};
    }
    const InputSpec spec = parseInput(inputs[0], exists);
    const bool twoSignals =
        spec.isFile ? session.makeInput(0, session.seconds(0.0))->streamsB() : spec.hasB;
    if (!twoSignals) {
        throw HostError("'" + spec.text + "' holds one signal only" +
                        (spec.isFile ? " (a file of one channel)" : "") +
                        "; compare takes an input of two signals (A: channel 1, B: channel 2) "
                        "or two inputs (BEFORE AFTER)");
    }
    return {{0, 0, signalName(spec, 0)}, {0, 1, signalName(spec, 1)}};
}

// Each side's power over every frame the module sends in `view` while the inputs play.
void averageModule(Session& session, View view, const std::vector<Side>& sides,
                   PowerAverage (&averages)[2], Progress& progress) {
    const double seconds = session.seconds(0.0);
    const double floorDb = floorDbOf(view);
    const double rate = session.sampleRate();
    auto engine = session.makeEngine(modeOf(view), seconds, [&](const SentFrame& frame) {
        if (frame.bytes == nullptr || frame.size != frameSizeOf(view)) {
            return;
        }
        for (std::size_t s = 0; s < 2; ++s) {
            const Side& side = sides[s];
            // Why only frames with the signal present: a voice whose file has ended keeps
            // sending frames without it, and silence after the end is not the signal's.
            if (frame.voice == side.voice && frame.bytes[side.signal] != 0) {
                averages[s].add(frame.bytes, side.signal, static_cast<double>(frame.sample) / rate,
                                0.0, floorDb);
            }
        }
    });
    runWithProgress(*engine, session.sampleCount(seconds), progress);
}

// Each side's power over fine frames of `view` made every kFineHopSeconds, from the first
// sample of its input until its last has passed through the longest window, so that every
// sample is read by windows of every length alike. Why the analysis is run here rather than
// on the module's frames: see kFineHopSeconds. The frames are in the module's format.
void averageFine(Session& session, View view, const std::vector<Side>& sides,
                 PowerAverage (&averages)[2], Progress& progress) {
    const double rate = session.sampleRate();
    const double seconds = session.seconds(0.0);
    const double floorDb = floorDbOf(view);
    FineAnalysis analysis(rate);
    const auto hop = static_cast<std::int32_t>(std::max(1L, std::lround(rate * kFineHopSeconds)));
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(frameSizeOf(view)), 0);
    frame[0] = 1;
    std::vector<float> levels(static_cast<std::size_t>(pointsOf(view)), 0.0f);
    std::vector<float> samples[2] = {std::vector<float>(static_cast<std::size_t>(hop)),
                                     std::vector<float>(static_cast<std::size_t>(hop))};
    const std::int32_t voices = session.voiceCount();
    std::vector<std::int64_t> lengths;
    double total = 0.0;
    for (std::int32_t voice = 0; voice < voices; ++voice) {
        const std::int64_t length = session.makeInput(voice, seconds)->length();
        lengths.push_back(length > 0 ? length : session.sampleCount(seconds));
        total += static_cast<double>(lengths.back() + analysis.historyLength());
    }
    double done = 0.0;
    for (std::int32_t voice = 0; voice < voices; ++voice) {
        const auto input = session.makeInput(voice, seconds);
        const std::int64_t length = lengths[static_cast<std::size_t>(voice)];
        const std::int64_t end = length + analysis.historyLength();
        FineSignal signals[2] = {FineSignal(analysis), FineSignal(analysis)};
        for (std::int64_t at = 0; at < end;) {
            const auto count = static_cast<std::int32_t>(std::min<std::int64_t>(hop, end - at));
            const auto read =
                static_cast<std::int32_t>(std::clamp<std::int64_t>(length - at, 0, count));
            std::fill(samples[0].begin(), samples[0].end(), 0.0f);
            std::fill(samples[1].begin(), samples[1].end(), 0.0f);
            if (read > 0) {
                input->read(samples[0].data(), samples[1].data(), read);
            }
            signals[0].feed(samples[0].data(), count);
            signals[1].feed(samples[1].data(), count);
            at += count;
            for (std::size_t s = 0; s < 2; ++s) {
                if (sides[s].voice != voice) {
                    continue;
                }
                analysis.analyse(view, signals[sides[s].signal], levels.data());
                for (std::int32_t k = 0; k < pointsOf(view); ++k) {
                    setFrameValue(frame.data(), 0, k, levels[static_cast<std::size_t>(k)]);
                }
                averages[s].add(frame.data(), 0, static_cast<double>(at) / rate, 0.0, floorDb);
            }
            progress.update((done + static_cast<double>(at)) / total);
        }
        done += static_cast<double>(end);
    }
    progress.finish();
}

// Whether `average` rises above its view's floor anywhere (a side compared with itself has
// a difference wherever it holds a signal).
bool holdsSignal(const PowerAverage& average, double floorDb) {
    std::vector<float> self;
    differenceDb(average, average, floorDb, self);
    return std::any_of(self.begin(), self.end(), [](float db) { return !std::isnan(db); });
}

// Says why no point has a difference, when none has.
void warnIfEmpty(const std::vector<float>& values, const std::vector<Side>& sides,
                 const PowerAverage (&averages)[2], double floorDb, std::ostream& err) {
    if (std::any_of(values.begin(), values.end(), [](float db) { return !std::isnan(db); })) {
        return;
    }
    std::vector<std::string> silent;
    for (std::size_t s = 0; s < 2; ++s) {
        if (!holdsSignal(averages[s], floorDb)) {
            silent.push_back((s == 0 ? "A (" : "B (") + sides[s].name + ")");
        }
    }
    err << "vexhost: warning: ";
    if (silent.size() == 2) {
        err << "signals " << silent[0] << " and " << silent[1] << " are silent throughout";
    } else if (silent.size() == 1) {
        err << "signal " << silent[0] << " is silent throughout";
    } else {
        err << "the two signals are nowhere both within " << kDifferenceRangeDb
            << " dB of their loudest";
    }
    err << ": no point has a difference\n";
}

void writeCsv(const std::string& path, View view, double rate, const std::vector<float>& values) {
    OutputFile file(path);
    std::ostream& out = file.stream();
    out << "point,hz,difference_db\n";
    for (std::size_t k = 0; k < values.size(); ++k) {
        char line[64];
        std::snprintf(line, sizeof line, "%zu,%.3f,", k,
                      pointHz(view, static_cast<double>(k), rate));
        out << line;
        if (!std::isnan(values[k])) {
            std::snprintf(line, sizeof line, "%.3f", static_cast<double>(values[k]));
            out << line;
        }
        out << "\n";
    }
    file.commit();
}

// The display of `view` without frames (its grid and frequency axis) with the difference's
// scale and curve over it.
void writePicture(const std::string& path, Session& session, View view, const DisplayLook& look,
                  const std::vector<float>& values) {
    DisplaySession display(session.factory(), modeOf(view), look, 0, session.sampleRate());
    PaintSurface surface(look.width, look.height);
    display.paint(surface, 0);
    const PlotLayout layout = plotLayout(look.width, look.height, !look.label.empty(), false);
    const std::int32_t n = pointsOf(view);
    std::vector<std::int32_t> columns(static_cast<std::size_t>(n) + 1);
    for (std::int32_t k = 0; k < n; ++k) {
        columns[static_cast<std::size_t>(k)] = spectrumPointX(layout.paneA, k, n);
    }
    columns[static_cast<std::size_t>(n)] = columns[static_cast<std::size_t>(n) - 1] + 1;
    DifferenceOverlay overlay;
    overlay.prepare();
    {
        Pixels pixels(surface);
        overlay.draw(pixels, layout.paneA, columns, values);
    }
    writeWholeFile(path, encodePng(surface.pixels(), surface.width(), surface.height()));
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

int compare(const SessionOptions& given, const CompareOptions& compareOptions, Console& console) {
    SessionOptions options = given;
    options.rate = kFastestRate;
    if (options.inputs.empty() || options.inputs.size() > 2) {
        throw HostError("compare takes one input of two signals or two inputs (BEFORE AFTER)");
    }
    const bool picture = endsWith(compareOptions.output, ".png");
    DisplayLook look;
    if (picture) {
        LookOptions lookOptions;
        lookOptions.size = compareOptions.size;
        look = checkLook(lookOptions, 1);
    }
    Session session(options);
    const std::vector<Side> sides = sidesOf(session);
    const View view = viewOf(viewIndex(compareOptions.view));
    PowerAverage averages[2];
    averages[0].reset(pointsOf(view));
    averages[1].reset(pointsOf(view));
    {
        Progress progress(console.err, console.errIsTerminal && !options.quiet, "compare");
        if (options.analysis == Analysis::kFine) {
            averageFine(session, view, sides, averages, progress);
        } else {
            averageModule(session, view, sides, averages, progress);
        }
    }
    std::vector<float> values;
    differenceDb(averages[1], averages[0], floorDbOf(view), values);
    warnIfEmpty(values, sides, averages, floorDbOf(view), console.err);
    if (picture) {
        writePicture(compareOptions.output, session, view, look, values);
    } else {
        writeCsv(compareOptions.output, view, session.sampleRate(), values);
    }
    console.out << compareOptions.output << "\n";
    return 0;
}

CompareCommand addCompareCommand(CLI::App& app, SessionOptions& session, std::string& analysis) {
    auto options = std::make_shared<CompareOptions>();
    CLI::App* command = app.add_subcommand(
        "compare", "the level of signal B minus that of signal A per point of a spectrum view, "
                   "each signal's power averaged over the whole input: channels 1 (A) and 2 "
                   "(B) of INPUT, or channel 1 of BEFORE (A) and of AFTER (B); as CSV, or as "
                   "a PNG picture for a FILE ending in .png");
    command->add_option("INPUT", session.inputs, "INPUT, or BEFORE AFTER: files or signals")
        ->required()
        ->expected(1, 2);
    addViewOption(*command, options->view, "the spectrum view: log or linear", {"log", "linear"});
    addAnalysisOption(*command, analysis,
                      "module (the plug-in's frames at its fastest rate) or fine (windows of up "
                      "to a second, refined every 5 ms)");
    addOutputOption(*command, options->output,
                    "the file to write: CSV (point,hz,difference_db), or a PNG picture");
    command->add_option("--size", options->size, "picture size WIDTHxHEIGHT")
        ->capture_default_str();
    addModuleOptions(*command, session);
    return {command,
            [&session, options](Console& console) { return compare(session, *options, console); }};
}

} // namespace vex::host
