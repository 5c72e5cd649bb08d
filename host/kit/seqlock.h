// A sequence lock over a block of words: one writer replaces the block's bytes while any
// number of readers copy them, none of them waiting, locking or making a system call. The
// counter is odd while a write is under way; a reader's copy counts only when the counter
// was even and the same before and after it.
//
// The words are atomics, so a copy racing a write is a defined (if torn) read that the
// counter check throws away, and the block may live in memory shared between processes: a
// lock-free std::atomic of 32 bits needs no process-local state. Why each word is stored
// with release and loaded with acquire instead of relaxed between two fences: a reader that
// sees any word of a write then also sees that write's odd counter, and ThreadSanitizer
// models these orderings (it does not model fences). On x86 they are plain moves.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vex::host {

static_assert(std::atomic<std::uint32_t>::is_always_lock_free,
              "a sequence lock in shared memory needs lock-free 32-bit atomics");

// Words needed to hold `bytes` bytes.
constexpr std::size_t seqlockWords(std::size_t bytes) {
    return (bytes + sizeof(std::uint32_t) - 1) / sizeof(std::uint32_t);
}

namespace detail {

inline std::uint32_t beginWrite(std::atomic<std::uint32_t>& sequence) {
    const std::uint32_t start = sequence.load(std::memory_order_relaxed);
    // Why odd first: a reader that sees the old even value before its copy and this one
    // after it knows its copy may be torn.
    sequence.store(start | 1u, std::memory_order_relaxed);
    return start;
}

inline void storeWords(std::atomic<std::uint32_t>* words, const void* data, std::size_t bytes) {
    const auto* in = static_cast<const std::uint8_t*>(data);
    const std::size_t whole = bytes / sizeof(std::uint32_t);
    for (std::size_t i = 0; i < whole; ++i) {
        std::uint32_t word;
        std::memcpy(&word, in + i * sizeof word, sizeof word);
        words[i].store(word, std::memory_order_release);
    }
    if (const std::size_t rest = bytes - whole * sizeof(std::uint32_t); rest > 0) {
        std::uint32_t word = 0;
        std::memcpy(&word, in + whole * sizeof word, rest);
        words[whole].store(word, std::memory_order_release);
    }
}

inline void copyWords(const std::atomic<std::uint32_t>* words, void* out, std::size_t bytes) {
    auto* to = static_cast<std::uint8_t*>(out);
    const std::size_t whole = bytes / sizeof(std::uint32_t);
    for (std::size_t i = 0; i < whole; ++i) {
        const std::uint32_t word = words[i].load(std::memory_order_acquire);
        std::memcpy(to + i * sizeof word, &word, sizeof word);
    }
    if (const std::size_t rest = bytes - whole * sizeof(std::uint32_t); rest > 0) {
        const std::uint32_t word = words[whole].load(std::memory_order_acquire);
        std::memcpy(to + whole * sizeof word, &word, rest);
    }
}

} // namespace detail

// Writer only (one thread at a time per block). Copies `bytes` bytes of `data` into
// `words`, which hold at least seqlockWords(bytes). No allocation, lock or system call.
inline void seqlockWrite(std::atomic<std::uint32_t>& sequence, std::atomic<std::uint32_t>* words,
                         const void* data, std::size_t bytes) {
    const std::uint32_t start = detail::beginWrite(sequence);
    detail::storeWords(words, data, bytes);
    sequence.store((start | 1u) + 1u, std::memory_order_release);
}

// Writer only. Stores `header` in the first word and `length` bytes of `data` after it, in
// one write; `words` hold at least 1 + seqlockWords(length). For a length word that also
// carries flags of the caller's (seqlockWriteSized stores the bare length).
inline void seqlockWriteHeaded(std::atomic<std::uint32_t>& sequence,
                               std::atomic<std::uint32_t>* words, std::uint32_t header,
                               const void* data, std::uint32_t length) {
    const std::uint32_t start = detail::beginWrite(sequence);
    words[0].store(header, std::memory_order_release);
    detail::storeWords(words + 1, data, length);
    sequence.store((start | 1u) + 1u, std::memory_order_release);
}

// Writer only. Stores `length` in the first word and `length` bytes of `data` after it;
// `words` hold at least 1 + seqlockWords(length). Read back with seqlockReadSized.
inline void seqlockWriteSized(std::atomic<std::uint32_t>& sequence,
                              std::atomic<std::uint32_t>* words, const void* data,
                              std::uint32_t length) {
    seqlockWriteHeaded(sequence, words, length, data, length);
}

// Any thread. Copies `bytes` bytes of `words` into `out`; true when the copy is whole (no
// write began or ended during it). On false `out` holds torn bytes: try again or skip.
inline bool seqlockRead(const std::atomic<std::uint32_t>& sequence,
                        const std::atomic<std::uint32_t>* words, void* out, std::size_t bytes) {
    const std::uint32_t before = sequence.load(std::memory_order_acquire);
    if ((before & 1u) != 0) {
        return false;
    }
    detail::copyWords(words, out, bytes);
    return sequence.load(std::memory_order_relaxed) == before;
}

// Any thread, for a block whose first word is the length in bytes of what follows it (as
// written by seqlockWrite of the length word and the bytes together). Copies at most
// `capacity` bytes of what follows into `out` and sets `length` to the stored length, which
// the caller bounds: in shared memory it is untrusted. True when the copy is whole.
inline bool seqlockReadSized(const std::atomic<std::uint32_t>& sequence,
                             const std::atomic<std::uint32_t>* words, void* out,
                             std::size_t capacity, std::uint32_t& length) {
    const std::uint32_t before = sequence.load(std::memory_order_acquire);
    if ((before & 1u) != 0) {
        return false;
    }
    length = words[0].load(std::memory_order_acquire);
    detail::copyWords(words + 1, out, length < capacity ? length : capacity);
    return sequence.load(std::memory_order_relaxed) == before;
}

} // namespace vex::host
