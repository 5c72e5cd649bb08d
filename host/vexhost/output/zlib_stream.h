// The zlib stream (RFC 1950) the PNG encoder stores its image data in: one deflate block
// with fixed Huffman codes. The same bytes come out on every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vex::host {

// The zlib stream of `data`, compressed with fixed Huffman codes.
std::vector<std::uint8_t> zlibCompress(const std::vector<std::uint8_t>& data);
std::vector<std::uint8_t> zlibCompress(const std::uint8_t* data, std::size_t size);

// Appends `value` as four bytes, most significant first (zlib's and PNG's order).
void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value);

} // namespace vex::host
