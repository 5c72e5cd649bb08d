// The comma-separated fields of one line of vexhost's CSV export (no quoting: no field
// holds a comma), empty fields kept.
#pragma once

#include <string>
#include <vector>

namespace vex::test {

inline std::vector<std::string> csvFields(const std::string& line) {
    std::vector<std::string> out(1);
    for (char c : line) {
        if (c == ',') {
            out.emplace_back();
        } else {
            out.back().push_back(c);
        }
    }
    return out;
}

} // namespace vex::test
