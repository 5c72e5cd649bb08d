// The zlib stream of the PNG encoder: deflate with fixed Huffman codes over an LZ77 match
// finder, bits packed least significant first, and the Adler-32 checksum.
#include "host/vexhost/output/zlib_stream.h"

#include "host/vexhost/output/lz77_matches.h"

#include <algorithm>
#include <array>

#include <emmintrin.h>

namespace vex::host {

void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

namespace {

// Bits into bytes, least significant bit first, as deflate packs them.
class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& output) : out(output) {}
    // `count` <= 24 bits of `value`.
    void bits(std::uint32_t value, int count) {
        buffer |= static_cast<std::uint64_t>(value) << filled;
        filled += count;
        if (filled >= 32) {
            const auto word = static_cast<std::uint32_t>(buffer);
            const std::uint8_t bytes[4] = {
                static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8),
                static_cast<std::uint8_t>(word >> 16), static_cast<std::uint8_t>(word >> 24)};
            out.insert(out.end(), bytes, bytes + 4);
            buffer >>= 32;
            filled -= 32;
        }
    }
    void flush() {
        for (; filled > 0; filled -= 8) {
            out.push_back(static_cast<std::uint8_t>(buffer & 0xFFu));
            buffer >>= 8;
        }
        buffer = 0;
        filled = 0;
    }

private:
    std::vector<std::uint8_t>& out;
    std::uint64_t buffer = 0;
    int filled = 0;
};

constexpr std::array<std::uint16_t, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                       15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                       67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint16_t, 30> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<std::uint8_t, 30> kDistanceExtra = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                         4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                         9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// `count` bits of `value` in the opposite order: Huffman codes go out most significant
// bit first.
constexpr std::uint32_t reverseBits(std::uint32_t value, int count) {
    std::uint32_t reversed = 0;
    for (int i = 0; i < count; ++i) {
        reversed = (reversed << 1) | ((value >> i) & 1u);
    }
    return reversed;
}

struct Code {
    std::uint16_t bits; // reversed, ready for BitWriter::bits
    std::uint8_t length;
};

// The fixed Huffman codes and the length and distance code of every match, tabulated.
struct DeflateTables {
    std::array<Code, 288> symbol{};                 // literal/length symbols 0..287
    std::array<std::uint8_t, 259> lengthCode{};     // index into kLengthBase of lengths 3..258
    std::array<std::uint8_t, 32769> distanceCode{}; // code of distances 1..32768
    std::array<std::uint8_t, 30> distanceBits{};    // reversed 5-bit distance codes

    DeflateTables() {
        for (std::uint32_t s = 0; s < 288; ++s) {
            std::uint32_t code = 0;
            int length = 0;
            if (s < 144) {
                code = 0x30u + s;
                length = 8;
            } else if (s < 256) {
                code = 0x190u + (s - 144);
                length = 9;
            } else if (s < 280) {
                code = s - 256;
                length = 7;
            } else {
                code = 0xC0u + (s - 280);
                length = 8;
            }
            symbol[s] = Code{static_cast<std::uint16_t>(reverseBits(code, length)),
                             static_cast<std::uint8_t>(length)};
        }
        int index = 0;
        for (int length = 3; length <= 258; ++length) {
            while (index < 28 && kLengthBase[static_cast<std::size_t>(index) + 1] <= length) {
                ++index;
            }
            lengthCode[static_cast<std::size_t>(length)] = static_cast<std::uint8_t>(index);
        }
        int code = 0;
        for (int distance = 1; distance <= 32768; ++distance) {
            while (code < 29 && kDistanceBase[static_cast<std::size_t>(code) + 1] <= distance) {
                ++code;
            }
            distanceCode[static_cast<std::size_t>(distance)] = static_cast<std::uint8_t>(code);
        }
        for (std::uint32_t c = 0; c < 30; ++c) {
            distanceBits[c] = static_cast<std::uint8_t>(reverseBits(c, 5));
        }
    }
};

const DeflateTables& deflateTables() {
    static const DeflateTables tables;
    return tables;
}

void writeSymbol(BitWriter& writer, const DeflateTables& tables, int symbol) {
    const Code& code = tables.symbol[static_cast<std::size_t>(symbol)];
    writer.bits(code.bits, code.length);
}

