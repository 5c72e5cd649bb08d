// The inputs vexhost feeds its voices: audio files (read with libsndfile where the build
// has it) and built-in test signals. Each input drives one voice: signal A, and signal B
// when the input has a second channel.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace vex::host {

// A failure the user must hear about; vexhost prints the text and exits with status 2.
class HostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

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

// The samples of one voice, read block by block in order.
class InputSource {
public:
    virtual ~InputSource() = default;
    // The file's sample rate; 0 for a built-in signal, which runs at the session's rate.
    virtual double nativeRate() const = 0;
    // Sample frames available, or -1 for a signal without end.
    virtual std::int64_t length() const = 0;
    // Whether signal A / signal B stream (change from sample to sample) while the input
    // lasts. A silent built-in does not; a file's second signal exists only in stereo.
    virtual bool streamsA() const = 0;
    virtual bool streamsB() const = 0;
    // Writes the next `frames` samples of each signal; zeros past the end and for a
    // signal the input does not have. Throws HostError when a file cannot be read.
    virtual void read(float* a, float* b, int frames) = 0;
};

// Opens an audio file. Throws HostError when it is missing or unreadable, or when this
// build reads no files.
std::unique_ptr<InputSource> openAudioFile(const std::string& path);

// Whether this build reads audio files.
bool audioFilesSupported();

// A built-in input at `sampleRate`. Sweeps run from their first to their last frequency
// over `seconds`, then hold the last. Noise is seeded from `seed`, so every run makes the same
// samples.
std::unique_ptr<InputSource> makeBuiltinInput(const InputSpec& spec, double sampleRate,
                                              double seconds, std::uint32_t seed);

} // namespace vex::host
