// The process's memory as long-running tests watch it: resident memory and the bytes
// the heap holds live.
#pragma once

#include <cstdint>

namespace vex::test {

// Resident memory of the process in bytes, or -1 where it cannot be read.
std::int64_t residentBytes();

// Bytes currently allocated and not freed, as the allocator counts them (glibc's, or the
// sanitizer's), or -1 where it cannot be read (Windows).
std::int64_t liveHeapBytes();

// Whether the sanitizers' allocator is in use: freed memory is then held back for a
// while, and resident memory says little about leaks.
bool sanitizedHeap();

} // namespace vex::test
