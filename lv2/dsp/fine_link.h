// The fine analysis of one instance (host/kit/fine): its samples kept on the audio thread,
// its long transforms run on the host's worker thread (work:schedule), one job at a time.
//
// The audio thread appends every block to the history and, for each spectrum frame the
// module sends, asks for its fine twin with a message of a few words (the worker's ring is
// small: no frame bytes go through it). While a job is out, a newer request replaces the
// waiting one. The worker refines into the FineFrames and answers with a few words; the
// fine bytes stay there, untouched by the worker until the next job, which is only sent
// once the audio thread has written the frame out (take()).
#pragma once

#include "host/kit/fine/fine_analysis.h"
#include "host/kit/fine/fine_frames.h"
#include "host/kit/frame_view.h"

#include <lv2/worker/worker.h>

#include <cstdint>
#include <memory>

namespace vex::lv2 {

class FineLink {
public:
    // Instantiation thread: the analysis and history for `sampleRate` and the host's worker
    // (null: none). Allocates.
    FineLink(double sampleRate, const LV2_Worker_Schedule* schedule);
    ~FineLink();
    FineLink(const FineLink&) = delete;
    FineLink& operator=(const FineLink&) = delete;

    // Whether fine frames can be made: a worker, and a rate the analysis runs at.
    bool available() const { return worker != nullptr && frames != nullptr; }

    // Audio thread: the block's two inputs into the history (before the block's frames).
    void write(const float* signalA, const float* signalB, std::int32_t samples);
    // Audio thread: samples appended so far (a frame sent `t` samples into the block that
    // began at `b` ends at b + t).
    std::int64_t written() const;
    // Audio thread: the fine twin of a spectrum frame (`view`, its presence bytes) sent when
    // sample `end` of the history was the newest, to go out with the frame event time
    // `time`. Never blocks: replaces a request still waiting.
    void request(host::View view, bool streamingA, bool streamingB, std::int64_t end,
                 std::int64_t time);
    // Audio thread, each run: a fine frame the worker made, handed to `out` (its bytes,
    // size and frame event time), then the waiting request goes to the worker. `out` is
    // called at most once.
    template <typename Out> void take(Out&& out) {
        if (ready) {
            ready = false;
            out(readyBytes, host::frameSizeOf(readyView), readyTime);
        }
        advance();
    }
    // Audio thread: forgets what is waiting and what is ready (a new stream).
    void reset();

    // Whether a worker message is this link's (the group link has the others).
    static bool owns(std::uint32_t size, const void* data);
    // The worker interface: `work` on the host's worker thread, `response` on the audio
    // thread.
    LV2_Worker_Status work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                           std::uint32_t size, const void* data);
    LV2_Worker_Status response(std::uint32_t size, const void* data);

private:
    struct Job;
    struct Done;
    void advance();

    const LV2_Worker_Schedule* worker = nullptr;
    std::unique_ptr<host::FineAnalysis> analysis;
    std::unique_ptr<host::FineFrames> frames;
    double rate = 0.0;

    // Audio-thread state.
    std::uint32_t serial = 0; // of the last job sent
    bool outstanding = false; // a job is with the worker
    bool discard = false;     // its answer is of an earlier stream
    std::int64_t outstandingSince = 0;
    bool waiting = false; // a request to send when the worker is free
    host::View waitingView = host::View::kLog;
    bool waitingA = false, waitingB = false;
    std::int64_t waitingEnd = 0, waitingTime = 0;
    bool ready = false; // a fine frame to write out
    host::View readyView = host::View::kLog;
    const std::uint8_t* readyBytes = nullptr; // in `frames`, as the worker's answer points
    std::int64_t readyTime = 0;
};

} // namespace vex::lv2
