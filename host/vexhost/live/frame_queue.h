// A bounded single-producer single-consumer queue of frames: the audio thread pushes copies
// of the frames its voices send, the window thread pops them. Every slot is allocated at
// construction; push and pop neither allocate, lock nor wait.
#pragma once

#include "analyzer/audio/analyzer_messages.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>

namespace vex::host {

// The longest frame the analyzer sends.
constexpr std::int32_t kLongestFrame = kLongestPayloadSize;

struct QueuedFrame {
    std::int64_t sample = 0;      // session sample frame at which it was sent
    std::int64_t pushedNanos = 0; // steady-clock time of the push, for latency figures
    std::int32_t voice = 0;
    std::int32_t size = 0;
    bool handedOver = false; // the window thread publishes it to the group (live_feed.h)
    std::uint8_t bytes[kLongestFrame];
};

class FrameQueue {
public:
    // Room for `capacity` frames (at least 2).
    explicit FrameQueue(std::int32_t capacity)
        : slotCount(capacity < 2 ? 2 : capacity),
          slots(std::make_unique<QueuedFrame[]>(static_cast<std::size_t>(slotCount))) {}

    // Producer thread only. Copies the frame into the next free slot. False when the queue
    // is full or the frame longer than a slot: the frame is dropped and counted.
    bool push(std::int64_t sample, std::int32_t voice, const std::uint8_t* bytes, std::int32_t size,
              std::int64_t pushedNanos = 0, bool handedOver = false) {
        const std::uint64_t tail = writeIndex.load(std::memory_order_relaxed);
        if (size < 0 || size > kLongestFrame || (size > 0 && bytes == nullptr) ||
            tail - readIndex.load(std::memory_order_acquire) >= slotCountU()) {
            dropCount.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        QueuedFrame& slot = slots[tail % slotCountU()];
        slot.sample = sample;
        slot.pushedNanos = pushedNanos;
        slot.voice = voice;
        slot.size = size;
        slot.handedOver = handedOver;
        if (size > 0) {
            std::memcpy(slot.bytes, bytes, static_cast<std::size_t>(size));
        }
        writeIndex.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Consumer thread only. The oldest frame, or null when the queue is empty; it stays
    // valid until pop().
    const QueuedFrame* front() const {
        const std::uint64_t head = readIndex.load(std::memory_order_relaxed);
        if (head == writeIndex.load(std::memory_order_acquire)) {
            return nullptr;
        }
        return &slots[head % slotCountU()];
    }
    // Consumer thread only. Frees the slot front() answered.
    void pop() { readIndex.fetch_add(1, std::memory_order_release); }

    // Frames dropped because the queue was full or a frame too long (any thread).
    std::int64_t dropped() const {
        return static_cast<std::int64_t>(dropCount.load(std::memory_order_relaxed));
    }
    std::int32_t capacity() const { return slotCount; }

private:
    std::uint64_t slotCountU() const { return static_cast<std::uint64_t>(slotCount); }

    const std::int32_t slotCount;
    std::unique_ptr<QueuedFrame[]> slots;
    alignas(64) std::atomic<std::uint64_t> writeIndex{0};
    alignas(64) std::atomic<std::uint64_t> readIndex{0};
    std::atomic<std::uint64_t> dropCount{0};
};

} // namespace vex::host
