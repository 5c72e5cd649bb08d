// What the commands that run the module share: the parsed inputs, the session's sample
// rate and length, the loaded module, and the voice engine built from them.
#pragma once

#include "host/kit/frame_view.h"
#include "host/kit/module_library.h"
#include "host/kit/voice_engine.h"
#include "host/vexhost/inputs/signal_source.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace vex::host {

struct SessionOptions {
    std::vector<std::string> inputs;
    std::string modulePath;
    bool quiet = false;
    double sampleRate = 0.0; // 0: not given (48000 for built-in signals)
    std::int32_t blockSize = 128;
    std::int32_t rate = 4;
    double duration = 0.0; // seconds; 0: not given
    // Which analysis the spectra come from (live: the one it starts with).
    Analysis analysis = Analysis::kModule;
    // Where warnings about the inputs go (a file cut short); nowhere when null.
    std::ostream* warnings = nullptr;
};

// The display has 128 voice slots; vexhost runs at most that many inputs.
constexpr std::int32_t kMaxVoices = kVoices;

class Session {
public:
    // Parses the inputs, reads the files' sample rates and loads the module. Throws
    // HostError.
    explicit Session(const SessionOptions& options);

    const SessionOptions& options() const { return given; }
    double sampleRate() const { return rate; }
    std::int32_t voiceCount() const { return static_cast<std::int32_t>(specs.size()); }
    // `requested` seconds when given (> 0), else the longest file, else 1 second.
    double seconds(double requested) const;
    std::int64_t sampleCount(double seconds) const;
    FactoryInterface& factory() { return *library.factory(); }

    // A voice engine running analysis `mode` with a fresh source per input (sweeps span
    // `seconds`); `onFrame` is connected before the first object opens, so it also sees
    // the empty value each object sends when it opens.
    std::unique_ptr<VoiceEngine> makeEngine(std::int32_t mode, double seconds,
                                            std::function<void(const SentFrame&)> onFrame);

    // A fresh source for input `voice` (sweeps span `seconds`). Throws HostError.
    std::unique_ptr<InputSource> makeInput(std::int32_t voice, double seconds) const;

private:
    SessionOptions given;
    std::vector<InputSpec> specs;
    double rate = 48000.0;
    std::int64_t longestFile = -1;
    ModuleLibrary library;
};

} // namespace vex::host
