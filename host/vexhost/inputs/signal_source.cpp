#include "host/vexhost/inputs/signal_source.h"

#include "host/vexhost/inputs/exact_math.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace vex::host {

namespace {

struct NamedWaveform {
    const char* name;
    Waveform waveform;
};
constexpr NamedWaveform kWaveforms[] = {
    {"sine", Waveform::sine},   {"saw", Waveform::saw},     {"square", Waveform::square},
    {"noise", Waveform::noise}, {"sweep", Waveform::sweep}, {"silence", Waveform::silence},
};

bool isWord(const std::string& text) {
    if (text.size() < 2) {
        return false; // "C:" is a drive, not a signal
    }
    for (char c : text) {
        if (std::isalpha(static_cast<unsigned char>(c)) == 0) {
            return false;
        }
    }
    return true;
}

// A number with an optional "k" (thousands) suffix, all of `text` consumed.
bool parseNumber(const std::string& text, double& out) {
    if (text.empty()) {
        return false;
    }
    std::string digits = text;
    double scale = 1.0;
    if (digits.back() == 'k' || digits.back() == 'K') {
        digits.pop_back();
        scale = 1000.0;
    }
    if (digits.empty() || std::isspace(static_cast<unsigned char>(digits[0])) != 0) {
        return false;
    }
    char* end = nullptr;
    const double value = std::strtod(digits.c_str(), &end);
    if (end != digits.c_str() + digits.size() || !std::isfinite(value)) {
        return false;
    }
    out = value * scale;
    return true;
}

double parseFrequency(const std::string& text, const std::string& input) {
    double value = 0.0;
    if (!parseNumber(text, value) || !(value > 0.0) || value > 1.0e6) {
        throw HostError("bad frequency '" + text + "' in '" + input +
                        "' (a number of hertz above 0, for example 440 or 1.5k)");
    }
    return value;
}

SignalSpec parseSignal(const std::string& part, const std::string& input) {
    SignalSpec spec;
    std::string body = part;
    const std::size_t at = body.find('@');
    if (at != std::string::npos) {
        double amplitude = 0.0;
        const std::string text = body.substr(at + 1);
        if (!parseNumber(text, amplitude) || std::fabs(amplitude) > 1000.0) {
            throw HostError("bad amplitude '" + text + "' in '" + input + "'");
        }
        spec.amplitude = static_cast<float>(amplitude);
        body.resize(at);
    }
    const std::size_t colon = body.find(':');
    const std::string name = body.substr(0, colon);
    const bool hasArgs = colon != std::string::npos;
    const std::string args = hasArgs ? body.substr(colon + 1) : std::string();
    bool known = false;
    for (const NamedWaveform& entry : kWaveforms) {
        if (name == entry.name) {
            spec.waveform = entry.waveform;
            known = true;
        }
    }
    if (!known) {
        throw HostError("unknown signal '" + name + "' in '" + input +
                        "' (known: sine:FREQ, saw:FREQ, square:FREQ, noise, sweep:F1-F2, "
                        "silence)");
    }
    switch (spec.waveform) {
    case Waveform::sine:
    case Waveform::saw:
    case Waveform::square:
        if (!hasArgs) {
            throw HostError("signal '" + name + "' needs a frequency, for example " + name +
                            ":440");
        }
        spec.frequency = parseFrequency(args, input);
        break;
    case Waveform::sweep: {
        const std::size_t dash = args.find('-');
        if (!hasArgs || dash == std::string::npos) {
            throw HostError("signal 'sweep' needs two frequencies, for example sweep:20-20k");
        }
        spec.frequency = parseFrequency(args.substr(0, dash), input);
        spec.endFrequency = parseFrequency(args.substr(dash + 1), input);
        break;
    }
    case Waveform::noise:
    case Waveform::silence:
        if (hasArgs) {
            throw HostError("signal '" + name + "' takes no arguments (in '" + input + "')");
        }
        break;
    }
    return spec;
}

// Whether `text` reads as a signal rather than a file path: its first name is a word,
// followed by ':', '@', '+' or nothing.
bool looksLikeSignal(const std::string& text) {
    const std::size_t end = text.find_first_of(":@+");
    return isWord(text.substr(0, end));
}

// xorshift32: a small generator whose sequence is the same on every platform.
std::uint32_t nextRandom(std::uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

// Polynomial band-limited step: the correction that smooths a unit jump at phase 0 over
// one sample on each side, so saw and square alias far less than their naive forms.
double blep(double phase, double increment) {
    if (increment <= 0.0) {
        return 0.0;
    }
    if (phase < increment) {
        const double x = phase / increment;
        return x + x - x * x - 1.0;
    }
    if (phase > 1.0 - increment) {
        const double x = (phase - 1.0) / increment;
        return x * x + x + x + 1.0;
    }
    return 0.0;
}

// One built-in signal, sample by sample.
class Oscillator {
public:
    Oscillator(const SignalSpec& signal, double sampleRate, double seconds, std::uint32_t seed)
        : spec(signal), random(seed != 0 ? seed : 0x6D2B79F5u) {
        increment = spec.frequency / sampleRate;
        if (spec.waveform == Waveform::sweep) {
            const double samples = std::max(1.0, std::floor(seconds * sampleRate));
            ratio = exact::exp(exact::log(spec.endFrequency / spec.frequency) / samples);
            sweepLeft = static_cast<std::int64_t>(samples);
        }
    }

    float next() {
        double value = 0.0;
        switch (spec.waveform) {
        case Waveform::sine:
        case Waveform::sweep:
            value = exact::sinCycles(phase);
            break;
        case Waveform::saw:
            value = 2.0 * phase - 1.0 - blep(phase, increment);
            break;
        case Waveform::square: {
            const double half = phase < 0.5 ? phase + 0.5 : phase - 0.5;
            value = (phase < 0.5 ? 1.0 : -1.0) + blep(phase, increment) - blep(half, increment);
            break;
        }
        case Waveform::noise:
            // Uniform in [-1, 1): the top 24 bits, exactly representable.
            value = static_cast<double>(nextRandom(random) >> 8) / 8388608.0 - 1.0;
            break;
        case Waveform::silence:
            return 0.0f;
        }
        phase += increment;
        if (phase >= 1.0) {
            phase -= std::floor(phase);
        }
        if (sweepLeft > 0) {
            increment *= ratio;
            --sweepLeft;
        }
        return static_cast<float>(value * spec.amplitude);
    }

private:
    SignalSpec spec;
    double phase = 0.0;
    double increment = 0.0;
    double ratio = 1.0;
    std::int64_t sweepLeft = 0; // samples until a sweep holds its end frequency
    std::uint32_t random;
};

class BuiltinInput final : public InputSource {
public:
    BuiltinInput(const InputSpec& spec, double sampleRate, double seconds, std::uint32_t seed)
        : a(spec.a, sampleRate, seconds, seed * 2u + 1u),
          b(spec.b, sampleRate, seconds, seed * 2u + 2u), hasB(spec.hasB),
          aStreams(spec.a.waveform != Waveform::silence),
          bStreams(spec.hasB && spec.b.waveform != Waveform::silence) {}

    double nativeRate() const override { return 0.0; }
    std::int64_t length() const override { return -1; }
    bool streamsA() const override { return aStreams; }
    bool streamsB() const override { return bStreams; }
    void read(float* outA, float* outB, int frames) override {
        for (int i = 0; i < frames; ++i) {
            outA[i] = a.next();
            outB[i] = hasB ? b.next() : 0.0f;
        }
    }

private:
    Oscillator a;
    Oscillator b;
    bool hasB;
    bool aStreams;
    bool bStreams;
};

} // namespace

InputSpec parseInput(const std::string& text,
                     const std::function<bool(const std::string&)>& fileExists) {
    InputSpec spec;
    spec.text = text;
    if (text.empty()) {
        throw HostError("empty input name");
    }
    if (fileExists(text)) {
        spec.isFile = true;
        return spec;
    }
    if (!looksLikeSignal(text)) {
        throw HostError("cannot open '" + text + "': no such file");
    }
    const std::size_t plus = text.find('+');
    spec.a = parseSignal(text.substr(0, plus), text);
    if (plus != std::string::npos) {
        spec.hasB = true;
        spec.b = parseSignal(text.substr(plus + 1), text);
    }
    return spec;
}

const char* signalHelp() {
    return "INPUT is an audio file (WAV, FLAC, OGG, AIFF: channel 1 drives signal A, channel 2 "
           "signal B) or a built-in signal: sine:FREQ, saw:FREQ, square:FREQ, noise, "
           "sweep:F1-F2, silence. FREQ takes a k suffix (1.5k). Append @AMP for the peak "
           "value (default 0.8) and +SIGNAL for signal B, e.g. sine:440@0.5+noise@0.1. "
           "Each INPUT is one voice.";
}

std::unique_ptr<InputSource> makeBuiltinInput(const InputSpec& spec, double sampleRate,
                                              double seconds, std::uint32_t seed) {
    return std::make_unique<BuiltinInput>(spec, sampleRate, seconds, seed);
}

} // namespace vex::host
