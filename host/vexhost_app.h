// The vexhost program as a library: the command line, its commands and their outputs.
// The program's main only supplies the console; tests call runVexhost directly.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vex::host {

struct Console {
    std::ostream& out; // results: listings, the paths written, help text
    std::ostream& err; // errors and the progress bar
    bool errIsTerminal = false;
    // The module loaded when no --module is given.
    std::string defaultModule;
};

// Runs one vexhost command line (`args[0]` is the program name). Answers the exit status:
// 0 on success, 2 on any error (bad command line, unreadable input, module failure).
int runVexhost(const std::vector<std::string>& args, Console& console);

} // namespace vex::host
