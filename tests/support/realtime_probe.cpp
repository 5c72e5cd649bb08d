// A shared library that allocates and locks in its own code, for the real-time counters'
// test. A call made here reaches the program's replacement only if the program exports it:
// the library's own references are bound at load time to whatever the process exports.
#include <malloc.h>
#include <pthread.h>

#include <cstdlib>

namespace {

pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
pthread_rwlock_t readWriteLock = PTHREAD_RWLOCK_INITIALIZER;

// Why volatile: the compiler must not drop an allocation whose block goes unused.
void* volatile kept = nullptr;

void keep(void* block) {
    kept = block;
    std::free(kept);
}

} // namespace

// One call of each replaced function: malloc, realloc, calloc, aligned_alloc, memalign and
// posix_memalign (6 allocations), 5 frees (realloc moves the first block), and
// pthread_mutex_lock, pthread_mutex_trylock, pthread_rwlock_rdlock and
// pthread_rwlock_wrlock (4 locks). Answers 0, or -1 if a call failed.
extern "C" __attribute__((visibility("default"))) int vexProbeAllocateAndLock(std::size_t bytes) {
    int failed = 0;
    void* block = std::malloc(bytes);
    block = std::realloc(block, bytes * 2);
    failed |= block == nullptr;
    keep(block);
    block = std::calloc(2, bytes);
    failed |= block == nullptr;
    keep(block);
    block = aligned_alloc(64, 64);
    failed |= block == nullptr;
    keep(block);
    block = memalign(64, bytes);
    failed |= block == nullptr;
    keep(block);
    block = nullptr;
    failed |= posix_memalign(&block, 64, bytes) != 0;
    keep(block);

    failed |= pthread_mutex_lock(&mutex) != 0;
    pthread_mutex_unlock(&mutex);
    failed |= pthread_mutex_trylock(&mutex) != 0;
    pthread_mutex_unlock(&mutex);
    failed |= pthread_rwlock_rdlock(&readWriteLock) != 0;
    pthread_rwlock_unlock(&readWriteLock);
    failed |= pthread_rwlock_wrlock(&readWriteLock) != 0;
    pthread_rwlock_unlock(&readWriteLock);
    return failed != 0 ? -1 : 0;
}
