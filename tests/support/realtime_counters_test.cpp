// The counters see what the marked thread does, and only that.
#include "tests/support/realtime_counters.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#ifdef __linux__
#include <ctime>
#include <unistd.h>
#endif

#ifdef VEX_REALTIME_PROBE
#include <dlfcn.h>
#endif

namespace vex::test {
namespace {

// Why volatile: the sizes must not let the compiler drop the allocations.
volatile std::size_t bytes = 24;

TEST(RealtimeCounters, CountAllocationsAndFreesOfTheMarkedThreadOnly) {
    resetRealtimeCounts();
    {
        AudioThreadScope scope;
        auto block = std::make_unique<char[]>(bytes);
        block[0] = 1;
        block.reset();
        void* raw = ::operator new(bytes);
        ::operator delete(raw);
    }
    EXPECT_EQ(realtimeCounts().allocations, 2);
    EXPECT_EQ(realtimeCounts().frees, 2);

    // Another thread's allocations, and the marked thread's after its scope, go uncounted.
    resetRealtimeCounts();
    {
        AudioThreadScope scope;
        std::thread other([] {
            for (int i = 0; i < 10; ++i) {
                auto block = std::make_unique<char[]>(bytes);
                block[0] = 1;
            }
        });
        resetRealtimeCounts(); // starting the thread is this thread's own allocation
        other.join();
        EXPECT_EQ(realtimeCounts().allocations, 0);
    }
    auto later = std::make_unique<char[]>(bytes);
    later[0] = 1;
    EXPECT_EQ(realtimeCounts().allocations, 0);
}

TEST(RealtimeCounters, CountMallocAndLocksNatively) {
    if (!countsMallocAndLocks()) {
        GTEST_SKIP() << "this build counts through operator new only";
    }
    std::mutex mutex;
    resetRealtimeCounts();
    {
        AudioThreadScope scope;
        void* p = std::malloc(bytes);
        p = std::realloc(p, bytes * 2);
        std::free(p);
        const std::lock_guard<std::mutex> lock(mutex);
    }
    EXPECT_EQ(realtimeCounts().allocations, 2);
    EXPECT_EQ(realtimeCounts().frees, 1);
    EXPECT_EQ(realtimeCounts().locks, 1);
}

#ifdef VEX_REALTIME_PROBE
// Calls made inside a loaded library reach the counters too: the program exports every
// replacement, so the library's references bind to them rather than to the C library.
TEST(RealtimeCounters, CountMallocAndLocksInsideALoadedLibrary) {
    if (!countsLibraryAllocations()) {
        GTEST_SKIP() << "this build counts " << countingMethod();
    }
    void* library = dlopen(VEX_REALTIME_PROBE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    using Probe = int (*)(std::size_t);
    const auto probe = reinterpret_cast<Probe>(dlsym(library, "vexProbeAllocateAndLock"));
    ASSERT_NE(probe, nullptr);
    ASSERT_EQ(probe(bytes), 0); // once unmarked: first calls may look up what they forward to
    resetRealtimeCounts();
    int result = -1;
    {
        AudioThreadScope scope;
        result = probe(bytes);
    }
    EXPECT_EQ(result, 0);
    // malloc, realloc, calloc, aligned_alloc, memalign, posix_memalign; five blocks freed;
    // a mutex locked and tried, a read-write lock taken for reading and for writing.
    if (countsMallocAndLocks()) {
        EXPECT_EQ(realtimeCounts().allocations, 6);
        EXPECT_EQ(realtimeCounts().frees, 5);
        EXPECT_EQ(realtimeCounts().locks, 4);
    } else {
        // A sanitizer's hooks: malloc, realloc and calloc at least (ThreadSanitizer's miss
        // the aligned allocations); its realloc may move the block, a free more.
        EXPECT_GE(realtimeCounts().allocations, 3);
        EXPECT_LE(realtimeCounts().allocations, 6);
        EXPECT_GE(realtimeCounts().frees, 5);
        std::printf("counted: %s\n", countingMethod());
    }
    dlclose(library);
}
#endif

TEST(RealtimeCounters, CountPageFaultsOfTheMarkedScope) {
    if (!countsPageFaults()) {
        GTEST_SKIP() << "page faults are counted on Linux";
    }
    constexpr std::size_t kBytes = 64 * 4096;
    std::unique_ptr<char[]> block(new char[kBytes]); // mapped, not yet touched
    resetRealtimeCounts();
    {
        AudioThreadScope scope;
        for (std::size_t i = 0; i < kBytes; i += 4096) {
            block[i] = 1;
        }
    }
    EXPECT_GE(realtimeCounts().pageFaults, 32);
}

// Each system call of the counted thread is seen, carried out with its arguments and
// result; a clock read through the vDSO is none.
TEST(RealtimeCounters, CountSystemCallsOfTheCountedThread) {
    if (!countsSyscalls()) {
        GTEST_SKIP() << "system calls are counted on Linux x86-64 only";
    }
#ifdef __linux__
    int fds[2] = {-1, -1};
    ASSERT_EQ(pipe(fds), 0);
    long written = 0;
    char back[4] = {};
    const RealtimeCounts counts = countOnAudioThread([&] {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
        written = write(fds[1], "abc", 3);
        (void)!read(fds[0], back, 3);
    });
    close(fds[0]);
    close(fds[1]);
    EXPECT_EQ(counts.syscalls, 2);
    EXPECT_EQ(written, 3);
    EXPECT_STREQ(back, "abc");
    EXPECT_EQ(countOnAudioThread([] {}).syscalls, 0);
#endif
}

} // namespace
} // namespace vex::test
