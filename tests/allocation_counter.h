// Replaces the global allocation functions of a test program to count allocations while
// countAllocations is true. Include it in exactly one source file of a program. Counts
// only allocations made through this program's operator new (a loaded plug-in on Windows
// carries its own).
#pragma once

#include <cstdlib>
#include <new>

namespace vex::test {

inline bool countAllocations = false;
inline int allocations = 0;

inline void* countedAllocation(std::size_t size) {
    if (countAllocations) {
        ++allocations;
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

} // namespace vex::test

void* operator new(std::size_t size) {
    return vex::test::countedAllocation(size);
}
void* operator new[](std::size_t size) {
    return vex::test::countedAllocation(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return vex::test::countedAllocation(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return vex::test::countedAllocation(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