void writeMatch(BitWriter& writer, const DeflateTables& tables, int length, int distance) {
    const std::size_t index = tables.lengthCode[static_cast<std::size_t>(length)];
    writeSymbol(writer, tables, 257 + static_cast<int>(index));
    writer.bits(static_cast<std::uint32_t>(length - kLengthBase[index]), kLengthExtra[index]);
    const std::size_t code = tables.distanceCode[static_cast<std::size_t>(distance)];
    writer.bits(tables.distanceBits[code], 5);
    writer.bits(static_cast<std::uint32_t>(distance - kDistanceBase[code]), kDistanceExtra[code]);
}

// Adler-32 of `size` bytes. Why the blocks: sums of 5552 bytes cannot overflow 32 bits, so
// the remainders are taken once per block instead of once per byte (the same result);
// within a block 16 bytes at a time: a grows by their sum, b by 16 a plus their sum
// weighted 16..1.
std::uint32_t adler32(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kBlock = 5552 / 16 * 16;
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128i weightsHigh = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
    const __m128i weightsLow = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
    while (size >= 16) {
        const std::size_t block = std::min(size, kBlock) / 16 * 16;
        __m128i sumA = zero;      // byte sums, in two 64-bit lanes
        __m128i sumBefore = zero; // sums of sumA before each 16 bytes
        __m128i weighted = zero;  // weighted byte sums, in four 32-bit lanes
        for (std::size_t k = 0; k < block; k += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + k));
            sumBefore = _mm_add_epi32(sumBefore, sumA);
            sumA = _mm_add_epi32(sumA, _mm_sad_epu8(bytes, zero));
            weighted = _mm_add_epi32(weighted,
                                     _mm_madd_epi16(_mm_unpacklo_epi8(bytes, zero), weightsHigh));
            weighted =
                _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpackhi_epi8(bytes, zero), weightsLow));
        }
        alignas(16) std::uint32_t lanes[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), sumA);
        const std::uint32_t blockSum = lanes[0] + lanes[2];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), sumBefore);
        const std::uint32_t before = lanes[0] + lanes[2];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), weighted);
        const std::uint32_t weightedSum = lanes[0] + lanes[1] + lanes[2] + lanes[3];
        b = (b + static_cast<std::uint32_t>(block) * a + 16u * before + weightedSum) % 65521u;
        a = (a + blockSum) % 65521u;
        data += block;
        size -= block;
    }
    for (std::size_t k = 0; k < size; ++k) {
        a += data[k];
        b += a;
    }
    return ((b % 65521u) << 16) | (a % 65521u);
}

} // namespace

std::vector<std::uint8_t> zlibCompress(const std::vector<std::uint8_t>& data) {
    return zlibCompress(data.data(), data.size());
}

std::vector<std::uint8_t> zlibCompress(const std::uint8_t* data, std::size_t dataSize) {
    const DeflateTables& tables = deflateTables();
    std::vector<std::uint8_t> out = {0x78, 0x9C};
    out.reserve(dataSize / 4 + 64);
    BitWriter writer(out);
    writer.bits(1, 1); // the final block
    writer.bits(1, 2); // fixed Huffman codes

    const int size = static_cast<int>(dataSize);
    const std::uint8_t* bytes = data;
    MatchFinder finder(bytes, size);
    int i = 0;
    while (i < size) {
        const Match best = finder.longest(i);
        if (best.length >= 3) {
            writeMatch(writer, tables, best.length, best.distance);
            if (best.distance == 1) {
                // A run of the byte before: every position but the last two starts three
                // of it.
                const int runEnd = std::min(i + best.length - 2, size - 2);
                if (runEnd > i) {
                    finder.insertRun(i, runEnd, bytes[i - 1]);
                }
                finder.insertRange(std::max(runEnd, i), i + best.length);
            } else {
                finder.insertRange(i, i + best.length);
            }
            i += best.length;
        } else {
            writeSymbol(writer, tables, bytes[i]);
            finder.insert(i);
            ++i;
        }
    }
    writeSymbol(writer, tables, 256);
    writer.flush();
    putBigEndian(out, adler32(data, dataSize));
    return out;
}

} // namespace vex::host
