// A reference trace: one frame of one view kept to compare against, and its file format.
//
// The file (little-endian, every field at its natural alignment):
//   0  4  "VXRF"
//   4  2  version, 1
//   6  2  view: 0 scope, 1 linear spectrum, 2 log spectrum
//   8  8  sample rate in Hz (IEEE double, finite, above 0 and at most 1 MHz)
//  16  1  signal A present (0 or 1)
//  17  1  signal B present (0 or 1); at least one of the two is present
//  18  2  reserved, 0
//  20  4  point count: 200, 512 or 528, the view's
//  24     the points: per point signal A's value, then signal B's (IEEE single floats):
//         levels in dB for the spectra, sample values for the scope. A present signal's
//         values are finite; an absent one's are written 0 and ignored.
// Nothing follows the points. Runs on any one thread at a time; no shared state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vex::host {

inline constexpr std::uint32_t kReferenceVersion = 1;
inline constexpr std::int32_t kReferenceHeaderSize = 24;

struct ReferenceTrace {
    std::int32_t view = -1; // -1: no reference
    double sampleRate = 0.0;
    bool present[2] = {false, false};
    std::vector<float> values[2]; // per signal, the view's point count (empty when absent)

    bool empty() const { return view < 0; }
    std::int32_t points() const;
};

// The trace of frame `bytes` (`size` bytes, any of the three frame formats) taken at
// `sampleRate`. False, leaving `trace` alone, when the frame is of no format, shows no
// signal, or holds a value that is not finite in a present signal.
bool referenceFromFrame(const std::uint8_t* bytes, std::int32_t size, double sampleRate,
                        ReferenceTrace& trace);

// The file's bytes for a trace (empty for an empty trace).
std::vector<std::uint8_t> encodeReference(const ReferenceTrace& trace);
// Reads the file's bytes into `trace`. False with `error` saying what is wrong (and
// `trace` unchanged) when they are not a whole reference of this version.
bool decodeReference(const std::uint8_t* bytes, std::size_t size, ReferenceTrace& trace,
                     std::string& error);

// Files: false with `error` naming the file and what is wrong. save writes a whole file
// or none (a temporary file renamed over the target).
bool loadReference(const std::string& path, ReferenceTrace& trace, std::string& error);
bool saveReference(const std::string& path, const ReferenceTrace& trace, std::string& error);

// Where point `k` of `view` shown at `sampleRate` lies among the reference's points, as a
// fractional index (the same frequency for the linear spectrum, the same time for the
// scope, the same band for the log spectrum); NaN when the reference is of another view.
double referenceIndex(const ReferenceTrace& trace, std::int32_t view, double sampleRate,
                      std::int32_t k);
// The reference's value of `signal` at fractional index `index`, linearly interpolated
// between its neighbours; NaN outside its points or for an absent signal.
double referenceValueAt(const ReferenceTrace& trace, std::int32_t signal, double index);

// The view's name as the windows show it: "scope", "linear", "log".
const char* viewName(std::int32_t view);

} // namespace vex::host
