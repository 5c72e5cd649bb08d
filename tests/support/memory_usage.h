// The process's memory as long-running tests watch it: resident memory and the bytes
// the heap holds live.
#pragma once

#include <cstdint>

namespace vex::test {

// Resident memory of the process in bytes, or -1 where it cannot be read.
std::int64_t residentBytes();

// Bytes currently allocated and not freed, by every library of the process, or -1 where
// they cannot be counted. With glibc every allocation and free is counted as it passes
// (the program replaces the malloc family); under the sanitizers their runtime counts; on
// Windows the blocks in use in every heap of the process are summed. Blocks freed but
// kept by the allocator for reuse never count: the figure moves only when something is
// allocated or freed.
std::int64_t liveHeapBytes();

// Whether the sanitizers' allocator is in use: freed memory is then held back for a
// while, and resident memory says little about leaks.
bool sanitizedHeap();

} // namespace vex::test
