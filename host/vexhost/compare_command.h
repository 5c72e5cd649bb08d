// `vexhost compare`: the difference between two signals over the whole of their input, per
// point of a spectrum view: B against A of one stereo input (channels 1 and 2), or channel 1
// of a second input against channel 1 of the first. Each signal's power is averaged over
// every frame of the view (the module's, at its fastest update rate, or the fine analysis's,
// refined densely); the result is a CSV table or a picture of the curve on the display's
// frequency axis with the difference's own dB scale.
#pragma once

#include "host/vexhost/inputs/session.h"
#include "host/vexhost/output/console.h"

#include <functional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace vex::host {

struct CompareOptions {
    std::string view = "log";
    std::string output; // .png: a picture; anything else: CSV
    std::string size = "640x360";
};

// Compares the inputs of `options` (one with two signals, or two) as `compareOptions` say.
// Answers 0, or throws HostError: one signal only, inputs at different sample rates, an
// input that cannot be read, a file that cannot be written. All-silent inputs write a table
// without differences and warn on the console's error stream.
int compare(const SessionOptions& options, const CompareOptions& compareOptions, Console& console);

// The `compare` subcommand as added to the command line: its options fill `session` (its
// inputs, --module and -q) and `analysis` (--analysis, as the other commands' do), and
// `run` runs it once the command line has been read and `session` completed.
struct CompareCommand {
    CLI::App* app;
    std::function<int(Console&)> run;
};
CompareCommand addCompareCommand(CLI::App& app, SessionOptions& session, std::string& analysis);

// The same for the command line's own records: `line` its parsed state (its `session` and
// `analysis`), `Command` its record of a command ({app, run}, run taking the line and the
// console), so that registering the command is one line.
template <typename Command, typename Line> Command addCompare(CLI::App& app, Line& line) {
    CompareCommand added = addCompareCommand(app, line.session, line.analysis);
    return Command{added.app, [run = added.run](auto&, Console& console) { return run(console); }};
}

} // namespace vex::host
