#include "host/vexhost/live/live_feed.h"

#include "host/vexhost/live/live_group.h"
#include "host/vexhost/live/live_stats.h"

#include <algorithm>

namespace vex::host {

LiveFeed::LiveFeed(std::unique_ptr<VoiceEngine> engine, FrameQueue& queue)
    : voices(std::move(engine)), frames(queue), wantedMode(voices->settings().mode),
      runningMode(voices->settings().mode) {
    voices->onFrame = [this](const SentFrame& frame) {
        frames.push(frame.sample, frame.voice, frame.bytes, frame.size, steadyNanos());
        if (members != nullptr) {
            members->publish(frame.voice, frame.bytes, frame.size);
        }
    };
}

void LiveFeed::run(std::int32_t count) {
    const std::int32_t mode = wantedMode.load(std::memory_order_relaxed);
    if (mode != runningMode) {
        runningMode = mode;
        voices->setMode(mode);
    }
    if (members != nullptr) {
        members->beat();
    }
    voices->runTo(voices->position() + std::clamp(count, 0, blockSize()));
    published.store(voices->position(), std::memory_order_release);
}

} // namespace vex::host
