// The options several of vexhost's commands share, built the same way for each: the module,
// the signals and inputs, the look, a view, a span of seconds, the analysis and the output.
#pragma once

#include "host/vexhost/commands.h"
#include "host/vexhost/inputs/session.h"
#include "host/vexhost/look_options.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace vex::host {

// --module and -q: every command that runs the module.
void addModuleOptions(CLI::App& command, SessionOptions& options);
// The signals a command runs: rate, block, update rate and the module. `smallestBlock` and
// `blockHelp` differ for live, whose devices bring their own periods.
void addSignalOptions(CLI::App& command, SessionOptions& options, std::int32_t smallestBlock,
                      const std::string& blockHelp);
// INPUT... and the signals' options.
void addInputOptions(CLI::App& command, SessionOptions& options);
// The display's look: size, split, follow, gates and colours.
void addLookOptions(CLI::App& command, LookOptions& options);
// --view: one of `names`, its default shown.
void addViewOption(CLI::App& command, std::string& view, const std::string& help,
                   const std::vector<std::string>& names = kViewNames);
// A span of seconds (--at, --after, --duration): above 0, at most `most`.
void addSecondsOption(CLI::App& command, const std::string& name, double& seconds,
                      const std::string& help, double most = 3600.0);
// --analysis: module (the default) or fine.
void addAnalysisOption(CLI::App& command, std::string& analysis, const std::string& help);
// -o, --output: the file or folder a command writes, required.
void addOutputOption(CLI::App& command, std::string& output, const std::string& help);

} // namespace vex::host
