// A small PNG encoder: 8-bit RGBA, one deflate stream of fixed-Huffman LZ77. The same
// bytes come out on every platform, so an image's file is as deterministic as its pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vex::host {

// Encodes `width` x `height` pixels given as premultiplied 0xAARRGGBB, rows top to
// bottom, as a PNG with straight alpha. `pixels` must hold width x height values.
std::vector<std::uint8_t> encodePng(const std::vector<std::uint32_t>& pixels, std::int32_t width,
                                    std::int32_t height);

// The zlib stream (RFC 1950) of `data`, compressed with fixed Huffman codes.
std::vector<std::uint8_t> zlibCompress(const std::vector<std::uint8_t>& data);
std::vector<std::uint8_t> zlibCompress(const std::uint8_t* data, std::size_t size);

} // namespace vex::host
