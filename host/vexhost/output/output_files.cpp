#include "host/vexhost/output/output_files.h"

#include "host/kit/host_error.h"

#include <filesystem>
#include <system_error>

namespace vex::host {

namespace fs = std::filesystem;

OutputFile::OutputFile(std::string finalPath)
    : path(std::move(finalPath)), temporary(path + ".vexhost-part") {
    file.open(fs::u8path(temporary), std::ios::binary | std::ios::trunc);
    if (!file) {
        throw HostError("cannot write '" + path + "'");
    }
}

OutputFile::~OutputFile() {
    if (!committed) {
        file.close();
        std::error_code ignored;
        fs::remove(fs::u8path(temporary), ignored);
    }
}

void OutputFile::commit() {
    file.flush();
    const bool good = static_cast<bool>(file);
    file.close();
    if (!good || file.fail()) {
        throw HostError("cannot write '" + path + "' (disk full or not writable?)");
    }
    std::error_code error;
    fs::rename(fs::u8path(temporary), fs::u8path(path), error);
    if (error) {
        throw HostError("cannot write '" + path + "': " + error.message());
    }
    committed = true;
}

void writeWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    OutputFile out(path);
    out.stream().write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
    out.commit();
}

OutputBatch::OutputBatch(std::string outputFolder) : folder(std::move(outputFolder)) {
    std::error_code error;
    const fs::path where = fs::u8path(folder);
    if (fs::exists(where, error)) {
        if (!fs::is_directory(where, error)) {
            throw HostError("'" + folder + "' exists and is not a folder");
        }
        return;
    }
    createdFolder = fs::create_directories(where, error);
    if (error) {
        throw HostError("cannot create folder '" + folder + "': " + error.message());
    }
}

OutputBatch::~OutputBatch() {
    if (kept) {
        return;
    }
    std::error_code ignored;
    for (const std::string& written : paths) {
        fs::remove(fs::u8path(written), ignored);
    }
    if (createdFolder) {
        fs::remove(fs::u8path(folder), ignored); // only succeeds when empty
    }
}

std::string OutputBatch::pathOf(const std::string& name) const {
    return (fs::u8path(folder) / fs::u8path(name)).u8string();
}

void OutputBatch::write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = pathOf(name);
    writeWholeFile(path, bytes);
    paths.push_back(path);
}

} // namespace vex::host
