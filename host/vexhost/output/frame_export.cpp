#include "host/vexhost/output/frame_export.h"

#include "analyzer/audio/analyzer_messages.h"
#include "host/vexhost/inputs/exact_math.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace vex::host {

namespace {

constexpr std::int32_t kHeaderBytes = kPayloadHeaderSize;
constexpr std::int32_t kRecordBytes = static_cast<std::int32_t>(sizeof(PayloadRecord));

// Centre frequency of point `index` of a spectrum frame; 0 for the scope.
double pointHertz(FrameKind kind, std::int32_t index, double sampleRate) {
    if (kind == FrameKind::linear) {
        return index * sampleRate / 1024.0;
    }
    if (kind == FrameKind::log) {
        return 10.0 * exact::exp(index / 48.0 * 0.69314718055994530942);
    }
    return 0.0;
}

bool present(const RecordedFrame& frame, std::int32_t signal) {
    return frame.bytes.size() >= kHeaderBytes && frame.bytes[static_cast<std::size_t>(signal)] != 0;
}

std::string jsonNumber(float value) {
    return std::isfinite(value) ? formatFloat(value) : std::string("null");
}

} // namespace

FrameKind frameKind(std::int32_t size) {
    switch (size) {
    case 0:
        return FrameKind::empty;
    case kScopePayloadSize:
        return FrameKind::scope;
    case kLinearSpectrumPayloadSize:
        return FrameKind::linear;
    case kLogSpectrumPayloadSize:
        return FrameKind::log;
    default:
        return FrameKind::unknown;
    }
}

const char* frameKindName(FrameKind kind) {
    switch (kind) {
    case FrameKind::empty:
        return "empty";
    case FrameKind::scope:
        return "scope";
    case FrameKind::linear:
        return "linear";
    case FrameKind::log:
        return "log";
    case FrameKind::unknown:
        break;
    }
    return "unknown";
}

std::int32_t framePoints(FrameKind kind) {
    switch (kind) {
    case FrameKind::scope:
        return kScopePoints;
    case FrameKind::linear:
        return kLinearBins;
    case FrameKind::log:
        return kLogBands;
    default:
        return 0;
    }
}

float frameValue(const std::vector<std::uint8_t>& bytes, std::int32_t point, std::int32_t signal) {
    float value = 0.0f;
    std::memcpy(&value, bytes.data() + kHeaderBytes + point * kRecordBytes + signal * 4, 4);
    return value;
}

namespace {

// The shortest text that reads back as `value` (std::to_chars), or "nan".
template <typename Value> std::string shortestText(Value value) {
    if (std::isnan(value)) {
        return "nan";
    }
    char text[40];
    const auto result = std::to_chars(text, text + sizeof(text), value);
    return std::string(text, result.ptr);
}

} // namespace

std::string formatFloat(float value) {
    return shortestText(value);
}

std::string formatDouble(double value) {
    return shortestText(value);
}

void writeFramesCsv(std::ostream& out, const std::vector<RecordedFrame>& frames,
                    double sampleRate) {
    out << "time,sample,voice,kind,bytes,a_streaming,b_streaming,index,hz,a,b\n";
    for (const RecordedFrame& frame : frames) {
        const auto size = static_cast<std::int32_t>(frame.bytes.size());
        const FrameKind kind = frameKind(size);
        const bool hasA = present(frame, 0);
        const bool hasB = present(frame, 1);
        const std::string prefix = formatDouble(frame.sample / sampleRate) + ',' +
                                   std::to_string(frame.sample) + ',' +
                                   std::to_string(frame.voice) + ',' + frameKindName(kind) + ',' +
                                   std::to_string(size) + ',';
        const std::int32_t points = framePoints(kind);
        if (points == 0) {
            out << prefix << ",,,,,\n";
            continue;
        }
        const std::string flags = std::string(hasA ? "1," : "0,") + (hasB ? "1," : "0,");
        for (std::int32_t i = 0; i < points; ++i) {
            out << prefix << flags << i << ',';
            if (kind != FrameKind::scope) {
                out << formatDouble(pointHertz(kind, i, sampleRate));
            }
            out << ',';
            if (hasA) {
                out << formatFloat(frameValue(frame.bytes, i, 0));
            }
            out << ',';
            if (hasB) {
                out << formatFloat(frameValue(frame.bytes, i, 1));
            }
            out << '\n';
        }
    }
}

void writeFramesJson(std::ostream& out, const std::vector<RecordedFrame>& frames,
                     double sampleRate) {
    out << "{\"sampleRate\":" << formatDouble(sampleRate);
    // The centre frequencies of the spectrum points, once: a run sends one kind only.
    for (const RecordedFrame& frame : frames) {
        const FrameKind kind = frameKind(static_cast<std::int32_t>(frame.bytes.size()));
        if (kind == FrameKind::linear || kind == FrameKind::log) {
            out << ",\"hz\":[";
            for (std::int32_t i = 0; i < framePoints(kind); ++i) {
                out << (i == 0 ? "" : ",") << formatDouble(pointHertz(kind, i, sampleRate));
            }
            out << ']';
            break;
        }
    }
    out << ",\"frames\":[";
    bool firstFrame = true;
    for (const RecordedFrame& frame : frames) {
        const auto size = static_cast<std::int32_t>(frame.bytes.size());
        const FrameKind kind = frameKind(size);
        const std::int32_t points = framePoints(kind);
        out << (firstFrame ? "\n" : ",\n");
        firstFrame = false;
        out << "{\"time\":" << formatDouble(frame.sample / sampleRate)
            << ",\"sample\":" << frame.sample << ",\"voice\":" << frame.voice << ",\"kind\":\""
            << frameKindName(kind) << "\",\"bytes\":" << size;
        for (std::int32_t signal = 0; signal < 2; ++signal) {
            const bool has = points > 0 && present(frame, signal);
            out << (signal == 0 ? ",\"aStreaming\":" : ",\"bStreaming\":")
                << (has ? "true" : "false");
        }
        for (std::int32_t signal = 0; signal < 2; ++signal) {
            out << (signal == 0 ? ",\"a\":" : ",\"b\":");
            if (points == 0 || !present(frame, signal)) {
                out << "null";
                continue;
            }
            out << '[';
            for (std::int32_t i = 0; i < points; ++i) {
                out << (i == 0 ? "" : ",") << jsonNumber(frameValue(frame.bytes, i, signal));
            }
            out << ']';
        }
        out << '}';
    }
    out << "\n]}\n";
}

} // namespace vex::host
