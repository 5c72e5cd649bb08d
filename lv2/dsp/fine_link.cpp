#include "lv2/dsp/fine_link.h"

#include <cstring>

namespace vex::lv2 {

using host::View;

// To the worker: the frame to refine. Back: whether it was made, and where its bytes are.
struct FineLink::Job {
    static constexpr std::uint32_t kTag = 0x424A4656u; // "VFJB"
    std::uint32_t tag;
    std::uint32_t serial;
    std::int32_t view;
    std::uint8_t streamingA;
    std::uint8_t streamingB;
    std::uint8_t unused[2];
    std::int64_t end;
    std::int64_t time;
};

struct FineLink::Done {
    static constexpr std::uint32_t kTag = 0x44444656u; // "VFDD"
    std::uint32_t tag;
    std::uint32_t serial;
    std::int32_t view;
    std::int32_t made; // 1: bytes holds the frame; 0: the history lost its window
    std::int64_t time;
    const std::uint8_t* bytes;
};

namespace {

// A job unanswered for this long is given up (a host that dropped it): the next one goes.
constexpr double kGiveUpSeconds = 4.0;

template <typename Message> bool isMessage(std::uint32_t size, const void* data) {
    std::uint32_t tag = 0;
    if (data == nullptr || size != sizeof(Message)) {
        return false;
    }
    std::memcpy(&tag, data, sizeof tag);
    return tag == Message::kTag;
}

} // namespace

FineLink::FineLink(double sampleRate, const LV2_Worker_Schedule* schedule)
    : worker(schedule), rate(sampleRate) {
    // Why only within the analysis's rates: outside them it would analyse another rate's
    // bands, and the frames would lie; such an instance keeps the module's analysis.
    if (schedule != nullptr && sampleRate >= host::FineAnalysis::kMinRate &&
        sampleRate <= host::FineAnalysis::kMaxRate) {
        analysis = std::make_unique<host::FineAnalysis>(sampleRate);
        frames = std::make_unique<host::FineFrames>(*analysis);
    }
}

FineLink::~FineLink() = default;

void FineLink::write(const float* signalA, const float* signalB, std::int32_t samples) {
    if (frames != nullptr && samples > 0) {
        frames->history().write(signalA, signalB, samples);
    }
}

std::int64_t FineLink::written() const {
    return frames != nullptr ? frames->history().written() : 0;
}

void FineLink::request(View view, bool streamingA, bool streamingB, std::int64_t end,
                       std::int64_t time) {
    if (!available() || !isSpectrum(view)) {
        return;
    }
    waiting = true;
    waitingView = view;
    waitingA = streamingA;
    waitingB = streamingB;
    waitingEnd = end;
    waitingTime = time;
    advance();
}

void FineLink::reset() {
    waiting = false;
    ready = false;
    discard = outstanding; // the job out belongs to the stream before
}

void FineLink::advance() {
    if (outstanding &&
        written() - outstandingSince > static_cast<std::int64_t>(kGiveUpSeconds * rate)) {
        outstanding = false; // its answer, should it come, has a serial no longer awaited
        discard = false;
    }
    if (!waiting || outstanding || ready || !available()) {
        return;
    }
    const Job job{Job::kTag,
                  serial + 1,
                  static_cast<std::int32_t>(waitingView),
                  static_cast<std::uint8_t>(waitingA ? 1 : 0),
                  static_cast<std::uint8_t>(waitingB ? 1 : 0),
                  {0, 0},
                  waitingEnd,
                  waitingTime};
    waiting = false;
    // Why awaited before it is scheduled: a host that runs the job at once (offline) answers
    // inside schedule_work.
    serial = job.serial;
    outstanding = true;
    outstandingSince = written();
    if (worker->schedule_work(worker->handle, sizeof job, &job) != LV2_WORKER_SUCCESS) {
        outstanding = false;
    }
}

bool FineLink::owns(std::uint32_t size, const void* data) {
    return isMessage<Job>(size, data) || isMessage<Done>(size, data);
}

LV2_Worker_Status FineLink::work(LV2_Worker_Respond_Function respond,
                                 LV2_Worker_Respond_Handle handle, std::uint32_t size,
                                 const void* data) {
    if (!isMessage<Job>(size, data) || frames == nullptr) {
        return LV2_WORKER_ERR_UNKNOWN;
    }
    Job job;
    std::memcpy(&job, data, sizeof job);
    const View view =
        job.view == static_cast<std::int32_t>(View::kLinear) ? View::kLinear : View::kLog;
    const std::uint8_t* bytes =
        frames->refine(*analysis, view, job.streamingA != 0, job.streamingB != 0, job.end);
    const Done done{
        Done::kTag, job.serial, static_cast<std::int32_t>(view), bytes != nullptr ? 1 : 0,
        job.time,   bytes};
    return respond(handle, sizeof done, &done);
}

LV2_Worker_Status FineLink::response(std::uint32_t size, const void* data) {
    if (!isMessage<Done>(size, data)) {
        return LV2_WORKER_ERR_UNKNOWN;
    }
    Done done;
    std::memcpy(&done, data, sizeof done);
    if (!outstanding || done.serial != serial) {
        return LV2_WORKER_SUCCESS; // a job given up: its bytes are not awaited
    }
    outstanding = false;
    if (discard) {
        discard = false;
        advance();
    } else if (done.made == 1 && done.bytes != nullptr) {
        ready = true;
        readyView =
            done.view == static_cast<std::int32_t>(View::kLinear) ? View::kLinear : View::kLog;
        readyBytes = done.bytes;
        readyTime = done.time;
    } else {
        advance();
    }
    return LV2_WORKER_SUCCESS;
}

} // namespace vex::lv2
