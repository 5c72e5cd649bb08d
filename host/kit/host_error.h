// The failure every host of ours reports to its user: what went wrong, in words.
#pragma once

#include <stdexcept>

namespace vex::host {

// A failure the user must hear about; vexhost prints the text and exits with status 2.
class HostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace vex::host
