#include "host/vexhost/live/live_feed.h"

#include "host/vexhost/live/live_group.h"
#include "host/vexhost/live/live_stats.h"

#include <algorithm>

namespace vex::host {

LiveFeed::LiveFeed(std::unique_ptr<VoiceEngine> engine, FrameQueue& queue)
    : voices(std::move(engine)), frames(queue), wantedMode(voices->settings().mode),
      runningMode(voices->settings().mode), fineAnalysis(voices->settings().sampleRate) {
    for (std::int32_t v = 0; v < voices->voiceCount(); ++v) {
        fine.push_back(std::make_unique<FineFrames>(fineAnalysis));
        voices->recordInto(v, fine.back()->history());
    }
    voices->onFrame = [this](const SentFrame& frame) { send(frame); };
}

void LiveFeed::send(const SentFrame& frame) {
    const bool handOver = members != nullptr && !audioPublishes;
    if (frames.push(frame.sample, frame.voice, frame.bytes, frame.size, steadyNanos(), handOver) &&
        handOver) {
        ++handedOver;
    }
    if (members != nullptr && audioPublishes) {
        members->publish(frame.voice, frame.bytes, frame.size, Analysis::kModule);
    }
}

void LiveFeed::run(std::int32_t count) {
    const std::int32_t mode = wantedMode.load(std::memory_order_relaxed);
    if (mode != runningMode) {
        runningMode = mode;
        voices->setMode(mode);
    }
    if (members != nullptr) {
        // The acquire pairs with the window thread's count after its last publish: once
        // every frame handed over is published, this thread may write the slots again.
        audioPublishes = !handOverWanted.load(std::memory_order_relaxed) &&
                         windowPublished.load(std::memory_order_acquire) == handedOver;
        members->beat();
    }
    voices->runTo(voices->position() + std::clamp(count, 0, blockSize()));
    published.store(voices->position(), std::memory_order_release);
}

void LiveFeed::setAnalysis(Analysis analysis) {
    shownAnalysis = analysis;
    handOverWanted.store(analysis == Analysis::kFine, std::memory_order_relaxed);
}

const std::uint8_t* LiveFeed::refine(const QueuedFrame& frame) {
    if (shownAnalysis == Analysis::kModule) {
        return frame.bytes;
    }
    if (frame.voice < 0 || frame.voice >= static_cast<std::int32_t>(fine.size())) {
        return nullptr;
    }
    return fine[static_cast<std::size_t>(frame.voice)]->refine(fineAnalysis, frame.bytes,
                                                               frame.size, frame.sample);
}

void LiveFeed::publishHandedOver(const QueuedFrame& frame) {
    if (!frame.handedOver || members == nullptr) {
        return;
    }
    if (const std::uint8_t* bytes = refine(frame)) {
        members->publish(frame.voice, bytes, frame.size, shownAnalysis);
    }
    windowPublished.fetch_add(1, std::memory_order_release);
}

} // namespace vex::host
