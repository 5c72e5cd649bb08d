// The audio half of `vexhost live`: a voice engine run from a real-time callback. The
// callback hands in each voice's samples (or the voices generate their own), the engine
// runs the module's audio objects, and every frame they send is copied into a FrameQueue
// for the window thread. Nothing on that path allocates, locks or does I/O.
#pragma once

#include "host/kit/voice_engine.h"
#include "host/vexhost/live/frame_queue.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace vex::host {

class LiveGroup;

class LiveFeed {
public:
    // Owns `engine` (voices added, no frame sink yet) and routes its frames into `queue`.
    LiveFeed(std::unique_ptr<VoiceEngine> engine, FrameQueue& queue);
    LiveFeed(const LiveFeed&) = delete;
    LiveFeed& operator=(const LiveFeed&) = delete;

    // Audio thread. Runs `frames` samples, at most the engine's block size, first switching
    // the analysis when another mode was requested. Publishes the new position.
    void run(std::int32_t frames);

    // Any thread: asks the audio thread to switch analysis from its next block on.
    void requestMode(std::int32_t mode) { wantedMode.store(mode, std::memory_order_relaxed); }
    // Any thread: samples run so far (published after their frames were queued).
    std::int64_t position() const { return published.load(std::memory_order_acquire); }

    // Set-up only, before the audio starts: every voice's frames also go to `group`'s
    // slots, and each block marks its members alive.
    void joinGroup(LiveGroup* group) { members = group; }

    VoiceEngine& engine() { return *voices; }
    std::int32_t blockSize() const { return voices->settings().blockSize; }
    double sampleRate() const { return voices->settings().sampleRate; }

private:
    std::unique_ptr<VoiceEngine> voices;
    FrameQueue& frames;
    std::atomic<std::int32_t> wantedMode;
    std::int32_t runningMode;
    std::atomic<std::int64_t> published{0};
    LiveGroup* members = nullptr;
};

} // namespace vex::host
