// The PNG encoder: rows filtered for the smallest output, chunks with their CRC, the image
// data compressed by the zlib stream (zlib_stream.h).
#include "host/vexhost/output/png_writer.h"

#include "host/vexhost/output/zlib_stream.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <emmintrin.h>

namespace vex::host {

namespace {

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

void putChunk(std::vector<std::uint8_t>& out, const char* type,
              const std::vector<std::uint8_t>& data) {
    putBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const std::array<std::uint32_t, 256>& table = crcTable();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = start; i < out.size(); ++i) {
        crc = table[(crc ^ out[i]) & 0xFFu] ^ (crc >> 8);
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

// out[k] = a[k] - b[k] for `count` bytes, 16 at a time.
void subtractBytes(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* out,
                   std::size_t count) {
    std::size_t k = 0;
    for (; k + 16 <= count; k += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + k));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + k));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_sub_epi8(x, y));
    }
    for (; k < count; ++k) {
        out[k] = static_cast<std::uint8_t>(a[k] - b[k]);
    }
}

// One pixel as straight-alpha RGBA bytes.
void straightPixel(std::uint32_t p, std::uint8_t* out) {
    const std::uint32_t alpha = p >> 24;
    out[0] = unpremultiply((p >> 16) & 0xFFu, alpha);
    out[1] = unpremultiply((p >> 8) & 0xFFu, alpha);
    out[2] = unpremultiply(p & 0xFFu, alpha);
    out[3] = static_cast<std::uint8_t>(alpha);
}

// One row of pixels as straight-alpha RGBA bytes. Four opaque pixels at a time only swap
// red and blue (0xAARRGGBB is B, G, R, A in memory): unpremultiply leaves opaque channels
// as they are.
void straightRow(const std::uint32_t* pixels, std::int32_t width, std::uint8_t* out) {
    const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xff000000u));
    const __m128i keepMask = _mm_set1_epi32(static_cast<int>(0xff00ff00u));
    const __m128i lowByte = _mm_set1_epi32(0xff);
    std::int32_t x = 0;
    for (; x + 4 <= width; x += 4, out += 16) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + x));
        const __m128i opaque = _mm_cmpeq_epi32(_mm_and_si128(p, alphaMask), alphaMask);
        if (_mm_movemask_epi8(opaque) != 0xffff) {
            for (int k = 0; k < 4; ++k) {
                straightPixel(pixels[x + k], out + 4 * k);
            }
            continue;
        }
        const __m128i swapped =
            _mm_or_si128(_mm_and_si128(p, keepMask),
                         _mm_or_si128(_mm_and_si128(_mm_srli_epi32(p, 16), lowByte),
                                      _mm_slli_epi32(_mm_and_si128(p, lowByte), 16)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), swapped);
    }
    for (; x < width; ++x, out += 4) {
        straightPixel(pixels[x], out);
    }
}

// Sums of |(signed char) b| over bytes b of the row under the filters none, sub and up:
// row[k], row[k] - row[k - 4] and row[k] - above[k]. 16 bytes at a time, where
// |(signed char) b| is the smaller of b and 256 - b.
std::array<long, 3> filterCosts(const std::uint8_t* row, const std::uint8_t* above,
                                std::size_t count) {
    const __m128i zero = _mm_setzero_si128();
    const auto magnitude = [zero](__m128i v) {
        return _mm_sad_epu8(_mm_min_epu8(v, _mm_sub_epi8(zero, v)), zero);
    };
    __m128i none = zero;
    __m128i sub = zero;
    __m128i up = zero;
    std::size_t k = 0;
    std::array<long, 3> cost{};
    // The first pixel has nothing to its left.
    for (; k < count && k < 4; ++k) {
        const int value = static_cast<std::int8_t>(row[k]);
        const int difference = static_cast<std::int8_t>(row[k] - above[k]);
        cost[0] += std::abs(value);
        cost[1] += std::abs(value);
        cost[2] += std::abs(difference);
    }
    for (; k + 16 <= count; k += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + k));
        const __m128i left = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + k - 4));
        const __m128i over = _mm_loadu_si128(reinterpret_cast<const __m128i*>(above + k));
        none = _mm_add_epi64(none, magnitude(v));
        sub = _mm_add_epi64(sub, magnitude(_mm_sub_epi8(v, left)));
        up = _mm_add_epi64(up, magnitude(_mm_sub_epi8(v, over)));
    }
    for (; k < count; ++k) {
        cost[0] += std::abs(static_cast<int>(static_cast<std::int8_t>(row[k])));
        cost[1] += std::abs(static_cast<int>(static_cast<std::int8_t>(row[k] - row[k - 4])));
        cost[2] += std::abs(static_cast<int>(static_cast<std::int8_t>(row[k] - above[k])));
    }
    alignas(16) std::int64_t lanes[2];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), none);
    cost[0] += static_cast<long>(lanes[0] + lanes[1]);
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), sub);
    cost[1] += static_cast<long>(lanes[0] + lanes[1]);
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), up);
    cost[2] += static_cast<long>(lanes[0] + lanes[1]);
    return cost;
}

} // namespace

std::vector<std::uint8_t> encodePng(const std::vector<std::uint32_t>& pixels, std::int32_t width,
                                    std::int32_t height) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4u;
    // Every byte is written below: no need to clear them first.
    const std::size_t rawSize = (rowBytes + 1u) * static_cast<std::size_t>(height);
    const std::unique_ptr<std::uint8_t[]> raw(new std::uint8_t[rawSize]);
    std::vector<std::uint8_t> row(rowBytes);
    std::vector<std::uint8_t> above(rowBytes, 0);
    std::uint8_t* out = raw.get();
    for (std::int32_t y = 0; y < height; ++y) {
        straightRow(&pixels[static_cast<std::size_t>(y) * width], width, row.data());
        // Filters none, sub and up; the row keeps the one with the smallest absolute sum
        // (the first of equals).
        const std::array<long, 3> cost = filterCosts(row.data(), above.data(), rowBytes);
        int best = 0;
        for (int f = 1; f < 3; ++f) {
            if (cost[f] < cost[best]) {
                best = f;
            }
        }
        *out++ = static_cast<std::uint8_t>(best);
        if (best == 0) {
            std::copy(row.begin(), row.end(), out);
        } else if (best == 1) {
            const std::size_t first = std::min<std::size_t>(4, rowBytes);
            std::copy(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(first), out);
            subtractBytes(row.data() + first, row.data(), out + first, rowBytes - first);
        } else {
            subtractBytes(row.data(), above.data(), out, rowBytes);
        }
        out += rowBytes;
        row.swap(above);
    }

    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    putBigEndian(header, static_cast<std::uint32_t>(width));
    putBigEndian(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8-bit RGBA, no interlace
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", zlibCompress(raw.get(), rawSize));
    putChunk(png, "IEND", {});
    return png;
}

} // namespace vex::host
