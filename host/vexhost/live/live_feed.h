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
#include <vector>

namespace vex::host {

class LiveGroup;

// An input whose samples the audio callback hands in before each block: read() copies them
// from the pointers last given to set() and moves past them. Streams without end.
class HandedInput final : public InputSource {
public:
    // `a` and `b` hold at least the frames the next reads take; null reads zeros.
    void set(const float* a, const float* b) {
        nextA = a;
        nextB = b;
    }
    double nativeRate() const override { return 0.0; }
    std::int64_t length() const override { return -1; }
    bool streamsA() const override { return true; }
    bool streamsB() const override { return true; }
    void read(float* a, float* b, int frames) override;

private:
    const float* nextA = nullptr;
    const float* nextB = nullptr;
};

// Reads a whole input into memory when built, so the audio thread reads no file.
// Why: a file played at real-time pace must not stall the callback on the disk.
std::unique_ptr<InputSource> preloadInput(std::unique_ptr<InputSource> input);

// Wraps an input and keeps a copy of the last samples read (up to `blockSize` frames), for
// a callback that also plays what the voices hear.
class KeptInput final : public InputSource {
public:
    KeptInput(std::unique_ptr<InputSource> input, std::int32_t blockSize);
    double nativeRate() const override { return inner->nativeRate(); }
    std::int64_t length() const override { return inner->length(); }
    bool streamsA() const override { return inner->streamsA(); }
    bool streamsB() const override { return inner->streamsB(); }
    void read(float* a, float* b, int frames) override;
    const float* lastA() const { return keptA.data(); }
    const float* lastB() const { return keptB.data(); }

private:
    std::unique_ptr<InputSource> inner;
    std::vector<float> keptA;
    std::vector<float> keptB;
};

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
