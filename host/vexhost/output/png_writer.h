// A small PNG encoder: 8-bit RGBA, one deflate stream of fixed-Huffman LZ77. The same
// bytes come out on every platform, so an image's file is as deterministic as its pixels.
#pragma once

#include "host/vexhost/output/zlib_stream.h"

#include <cstdint>
#include <vector>

namespace vex::host {

// Encodes `width` x `height` pixels given as premultiplied 0xAARRGGBB, rows top to
// bottom, as a PNG with straight alpha. `pixels` must hold width x height values.
std::vector<std::uint8_t> encodePng(const std::vector<std::uint32_t>& pixels, std::int32_t width,
                                    std::int32_t height);

} // namespace vex::host
