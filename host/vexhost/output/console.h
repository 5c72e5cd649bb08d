// Where vexhost's commands write: results to one stream, errors and progress to another.
#pragma once

#include <ostream>
#include <string>

namespace vex::host {

struct Console {
    std::ostream& out; // results: listings, the paths written, help text
    std::ostream& err; // errors and the progress bar
    bool errIsTerminal = false;
    // The module loaded when no --module is given.
    std::string defaultModule;
};

} // namespace vex::host
