// Runs vexhost command lines in-process and captures what they print.
#pragma once

#include "host/kit/module_library.h"
#include "host/vexhost/vexhost_app.h"
#include "tests/support/temp_paths.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
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

// A 32-bit float WAV file, written by hand so the test needs no audio library.
inline void writeWav(const std::string& path, std::int32_t rate, std::int32_t channels,
                     const std::vector<float>& interleaved) {
    std::ofstream out(std::filesystem::u8path(path), std::ios::binary);
    const auto put32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    const auto put16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const auto bytes = static_cast<std::uint32_t>(interleaved.size() * 4);
    out.write("RIFF", 4);
    put32(36 + bytes);
    out.write("WAVEfmt ", 8);
    put32(16);
    put16(3); // IEEE float
    put16(static_cast<std::uint16_t>(channels));
    put32(static_cast<std::uint32_t>(rate));
    put32(static_cast<std::uint32_t>(rate * channels * 4));
    put16(static_cast<std::uint16_t>(channels * 4));
    put16(32);
    out.write("data", 4);
    put32(bytes);
    out.write(reinterpret_cast<const char*>(interleaved.data()), bytes);
}

} // namespace vex::test
