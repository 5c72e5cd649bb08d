#include "host/png_writer.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace vex::host {

namespace {

// Bits into bytes, least significant bit first, as deflate packs them.
class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& output) : out(output) {}
    void bits(std::uint32_t value, int count) {
        buffer |= value << filled;
        filled += count;
        while (filled >= 8) {
            out.push_back(static_cast<std::uint8_t>(buffer & 0xFFu));
            buffer >>= 8;
            filled -= 8;
        }
    }
    // A Huffman code goes out most significant bit first.
    void code(std::uint32_t value, int count) {
        std::uint32_t reversed = 0;
        for (int i = 0; i < count; ++i) {
            reversed = (reversed << 1) | ((value >> i) & 1u);
        }
        bits(reversed, count);
    }
    void flush() {
        if (filled > 0) {
            out.push_back(static_cast<std::uint8_t>(buffer & 0xFFu));
        }
        buffer = 0;
        filled = 0;
    }

private:
    std::vector<std::uint8_t>& out;
    std::uint32_t buffer = 0;
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

// The fixed literal/length code of symbol 0..287.
void writeSymbol(BitWriter& writer, int symbol) {
    if (symbol < 144) {
        writer.code(0x30u + symbol, 8);
    } else if (symbol < 256) {
        writer.code(0x190u + (symbol - 144), 9);
    } else if (symbol < 280) {
        writer.code(static_cast<std::uint32_t>(symbol - 256), 7);
    } else {
        writer.code(0xC0u + (symbol - 280), 8);
    }
}

void writeMatch(BitWriter& writer, int length, int distance) {
    int index = 28;
    while (kLengthBase[index] > length) {
        --index;
    }
    writeSymbol(writer, 257 + index);
    writer.bits(static_cast<std::uint32_t>(length - kLengthBase[index]), kLengthExtra[index]);
    int code = 29;
    while (kDistanceBase[code] > distance) {
        --code;
    }
    writer.code(static_cast<std::uint32_t>(code), 5);
    writer.bits(static_cast<std::uint32_t>(distance - kDistanceBase[code]), kDistanceExtra[code]);
}

std::uint32_t adler32(const std::vector<std::uint8_t>& data) {
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (std::uint8_t byte : data) {
        a = (a + byte) % 65521u;
        b = (b + a) % 65521u;
    }
    return (b << 16) | a;
}

const std::array<std::uint32_t, 256>& crcTable() {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    return table;
}

void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void putChunk(std::vector<std::uint8_t>& out, const char* type,
              const std::vector<std::uint8_t>& data) {
    putBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = start; i < out.size(); ++i) {
        crc = crcTable()[(crc ^ out[i]) & 0xFFu] ^ (crc >> 8);
    }
    putBigEndian(out, crc ^ 0xFFFFFFFFu);
}

std::uint8_t unpremultiply(std::uint32_t channel, std::uint32_t alpha) {
    if (alpha == 0) {
        return 0;
    }
    const std::uint32_t value = (channel * 255u + alpha / 2u) / alpha;
    return static_cast<std::uint8_t>(value > 255u ? 255u : value);
}

} // namespace

std::vector<std::uint8_t> zlibCompress(const std::vector<std::uint8_t>& data) {
    constexpr int kWindow = 32768;
    constexpr int kHashSize = 1 << 15;
    constexpr int kMaxChain = 48;
    constexpr int kMaxLength = 258;

    std::vector<std::uint8_t> out = {0x78, 0x9C};
    BitWriter writer(out);
    writer.bits(1, 1); // the final block
    writer.bits(1, 2); // fixed Huffman codes

    const int size = static_cast<int>(data.size());
    std::vector<int> head(kHashSize, -1);
    std::vector<int> previous(static_cast<std::size_t>(size), -1);
    const auto hashAt = [&](int i) {
        return ((data[i] << 10) ^ (data[i + 1] << 5) ^ data[i + 2]) & (kHashSize - 1);
    };
    const auto insert = [&](int i) {
        if (i + 2 < size) {
            const int h = hashAt(i);
            previous[i] = head[h];
            head[h] = i;
        }
    };

    int i = 0;
    while (i < size) {
        int bestLength = 0;
        int bestDistance = 0;
        if (i + 2 < size) {
            const int limit = std::min(kMaxLength, size - i);
            int candidate = head[hashAt(i)];
            for (int chain = 0; candidate >= 0 && chain < kMaxChain; ++chain) {
                if (i - candidate > kWindow) {
                    break;
                }
                int length = 0;
                while (length < limit && data[candidate + length] == data[i + length]) {
                    ++length;
                }
                if (length > bestLength) {
                    bestLength = length;
                    bestDistance = i - candidate;
                    if (length == limit) {
                        break;
                    }
                }
                candidate = previous[candidate];
            }
        }
        if (bestLength >= 3) {
            writeMatch(writer, bestLength, bestDistance);
            for (int k = 0; k < bestLength; ++k) {
                insert(i + k);
            }
            i += bestLength;
        } else {
            writeSymbol(writer, data[i]);
            insert(i);
            ++i;
        }
    }
    writeSymbol(writer, 256);
    writer.flush();
    putBigEndian(out, adler32(data));
    return out;
}

std::vector<std::uint8_t> encodePng(const std::vector<std::uint32_t>& pixels, std::int32_t width,
                                    std::int32_t height) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4u;
    std::vector<std::uint8_t> raw;
    raw.reserve((rowBytes + 1u) * static_cast<std::size_t>(height));
    std::vector<std::uint8_t> row(rowBytes);
    std::vector<std::uint8_t> above(rowBytes, 0);
    std::array<std::vector<std::uint8_t>, 3> filtered;
    for (auto& candidate : filtered) {
        candidate.resize(rowBytes);
    }
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
            const std::uint32_t alpha = p >> 24;
            std::uint8_t* out = &row[static_cast<std::size_t>(x) * 4u];
            out[0] = unpremultiply((p >> 16) & 0xFFu, alpha);
            out[1] = unpremultiply((p >> 8) & 0xFFu, alpha);
            out[2] = unpremultiply(p & 0xFFu, alpha);
            out[3] = static_cast<std::uint8_t>(alpha);
        }
        // Filters none, sub and up; the row keeps the one with the smallest absolute sum.
        std::array<long, 3> cost{};
        for (std::size_t k = 0; k < rowBytes; ++k) {
            const std::uint8_t left = k >= 4 ? row[k - 4] : 0;
            filtered[0][k] = row[k];
            filtered[1][k] = static_cast<std::uint8_t>(row[k] - left);
            filtered[2][k] = static_cast<std::uint8_t>(row[k] - above[k]);
            for (int f = 0; f < 3; ++f) {
                cost[f] += std::abs(static_cast<int>(static_cast<std::int8_t>(filtered[f][k])));
            }
        }
        int best = 0;
        for (int f = 1; f < 3; ++f) {
            if (cost[f] < cost[best]) {
                best = f;
            }
        }
        raw.push_back(static_cast<std::uint8_t>(best));
        raw.insert(raw.end(), filtered[best].begin(), filtered[best].end());
        above = row;
    }

    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    putBigEndian(header, static_cast<std::uint32_t>(width));
    putBigEndian(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8-bit RGBA, no interlace
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", zlibCompress(raw));
    putChunk(png, "IEND", {});
    return png;
}

} // namespace vex::host
