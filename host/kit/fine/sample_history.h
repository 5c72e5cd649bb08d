// The newest samples of a voice's two signals, kept for an analysis that runs on another
// thread: one writer (the audio thread) appends block by block, without waiting, locking or
// allocating, while readers copy a stretch that ends anywhere in what is kept.
//
// Every slot is an atomic, so a copy racing the writer is a defined read, which the check
// after the copy throws away when the writer had begun to overwrite the stretch. Why the
// samples are stored with release and loaded with acquire instead of relaxed between two
// fences: a reader that sees any sample of a write then also sees the write's announced end
// (stored before the samples), and ThreadSanitizer models these orderings (it does not model
// fences). On x86 they are plain moves.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace vex::host {

class SampleHistory {
public:
    static constexpr std::int32_t kSignals = 2; // 0 signal A, 1 signal B

    SampleHistory() = default;

    // Room for at least the newest `frames` samples of each signal (rounded up to a power
    // of two), all zero, nothing written yet. Allocates: not on an audio thread.
    void reserve(std::int64_t frames);
    std::int64_t capacity() const { return size; }
    // Forgets what was written, keeping the room (what is read before the first sample
    // written again is 0). Not while the writer or a reader runs.
    void restart();

    // Appends `frames` samples of each signal (a null signal appends zeros). The audio
    // thread: no allocation, lock or system call. Does nothing before reserve.
    void write(const float* signalA, const float* signalB, std::int32_t frames);

    // Samples appended since reserve.
    std::int64_t written() const { return end.load(std::memory_order_acquire); }

    // Copies the `count` samples of `signal` that end at sample `last` (exclusive), oldest
    // first, into out[0..count-1]; samples before the first one written read 0. False, with
    // out unspecified, when part of the stretch is not written yet or was (or was being)
    // overwritten, or the arguments are out of range. Any thread; no allocation.
    bool read(std::int32_t signal, std::int64_t last, std::int32_t count, float* out) const;

private:
    std::int64_t size = 0;
    std::int64_t mask = 0;
    std::unique_ptr<std::atomic<float>[]> samples[kSignals];
    // The end of the write under way (stored before its samples), and of the last one done.
    std::atomic<std::int64_t> begun{0};
    std::atomic<std::int64_t> end{0};
};

} // namespace vex::host
