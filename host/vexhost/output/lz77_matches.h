// The LZ77 match finder of the PNG encoder's deflate stream: hash chains of the positions
// that start each three bytes, searched for the longest earlier match within the window.
// Deterministic: the same data gives the same matches on every platform.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace vex::host {

inline constexpr int kMatchWindow = 32768;
inline constexpr int kMaxMatchLength = 258;

struct Match {
    int length = 0;
    int distance = 0;
};

// Over `data`, which must outlive it; positions are inserted as the encoder passes them.
class MatchFinder {
public:
    MatchFinder(const std::uint8_t* data, int dataSize);

    // The longest earlier match for position i within the window, searched along at most
    // kMaxChain links; length 0 when there is none.
    Match longest(int i) const;
    void insert(int i);
    // Positions first..last - 1, each starting three equal bytes `value`, inserted one
    // after the other: all go to one chain, each linked to the one before.
    void insertRun(int first, int last, std::uint32_t value);
    // Inserts positions first..last - 1 in order, runs of equal bytes at once.
    void insertRange(int first, int last);

private:
    // Positions i..end - 1 (within one turn of the ring) each linked to the one before.
    void linkEach(int i, int end);

    const std::uint8_t* bytes;
    int size;
    std::vector<int> head;
    std::unique_ptr<int[]> previous;
};

} // namespace vex::host
