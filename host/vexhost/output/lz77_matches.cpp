#include "host/vexhost/output/lz77_matches.h"

#include <algorithm>
#include <cstring>

#include <emmintrin.h>

namespace vex::host {

namespace {

constexpr int kHashSize = 1 << 15;
constexpr int kMaxChain = 48;
// Chain links by position modulo a ring larger than the window: a link is read only for a
// candidate within the window, whose slot no later position has reused, and every slot
// read was written when its position was inserted.
constexpr int kRing = 1 << 16;
static_assert(kRing > kMatchWindow, "links within the window must survive");

int hashOf(std::uint32_t b0, std::uint32_t b1, std::uint32_t b2) {
    return static_cast<int>(((b0 << 10) ^ (b1 << 5) ^ b2) & (kHashSize - 1));
}

// How many bytes from `a` and `b` on are equal, at most `limit`; 16, then 8 at a time.
int matchLength(const std::uint8_t* a, const std::uint8_t* b, int limit) {
    int length = 0;
    while (length + 16 <= limit) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + length));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + length));
        const int equal = _mm_movemask_epi8(_mm_cmpeq_epi8(x, y));
        if (equal != 0xffff) {
            return length + __builtin_ctz(static_cast<unsigned>(~equal));
        }
        length += 16;
    }
    while (length + 8 <= limit) {
        std::uint64_t x;
        std::uint64_t y;
        std::memcpy(&x, a + length, 8);
        std::memcpy(&y, b + length, 8);
        if (x != y) {
            return length + __builtin_ctzll(x ^ y) / 8; // bytes are little-endian
        }
        length += 8;
    }
    while (length < limit && a[length] == b[length]) {
        ++length;
    }
    return length;
}

// How many of the `count` bytes from `data` on equal `value` before the first that does
// not; 16 at a time.
int runLength(const std::uint8_t* data, int count, std::uint8_t value) {
    const __m128i wanted = _mm_set1_epi8(static_cast<char>(value));
    int length = 0;
    while (length + 16 <= count) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + length));
        const int equal = _mm_movemask_epi8(_mm_cmpeq_epi8(v, wanted));
        if (equal != 0xffff) {
            return length + __builtin_ctz(static_cast<unsigned>(~equal));
        }
        length += 16;
    }
    while (length < count && data[length] == value) {
        ++length;
    }
    return length;
}

} // namespace

MatchFinder::MatchFinder(const std::uint8_t* data, int dataSize)
    : bytes(data), size(dataSize), head(kHashSize, -1), previous(new int[kRing]) {}

Match MatchFinder::longest(int i) const {
    Match best;
    if (i + 2 >= size) {
        return best;
    }
    const int limit = std::min(kMaxMatchLength, size - i);
    int candidate = head[hashOf(bytes[i], bytes[i + 1], bytes[i + 2])];
    for (int chain = 0; candidate >= 0 && chain < kMaxChain; ++chain) {
        if (i - candidate > kMatchWindow) {
            break;
        }
        // Only a longer match counts: one that differs at best.length cannot be.
        if (bytes[candidate + best.length] == bytes[i + best.length]) {
            const int length = matchLength(bytes + candidate, bytes + i, limit);
            if (length > best.length) {
                best = {length, i - candidate};
                if (length == limit) {
                    break;
                }
            }
        }
        candidate = previous[candidate & (kRing - 1)];
    }
    return best;
}

void MatchFinder::insert(int i) {
    if (i + 2 < size) {
        const int h = hashOf(bytes[i], bytes[i + 1], bytes[i + 2]);
        previous[i & (kRing - 1)] = head[h];
        head[h] = i;
    }
}

void MatchFinder::insertRun(int first, int last, std::uint32_t value) {
    const int h = hashOf(value, value, value);
    previous[first & (kRing - 1)] = head[h];
    for (int i = first + 1; i < last;) {
        const int end = std::min(last, (i | (kRing - 1)) + 1); // to the ring's end
        linkEach(i, end);
        i = end;
    }
    head[h] = last - 1;
}

void MatchFinder::insertRange(int first, int last) {
    last = std::min(last, size - 2);
    int i = first;
    while (i < last) {
        const std::uint8_t value = bytes[i];
        if (bytes[i + 1] == value && bytes[i + 2] == value) {
            const int end = i + 1 + runLength(bytes + i + 3, last - i - 1, value);
            insertRun(i, end, value);
            i = end;
        } else {
            insert(i);
            ++i;
        }
    }
}

void MatchFinder::linkEach(int i, int end) {
    int* link = &previous[i & (kRing - 1)];
    int k = i;
    __m128i links = _mm_setr_epi32(k - 1, k, k + 1, k + 2);
    const __m128i four = _mm_set1_epi32(4);
    const __m128i eight = _mm_set1_epi32(8);
    for (; k + 8 <= end; k += 8, link += 8) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(link), links);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(link + 4), _mm_add_epi32(links, four));
        links = _mm_add_epi32(links, eight);
    }
    for (; k + 4 <= end; k += 4, link += 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(link), links);
        links = _mm_add_epi32(links, four);
    }
    for (; k < end; ++k) {
        *link++ = k - 1;
    }
}

} // namespace vex::host
