// The audio half of `vexhost live`: a voice engine run from a real-time callback. The
// callback hands in each voice's samples (or the voices generate their own), the engine
// runs the module's audio objects, every frame they send is copied into a FrameQueue for
// the window thread, and every voice's samples go into a history the window thread makes
// the fine analysis from. Nothing on that path allocates, locks or does I/O.
//
// The window thread asks refine() for what to show of each queued frame: the frame itself
// in the module's analysis, the fine twin of a spectrum frame in the fine one. With a group,
// a member's frames are published by one thread at a time: by the audio thread in the
// module's analysis; in the fine one the audio thread hands them over in the queue and the
// window thread publishes their twins (publishHandedOver), and on the way back the audio
// thread publishes again only once the window thread has published every frame handed over.
#pragma once

#include "host/kit/fine/fine_frames.h"
#include "host/kit/voice_engine.h"
#include "host/vexhost/live/frame_queue.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace vex::host {

class LiveGroup;

class LiveFeed {
public:
    // Owns `engine` (voices added, no frame sink yet, not run yet) and routes its frames
    // into `queue`, its voices' samples into histories of two seconds. Allocates.
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

    // Window thread: the analysis of the spectra refine() gives and the group gets, from
    // the next frame taken on.
    void setAnalysis(Analysis analysis);
    Analysis analysis() const { return shownAnalysis; }
    // Window thread: the bytes to show for `frame` (frame->size of them): its own in the
    // module's analysis and for any frame but a spectrum; in the fine one a spectrum
    // frame's fine twin, valid until the next call for the voice and view (frames of a
    // voice in the order sent). Null when the history lost samples while they were read
    // (the window fell far behind the audio) or the voice is not one of the engine's: the
    // frame is to be dropped. No allocation.
    const std::uint8_t* refine(const QueuedFrame& frame);
    // Window thread, for every frame of the queue in order while in a group: publishes a
    // frame the audio thread handed over (as refine() answers; nothing when it answers
    // null) to its voice's slot. Other frames are left alone.
    void publishHandedOver(const QueuedFrame& frame);

    VoiceEngine& engine() { return *voices; }
    std::int32_t blockSize() const { return voices->settings().blockSize; }
    double sampleRate() const { return voices->settings().sampleRate; }

private:
    void send(const SentFrame& frame);

    std::unique_ptr<VoiceEngine> voices;
    FrameQueue& frames;
    std::atomic<std::int32_t> wantedMode;
    std::int32_t runningMode;
    std::atomic<std::int64_t> published{0};
    LiveGroup* members = nullptr;

    // The window thread's fine analysis; the histories are written by the audio thread.
    FineAnalysis fineAnalysis;
    std::vector<std::unique_ptr<FineFrames>> fine;
    Analysis shownAnalysis = Analysis::kModule;
    // The group's hand-over: the window's analysis for the audio thread; the audio
    // thread's choice for the block under way and its count of frames handed over; the
    // window thread's count of those it has published (or dropped).
    std::atomic<bool> handOverWanted{false};
    bool audioPublishes = true;
    std::uint64_t handedOver = 0;
    std::atomic<std::uint64_t> windowPublished{0};
};

} // namespace vex::host
