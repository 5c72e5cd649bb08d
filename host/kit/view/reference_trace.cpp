#include "host/kit/view/reference_trace.h"

#include "host/kit/frame_view.h"
#include "host/kit/view/spectrum_tools.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace vex::host {

namespace {

constexpr char kMagic[4] = {'V', 'X', 'R', 'F'};
constexpr double kHighestRate = 1e6;
// Why a bound on the file read: a reference is at most 24 + 528 * 8 bytes; anything much
// longer is not one, and is not read whole into memory.
constexpr std::uintmax_t kLongestFile = 1u << 16;

bool knownView(std::int32_t mode) {
    return mode >= 0 && modeOf(viewOf(mode)) == mode;
}

template <typename T> T readAt(const std::uint8_t* bytes, std::size_t offset) {
    T value;
    std::memcpy(&value, bytes + offset, sizeof(T));
    return value;
}

template <typename T> void writeAt(std::vector<std::uint8_t>& bytes, std::size_t offset, T value) {
    std::memcpy(bytes.data() + offset, &value, sizeof(T));
}

bool fail(std::string& error, const std::string& text) {
    error = text;
    return false;
}

} // namespace

std::int32_t ReferenceTrace::points() const {
    return knownView(view) ? plot::pointsOfView(view) : 0;
}

const char* viewName(std::int32_t view) {
    const View shown = viewOf(view);
    return shown == View::kLinear ? "linear" : shown == View::kLog ? "log" : "scope";
}

bool referenceFromFrame(const std::uint8_t* bytes, std::int32_t size, double sampleRate,
                        ReferenceTrace& trace) {
    const std::int32_t view = plot::viewOfFrameSize(size);
    if (bytes == nullptr || view < 0 || !(sampleRate > 0.0) || sampleRate > kHighestRate) {
        return false;
    }
    ReferenceTrace taken;
    taken.view = view;
    taken.sampleRate = sampleRate;
    const std::int32_t n = plot::pointsOfView(view);
    for (std::int32_t signal = 0; signal < 2; ++signal) {
        if (bytes[signal] == 0) {
            continue;
        }
        taken.present[signal] = true;
        taken.values[signal].resize(static_cast<std::size_t>(n));
        for (std::int32_t k = 0; k < n; ++k) {
            const float value = frameValue(bytes, signal, k);
            if (!std::isfinite(value)) {
                return false;
            }
            taken.values[signal][static_cast<std::size_t>(k)] = value;
        }
    }
    if (!taken.present[0] && !taken.present[1]) {
        return false;
    }
    trace = std::move(taken);
    return true;
}

std::vector<std::uint8_t> encodeReference(const ReferenceTrace& trace) {
    if (trace.empty()) {
        return {};
    }
    const std::int32_t n = trace.points();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kReferenceHeaderSize + 8 * n), 0);
    std::memcpy(bytes.data(), kMagic, 4);
    writeAt<std::uint16_t>(bytes, 4, static_cast<std::uint16_t>(kReferenceVersion));
    writeAt<std::uint16_t>(bytes, 6, static_cast<std::uint16_t>(trace.view));
    writeAt<double>(bytes, 8, trace.sampleRate);
    bytes[16] = trace.present[0] ? 1 : 0;
    bytes[17] = trace.present[1] ? 1 : 0;
    writeAt<std::uint32_t>(bytes, 20, static_cast<std::uint32_t>(n));
    for (std::int32_t signal = 0; signal < 2; ++signal) {
        if (!trace.present[signal]) {
            continue;
        }
        for (std::int32_t k = 0; k < n; ++k) {
            writeAt<float>(bytes,
                           static_cast<std::size_t>(kReferenceHeaderSize + 8 * k + 4 * signal),
                           trace.values[signal][static_cast<std::size_t>(k)]);
        }
    }
    return bytes;
}

