// The inputs vexhost feeds its voices: audio files (read with libsndfile where the build
// has it) and built-in test signals. Each input drives one voice: signal A, and signal B
// when the input has a second channel.
#pragma once

#include "host/kit/host_error.h"
#include "host/kit/voice_input.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vex::host {

enum class Waveform { sine, saw, square, noise, sweep, silence };

// One built-in signal: NAME[:ARGS][@AMPLITUDE].
struct SignalSpec {
    Waveform waveform = Waveform::silence;
    double frequency = 0.0;    // hertz; the start of a sweep
    double endFrequency = 0.0; // hertz; the end of a sweep
    float amplitude = 0.8f;    // peak value in the module's signal units
};

// One input as the user named it: a file path, or SIGNAL[+SIGNAL] (signal A, then B).
struct InputSpec {
    std::string text;
    bool isFile = false;
    SignalSpec a;
    bool hasB = false;
    SignalSpec b;
};

// Parses one INPUT argument. A path naming an existing file is a file; otherwise the text
// must be a built-in signal, or it is reported as a missing file (when it looks like a
// path) or an unknown signal. Throws HostError.
InputSpec parseInput(const std::string& text,
                     const std::function<bool(const std::string&)>& fileExists);

// Text for --help listing the built-in signals.
const char* signalHelp();

// Opens an audio file. Throws HostError when it is missing or unreadable, no audio file
// (a folder, a device, other contents), empty or malformed, or when this build reads no
// files. A file cut short is read as far as it goes: `warning`, when given, then says how
// much of what its header promises is there (and stays untouched for a whole file).
std::unique_ptr<InputSource> openAudioFile(const std::string& path, std::string* warning = nullptr);

// Whether this build reads audio files.
bool audioFilesSupported();

// A built-in input at `sampleRate`. Sweeps run from their first to their last frequency
// over `seconds`, then hold the last. Noise is seeded from `seed`, so every run makes the same
// samples.
std::unique_ptr<InputSource> makeBuiltinInput(const InputSpec& spec, double sampleRate,
                                              double seconds, std::uint32_t seed);

} // namespace vex::host
