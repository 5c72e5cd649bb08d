#include "host/vexhost/cli_options.h"

#include "host/vexhost/inputs/signal_source.h"

namespace vex::host {

// Options every command that runs the module takes.
void addModuleOptions(CLI::App& command, SessionOptions& options) {
    command.add_option("--module", options.modulePath,
                       "the plug-in to load (default: the VEX_ANALYZER.sem beside vexhost, or "
                       "the one installed with it)");
    command.add_flag("-q,--quiet", options.quiet, "no progress bar");
}

// The options of the signals a command runs: rate, block, update rate and the module.
// `smallestBlock` and `blockHelp` differ for live, whose devices bring their own periods.
void addSignalOptions(CLI::App& command, SessionOptions& options, std::int32_t smallestBlock,
                      const std::string& blockHelp) {
    command
        .add_option("--sample-rate", options.sampleRate,
                    "sample rate of built-in signals in hertz (files bring their own)")
        ->check(CLI::Range(1000.0, 384000.0));
    command.add_option("--block", options.blockSize, blockHelp)
        ->check(CLI::Range(smallestBlock, 8192))
        ->capture_default_str();
    command
        .add_option("--rate", options.rate,
                    "update-rate choice 0..7: 5, 10, ... 40 frames per second")
        ->check(CLI::Range(0, 7))
        ->capture_default_str();
    addModuleOptions(command, options);
}

void addInputOptions(CLI::App& command, SessionOptions& options) {
    command.add_option("INPUT", options.inputs, signalHelp())->required();
    addSignalOptions(command, options, 1, "sample frames per process call");
}

void addLookOptions(CLI::App& command, LookOptions& options) {
    command.add_option("--size", options.size, "picture size WIDTHxHEIGHT")->capture_default_str();
    command.add_flag("--split", options.split, "signal A in the upper pane, B in the lower");
    command.add_flag("--follow", options.follow,
                     "draw every active voice, the last gated one in the main colours "
                     "(without it only voice 0 is drawn)");
    command
        .add_option("--voice-gates", options.gates,
                    "gate of each voice in order, e.g. 1,0,1 (default 1 for every voice; with "
                    "--follow an ungated voice shows while its frames are fresh)")
        ->delimiter(',');
    const char* colourHelp = "colour as the pins take it: RGB(r,g,b), ARGB(a,r,g,b), "
                             "0xAARRGGBB, or none";
    command.add_option("--background", options.colours.background, colourHelp)
        ->capture_default_str();
    command.add_option("--trace1", options.colours.trace1, "signal A's traces; same forms")
        ->capture_default_str();
    command.add_option("--trace2", options.colours.trace2, "signal B's traces; same forms")
        ->capture_default_str();
    command.add_option("--label", options.colours.label, "axis labels; same forms")
        ->capture_default_str();
    command.add_option("--grid", options.colours.grid, "grid; same forms")->capture_default_str();
    command
        .add_option("--shade", options.colours.shade,
                    "other voices' colours: below 0 darker, above 0 lighter")
        ->capture_default_str();
}

// --view: one of `names` (kViewNames unless given), its default shown.
void addViewOption(CLI::App& command, std::string& view, const std::string& help,
                   const std::vector<std::string>& names) {
    command.add_option("--view", view, help)->check(CLI::IsMember(names))->capture_default_str();
}

// A span of seconds (--at, --after, --duration): above 0, at most `most`.
void addSecondsOption(CLI::App& command, const std::string& name, double& seconds,
                      const std::string& help, double most) {
    command.add_option(name, seconds, help)->check(CLI::Range(0.001, most));
}

// --analysis: which analysis the spectra come from, module (the default) or fine.
void addAnalysisOption(CLI::App& command, std::string& analysis, const std::string& help) {
    command.add_option("--analysis", analysis, help)
        ->check(CLI::IsMember({analysisName(Analysis::kModule), analysisName(Analysis::kFine)}))
        ->capture_default_str();
}

// -o, --output: the file or folder a command writes, required.
void addOutputOption(CLI::App& command, std::string& output, const std::string& help) {
    command.add_option("-o,--output", output, help)->required();
}

} // namespace vex::host
