// Runs vexhost command lines in-process and captures what they print.
#pragma once

#include "host/kit/module_library.h"
#include "host/vexhost/vexhost_app.h"
#include "tests/support/temp_paths.h"

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace vex::test {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

inline CliRun vexhost(std::vector<std::string> args) {
    args.insert(args.begin(), "vexhost");
    std::ostringstream out;
    std::ostringstream err;
    host::Console console{out, err, false, host::defaultModulePath()};
    const int status = host::runVexhost(args, console);
    return CliRun{status, out.str(), err.str()};
}

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A fresh, empty folder of this test and process, removed afterwards.
class ScratchFolder : public TempPath {
public:
    explicit ScratchFolder(const std::string& name) : TempPath("vexhost-cli-" + name) {
        std::filesystem::create_directories(path);
    }
    std::string operator/(const std::string& name) const { return (path / name).u8string(); }
    std::size_t entries() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(path),
                                                      std::filesystem::directory_iterator()));
    }
};

} // namespace vex::test
