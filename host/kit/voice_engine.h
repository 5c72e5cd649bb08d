// The voice engine: one audio object of the module per voice, driven block by block as a
// host drives it, with every frame the objects send handed to a sink: as sent, or with the
// fine analysis in place of the module's spectra.
#pragma once

#include "framework/audio/factory_interface.h"
#include "host/kit/block_driver.h"
#include "host/kit/fine/fine_frames.h"
#include "host/kit/voice_input.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace vex::host {

struct EngineSettings {
    double sampleRate = 48000.0;
    std::int32_t blockSize = 128; // sample frames per process call
    std::int32_t mode = 0;        // 0 scope, 1 linear spectrum, 2 log spectrum
    std::int32_t rate = 4;        // update-rate choice 0..7 (5 to 40 frames per second)
    float enable = 1.0f;
    std::int32_t hostFlag = 0;
    // kFine: the sink gets each spectrum frame's fine twin (same view, presence bytes and
    // time) in its place; scope and empty frames as sent.
    Analysis analysis = Analysis::kModule;
};

// One frame an audio object sent on its frame pin; the bytes live during the call only.
struct SentFrame {
    std::int64_t sample; // session sample frame at which it was sent
    std::int32_t voice;
    const std::uint8_t* bytes;
    std::int32_t size;
};

// Not thread-safe: everything runs on the caller's thread, which plays both the host's
// audio thread and its user-interface thread.
class VoiceEngine {
public:
    VoiceEngine(FactoryInterface& factory, const EngineSettings& settings);
    ~VoiceEngine();
    VoiceEngine(const VoiceEngine&) = delete;
    VoiceEngine& operator=(const VoiceEngine&) = delete;

    // Creates, opens and connects the audio object of the next voice. Throws HostError.
    void addVoice(std::unique_ptr<InputSource> input);

    // Set-up, for a host that refines frames on another thread: every block of voice
    // `voice`'s input is also appended to `history` (which outlives the engine's runs)
    // before the block is processed, so that, set before the first run, the history's
    // sample n is session sample n. No allocation or lock per block.
    void recordInto(std::int32_t voice, SampleHistory& history);

    // Processes blocks until the session position reaches `endSample`; the last block is
    // cut short so that it ends there.
    void runTo(std::int64_t endSample);

    // Switches every voice to analysis `mode` (0..2) from its next block on: each object
    // gets the new value on its mode pin. Allocates nothing, so a real-time caller may use it.
    void setMode(std::int32_t mode);

    std::int64_t position() const { return samplePosition; }
    std::int32_t voiceCount() const { return static_cast<std::int32_t>(voices.size()); }
    const EngineSettings& settings() const { return config; }
    // How many process calls voice `voice` received, and whether it is asleep now.
    std::int64_t processCalls(std::int32_t voice) const;
    bool asleep(std::int32_t voice) const;

    // Receives every frame-pin value, in the order sent (voice by voice within a block).
    std::function<void(const SentFrame&)> onFrame;

private:
    struct Voice {
        BlockDriver driver;
        std::unique_ptr<InputSource> input;
        std::vector<float> signalA;
        std::vector<float> signalB;
        bool started = false;
        bool modeDue = false;
        std::unique_ptr<FineFrames> fine;  // in the fine analysis
        SampleHistory* recorded = nullptr; // recordInto's
    };
    void runBlock(Voice& voice, std::int32_t frames);

    FactoryInterface& factory;
    EngineSettings config;
    std::unique_ptr<FineAnalysis> fineAnalysis; // in the fine analysis
    std::vector<std::unique_ptr<Voice>> voices;
    std::int64_t samplePosition = 0;
    std::int64_t blockStart = 0;
};

} // namespace vex::host
