// The vexhost program as a library: the command line, its commands and their outputs.
// The program's main only supplies the console; tests call runVexhost directly.
#pragma once

#include "host/vexhost/output/console.h"

#include <string>
#include <vector>

namespace vex::host {

// Runs one vexhost command line (`args[0]` is the program name). Answers the exit status:
// 0 on success, 2 on any error (bad command line, unreadable input, module failure).
int runVexhost(const std::vector<std::string>& args, Console& console);

} // namespace vex::host
