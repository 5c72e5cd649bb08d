// `vexhost spectrogram`: a whole input, or a span of it, as one picture of level over time
// and frequency, one column per pixel (host/vexhost/output/spectrogram_columns.h), with a
// time axis in seconds, the view's frequency axis, a colour scale and the input's name
// (host/vexhost/output/spectrogram_picture.h).
#pragma once

#include "host/vexhost/inputs/session.h"
#include "host/vexhost/output/console.h"

#include <CLI/CLI.hpp>

#include <string>

namespace vex::host {

struct SpectrogramOptions {
    std::string input;
    std::string output;
    std::string size = "800x400"; // the plot: columns x rows
    std::string view = "log";
    double from = 0.0; // seconds
    double to = 0.0;   // seconds; 0: the end of the input
    std::string range; // "LOW:HIGH" in dB; empty: the display's levels
};

// Adds the command to `app`: its options fill `options` (INPUT, -o, --size, --view, --from,
// --to, --range), `session` (--sample-rate, --module, -q) and `analysis` (--analysis, as the
// other commands' do).
CLI::App* addSpectrogramCommand(CLI::App& app, SessionOptions& session, std::string& analysis,
                                SpectrogramOptions& options);

// Reads the input once, start to end, and writes the picture (the input is options.input;
// the session's inputs are not read). Throws HostError (a size or range out of bounds,
// --from at or past the end, an input that cannot be read).
int writeSpectrogram(const SessionOptions& options, const SpectrogramOptions& spectrogramOptions,
                     Console& console);

// The same for the command line's own records: `line` its parsed state (its `session`,
// `analysis` and `spectrogram`), `Command` its record of a command ({app, run}, run taking
// the line and the console), so that registering the command is one line.
template <typename Command, typename Line> Command addSpectrogram(CLI::App& app, Line& line) {
    CLI::App* added = addSpectrogramCommand(app, line.session, line.analysis, line.spectrogram);
    return Command{added, [](Line& parsed, Console& console) {
                       return writeSpectrogram(parsed.session, parsed.spectrogram, console);
                   }};
}

} // namespace vex::host