bool decodeReference(const std::uint8_t* bytes, std::size_t size, ReferenceTrace& trace,
                     std::string& error) {
    if (bytes == nullptr || size < 4 || std::memcmp(bytes, kMagic, 4) != 0) {
        return fail(error, "not a reference file (it does not start with \"VXRF\")");
    }
    if (size < static_cast<std::size_t>(kReferenceHeaderSize)) {
        return fail(error, "truncated: " + std::to_string(size) + " bytes, shorter than the " +
                               std::to_string(kReferenceHeaderSize) + "-byte header");
    }
    const auto version = readAt<std::uint16_t>(bytes, 4);
    if (version != kReferenceVersion) {
        return fail(error, "version " + std::to_string(version) + " of the format; this " +
                               "program reads version " + std::to_string(kReferenceVersion));
    }
    const std::int32_t view = readAt<std::uint16_t>(bytes, 6);
    if (!knownView(view)) {
        return fail(error, "unknown view " + std::to_string(view));
    }
    const auto rate = readAt<double>(bytes, 8);
    if (!(rate > 0.0 && rate <= kHighestRate)) {
        return fail(error, "sample rate is not between 0 and 1 MHz");
    }
    if (bytes[16] > 1 || bytes[17] > 1 || (bytes[16] == 0 && bytes[17] == 0)) {
        return fail(error, "the signals present are not 0 or 1, or none is present");
    }
    const std::int32_t n = plot::pointsOfView(view);
    const auto count = readAt<std::uint32_t>(bytes, 20);
    if (count != static_cast<std::uint32_t>(n)) {
        return fail(error, "point count " + std::to_string(count) + " is not the " +
                               viewName(view) + " view's " + std::to_string(n));
    }
    const auto whole = static_cast<std::size_t>(kReferenceHeaderSize + 8 * n);
    if (size < whole) {
        return fail(error, "truncated: " + std::to_string(size) + " of " + std::to_string(whole) +
                               " bytes");
    }
    if (size > whole) {
        return fail(error, std::to_string(size - whole) + " bytes after the points");
    }
    ReferenceTrace read;
    read.view = view;
    read.sampleRate = rate;
    for (std::int32_t signal = 0; signal < 2; ++signal) {
        read.present[signal] = bytes[16 + signal] == 1;
        if (!read.present[signal]) {
            continue;
        }
        read.values[signal].resize(static_cast<std::size_t>(n));
        for (std::int32_t k = 0; k < n; ++k) {
            const auto value = readAt<float>(
                bytes, static_cast<std::size_t>(kReferenceHeaderSize + 8 * k + 4 * signal));
            if (!std::isfinite(value)) {
                return fail(error, std::string("signal ") + (signal == 0 ? "A" : "B") + " point " +
                                       std::to_string(k) + " is not a finite value");
            }
            read.values[signal][static_cast<std::size_t>(k)] = value;
        }
    }
    trace = std::move(read);
    return true;
}

bool loadReference(const std::string& path, ReferenceTrace& trace, std::string& error) {
    std::error_code code;
    const std::uintmax_t length = std::filesystem::file_size(path, code);
    if (code) {
        return fail(error, path + ": cannot read (" + code.message() + ")");
    }
    if (length > kLongestFile) {
        return fail(error, path + ": not a reference file (" + std::to_string(length) +
                               " bytes, far longer than one)");
    }
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                          std::istreambuf_iterator<char>());
    if (!file.good() && !file.eof()) {
        return fail(error, path + ": cannot read");
    }
    std::string what;
    if (!decodeReference(bytes.data(), bytes.size(), trace, what)) {
        return fail(error, path + ": " + what);
    }
    return true;
}

bool saveReference(const std::string& path, const ReferenceTrace& trace, std::string& error) {
    const std::vector<std::uint8_t> bytes = encodeReference(trace);
    if (bytes.empty()) {
        return fail(error, "no reference to save");
    }
    const std::string temporary = path + ".part";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        file.close();
        if (!file) {
            std::remove(temporary.c_str());
            return fail(error, path + ": cannot write");
        }
    }
    std::error_code code;
    std::filesystem::rename(temporary, path, code);
    if (code) {
        std::remove(temporary.c_str());
        return fail(error, path + ": cannot write (" + code.message() + ")");
    }
    return true;
}

double referenceIndex(const ReferenceTrace& trace, std::int32_t view, double sampleRate,
                      std::int32_t k) {
    if (trace.empty() || trace.view != view || !(sampleRate > 0.0)) {
        return std::nan("");
    }
    if (viewOf(view) == View::kLinear) { // the same Hz
        return hzPoint(View::kLinear, pointHz(View::kLinear, k, sampleRate), trace.sampleRate);
    }
    if (viewOf(view) == View::kScope) {
        return static_cast<double>(k) * trace.sampleRate / sampleRate; // the same time
    }
    return static_cast<double>(k); // log bands are the same Hz at any rate
}

double referenceValueAt(const ReferenceTrace& trace, std::int32_t signal, double index) {
    const std::int32_t n = trace.points();
    if (signal < 0 || signal > 1 || !trace.present[signal] || !(index >= 0.0) ||
        index > static_cast<double>(n - 1)) {
        return std::nan("");
    }
    const auto below = static_cast<std::int32_t>(index);
    const std::int32_t above = below + 1 < n ? below + 1 : below;
    const double part = index - below;
    const double a = trace.values[signal][static_cast<std::size_t>(below)];
    const double b = trace.values[signal][static_cast<std::size_t>(above)];
    return a + part * (b - a);
}

} // namespace vex::host
