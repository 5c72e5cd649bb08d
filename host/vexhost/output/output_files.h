// Output files that appear whole or not at all: each is written beside its final name and
// renamed into place once complete, and a failed run removes what it had written.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace vex::host {

// One file written through a temporary beside it. Destroying it without commit()
// removes the temporary and leaves any earlier file of that name untouched.
class OutputFile {
public:
    explicit OutputFile(std::string path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::ostream& stream() { return file; }
    // Closes and renames into place. Throws HostError when writing failed.
    void commit();

private:
    std::string path;
    std::string temporary;
    std::ofstream file;
    bool committed = false;
};

// Writes `bytes` to `path` through a temporary. Throws HostError.
void writeWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// The files of one run that writes several: unless keep() is called, destruction removes
// every file added so far (and the folder, when this run created it and it is empty).
class OutputBatch {
public:
    // Creates `folder` when missing. Throws HostError.
    explicit OutputBatch(std::string folder);
    ~OutputBatch();
    OutputBatch(const OutputBatch&) = delete;
    OutputBatch& operator=(const OutputBatch&) = delete;

    // The path of `name` inside the folder.
    std::string pathOf(const std::string& name) const;
    // Writes one file of the batch. Throws HostError.
    void write(const std::string& name, const std::vector<std::uint8_t>& bytes);
    void keep() { kept = true; }
    const std::vector<std::string>& written() const { return paths; }

private:
    std::string folder;
    bool createdFolder = false;
    bool kept = false;
    std::vector<std::string> paths;
};

} // namespace vex::host
