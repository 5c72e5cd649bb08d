// Counts heap allocations, frees and mutex locks made by the calling thread while it is
// marked as an audio thread. Linked into test programs that prove the audio path
// real-time safe. Natively it replaces operator new/delete and the malloc family and
// watches pthread mutexes (which also catches allocations and locks made inside the
// plug-in and the C++ runtime); under a sanitizer it counts every allocation and free
// through the sanitizer's hooks but no locks; on Windows it counts through operator
// new/delete only.
// On Linux it also counts the page faults of the marked thread: memory touched for the
// first time stalls it as much as an allocation. On Linux x86-64, countOnAudioThread also
// counts the system calls of a thread of its own.
#pragma once

#include <cstdint>
#include <functional>

namespace vex::test {

struct RealtimeCounts {
    std::int64_t allocations = 0; // operator new, malloc, calloc, realloc, aligned allocations
    std::int64_t frees = 0;       // operator delete and free of non-null pointers
    std::int64_t locks = 0;       // pthread mutex and read-write locks (native only)
    std::int64_t pageFaults = 0;  // memory first touched (Linux only)
    std::int64_t syscalls = 0;    // system calls (countOnAudioThread on Linux x86-64 only)
};

// Counts of the calling thread since it was last reset.
RealtimeCounts realtimeCounts();
void resetRealtimeCounts();

// Whether this build counts malloc-family calls and locks too (native, no sanitizer).
bool countsMallocAndLocks();
// Whether allocations made inside loaded libraries are counted (natively through the
// malloc family, under a sanitizer through its allocation hooks; not on Windows).
bool countsLibraryAllocations();
// What the counts cover, for a test's output: a check the build cannot make is named so,
// never passed silently.
const char* countingMethod();
// Whether page faults are counted (Linux).
bool countsPageFaults();

// Whether countOnAudioThread counts system calls (Linux x86-64, where seccomp filters may
// be installed).
bool countsSyscalls();

// Runs `body` on a new thread marked as an audio thread for the whole call and returns
// that thread's counts. Where countsSyscalls(), every system call the thread makes is
// trapped by a seccomp filter on that thread alone, counted, and carried out on its
// behalf (calls that make threads or processes pass uncounted). The vDSO's clock reads
// are no system calls and pass unseen, as they do for the kernel.
RealtimeCounts countOnAudioThread(const std::function<void()>& body);

// Marks the calling thread as an audio thread for the scope's life. Page faults are
// counted over the whole scope.
class AudioThreadScope {
public:
    AudioThreadScope();
    ~AudioThreadScope();
    AudioThreadScope(const AudioThreadScope&) = delete;
    AudioThreadScope& operator=(const AudioThreadScope&) = delete;

private:
    std::int64_t faultsAtStart;
};

} // namespace vex::test
