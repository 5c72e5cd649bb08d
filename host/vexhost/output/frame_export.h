// The frames the audio side sent, kept for the `frames` command and written as CSV or
// JSON. The kind of a frame follows from its length alone (scope, linear spectrum,
// logarithmic spectrum, or 0 bytes: the empty value).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace vex::host {

enum class FrameKind { empty, scope, linear, log, unknown };

FrameKind frameKind(std::int32_t size);
const char* frameKindName(FrameKind kind);
// Records (one value of signal A and one of B) a frame of this kind carries.
std::int32_t framePoints(FrameKind kind);

struct RecordedFrame {
    std::int64_t sample; // session sample frame at which it was sent
    std::int32_t voice;
    std::vector<std::uint8_t> bytes;
};

// The record's value for signal A (`signal` 0) or B (1); the caller checks the index.
float frameValue(const std::vector<std::uint8_t>& bytes, std::int32_t point, std::int32_t signal);

// Long format: one row per point, columns
// time,sample,voice,kind,bytes,a_streaming,b_streaming,index,hz,a,b. An empty value (or a
// frame of unknown length) is one row without index and values; the value of a signal
// whose presence byte is 0 is left empty, as the sender does not refresh it.
void writeFramesCsv(std::ostream& out, const std::vector<RecordedFrame>& frames, double sampleRate);

// {"sampleRate":..,"hz":[..spectrum point
// centres..],"frames":[{"time":..,"sample":..,"voice":..,"kind":..,"bytes":..,
// "aStreaming":..,"bStreaming":..,"a":[..]|null,"b":[..]|null},..]}. Non-finite values
// are written as null.
void writeFramesJson(std::ostream& out, const std::vector<RecordedFrame>& frames,
                     double sampleRate);

// Shortest text that reads back as the same float ("nan", "inf", "-inf" for those).
std::string formatFloat(float value);
std::string formatDouble(double value);

} // namespace vex::host
