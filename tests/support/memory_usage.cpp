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

#if !defined(_WIN32) && !defined(VEX_SANITIZED_HEAP) && defined(__GLIBC__)
#define VEX_COUNTED_HEAP 1
#include <atomic>
#include <cerrno>
#endif

#ifdef VEX_SANITIZED_HEAP
// The sanitizer runtime's own count (its header is not installed with every compiler).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

#ifdef VEX_COUNTED_HEAP
namespace {

// The bytes of every block handed out and not yet freed, at the size the allocator gave
// it. Why not mallinfo2(): it counts the free blocks a thread keeps in its cache (glibc's
// tcache) as in use, and how many it keeps there depends on the heap's layout, which
// differs from run to run (the font libraries' start-up alone differs with the state of
// their cache files). Its figure then wanders by whole blocks while nothing is held.
std::atomic<std::int64_t> heldBytes{0};

void* counted(void* block) {
    if (block != nullptr) {
        heldBytes.fetch_add(static_cast<std::int64_t>(malloc_usable_size(block)),
                            std::memory_order_relaxed);
    }
    return block;
}

void uncount(void* block) {
    if (block != nullptr) {
        heldBytes.fetch_sub(static_cast<std::int64_t>(malloc_usable_size(block)),
                            std::memory_order_relaxed);
    }
}

} // namespace

// The malloc family, forwarded to glibc's own entry points and counted on the way. The
// program's definitions stand in for the C library's in every library it uses, those it
// loads later included (the plug-in and its drawing libraries), and glibc calls them for
// its own allocations too. A program links this or the real-time counters, never both.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void* __libc_valloc(std::size_t);
void* __libc_pvalloc(std::size_t);
void __libc_free(void*);

// Why default visibility: the build hides symbols unless told otherwise, and a hidden
// replacement would serve this program's own calls only.
#define VEX_REPLACEMENT __attribute__((visibility("default")))

VEX_REPLACEMENT void* malloc(std::size_t size) {
    return counted(__libc_malloc(size));
}
VEX_REPLACEMENT void* calloc(std::size_t count, std::size_t size) {
    return counted(__libc_calloc(count, size));
}
VEX_REPLACEMENT void* realloc(void* block, std::size_t size) {
    const std::size_t before = block != nullptr ? malloc_usable_size(block) : 0;
    void* moved = __libc_realloc(block, size);
    // Why the size test: a failed realloc keeps the block, while realloc(block, 0) frees it
    // and answers null.
    if (moved != nullptr || size == 0) {
        heldBytes.fetch_sub(static_cast<std::int64_t>(before), std::memory_order_relaxed);
        counted(moved);
    }
    return moved;
}
VEX_REPLACEMENT void* reallocarray(void* block, std::size_t count, std::size_t size) {
    std::size_t bytes = 0;
    if (__builtin_mul_overflow(count, size, &bytes)) {
        errno = ENOMEM;
        return nullptr;
    }
    return realloc(block, bytes);
}
VEX_REPLACEMENT void* aligned_alloc(std::size_t alignment, std::size_t size) {
    return counted(__libc_memalign(alignment, size));
}
VEX_REPLACEMENT void* memalign(std::size_t alignment, std::size_t size) {
    return counted(__libc_memalign(alignment, size));
}
VEX_REPLACEMENT int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    if (alignment == 0 || alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) {
        return EINVAL;
    }
    void* block = counted(__libc_memalign(alignment, size));
    if (block == nullptr) {
        return ENOMEM;
    }
    *out = block;
    return 0;
}
VEX_REPLACEMENT void* valloc(std::size_t size) {
    return counted(__libc_valloc(size));
}
VEX_REPLACEMENT void* pvalloc(std::size_t size) {
    return counted(__libc_pvalloc(size));
}
VEX_REPLACEMENT void free(void* block) {
    uncount(block);
    __libc_free(block);
}
}
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
#elif defined(VEX_COUNTED_HEAP)
    return heldBytes.load(std::memory_order_relaxed);
#elif defined(_WIN32)
    // Every heap of the process, the C runtime's and the system's: the blocks in use as
    // the heap walk reports them, each at the size it was asked for. Without allocating:
    // the count must not count itself.
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    if (count == 0 || count > 64) {
        return -1;
    }
    std::int64_t total = 0;
    for (DWORD i = 0; i < count; ++i) {
        if (!HeapLock(heaps[i])) {
            return -1;
        }
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry)) {
            if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
                total += static_cast<std::int64_t>(entry.cbData);
            }
        }
        HeapUnlock(heaps[i]);
    }
    return total;
#else
    return -1;
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
