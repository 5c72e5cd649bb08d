#include "tests/support/memory_usage.h"

#include <cstddef>
#include <cstdio>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VEX_SANITIZED_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VEX_SANITIZED_HEAP 1
#endif
#endif

#ifdef _WIN32
#include <windows.h>
// After windows.h: it declares what psapi.h uses.
#include <psapi.h>
#else
#include <malloc.h>
#include <unistd.h>
#endif

#ifdef VEX_SANITIZED_HEAP
// The sanitizer runtime's own count (its header is not installed with every compiler).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace vex::test {

std::int64_t residentBytes() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) {
        return -1;
    }
    return static_cast<std::int64_t>(counters.WorkingSetSize);
#else
    std::FILE* file = std::fopen("/proc/self/statm", "r");
    if (file == nullptr) {
        return -1;
    }
    long long size = 0;
    long long resident = 0;
    const int read = std::fscanf(file, "%lld %lld", &size, &resident);
    std::fclose(file);
    if (read != 2) {
        return -1;
    }
    return static_cast<std::int64_t>(resident) * sysconf(_SC_PAGESIZE);
#endif
}

std::int64_t liveHeapBytes() {
#if defined(VEX_SANITIZED_HEAP)
    return static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
#elif defined(_WIN32)
    return -1;
#else
    const struct mallinfo2 info = mallinfo2();
    return static_cast<std::int64_t>(info.uordblks + info.hblkhd);
#endif
}

bool sanitizedHeap() {
#ifdef VEX_SANITIZED_HEAP
    return true;
#else
    return false;
#endif
}

} // namespace vex::test
