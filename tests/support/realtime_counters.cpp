#include "tests/support/realtime_counters.h"

#include <cstdlib>
#include <new>

#include <thread>

#ifdef __linux__
#include <sys/resource.h>
#endif
#if defined(__linux__) && defined(__x86_64__)
#define VEX_COUNT_SYSCALLS 1
#include <csignal>
#include <cstddef>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <ucontext.h>
#endif

// Why not under the sanitizers: their runtime owns malloc and free, and a replacement here
// would hand it memory it never saw. There the sanitizer's allocation hooks count every
// allocation and free of the process, a loaded library's too (ThreadSanitizer's hooks
// miss the aligned ones); locks are not counted.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VEX_SANITIZED_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VEX_SANITIZED_BUILD 1
#endif
#endif

#if !defined(_WIN32) && !defined(VEX_SANITIZED_BUILD)
#define VEX_COUNT_MALLOC 1
#include <dlfcn.h>
#include <pthread.h>
#endif

namespace vex::test {
namespace {

// Why thread-local plain values: the counters themselves must neither allocate nor lock.
thread_local bool armed = false;
thread_local RealtimeCounts counts;

inline void countAllocation() {
    if (armed) {
        ++counts.allocations;
    }
}

inline void countFree(const void* pointer) {
    if (armed && pointer != nullptr) {
        ++counts.frees;
    }
}

} // namespace

RealtimeCounts realtimeCounts() {
    return counts;
}
void resetRealtimeCounts() {
    counts = RealtimeCounts{};
}

bool countsMallocAndLocks() {
#ifdef VEX_COUNT_MALLOC
    return true;
#else
    return false;
#endif
}

#if defined(VEX_SANITIZED_BUILD) && !defined(_WIN32)
} // namespace vex::test

extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*,
                                                                  std::size_t),
                                                         void (*)(const volatile void*));

namespace vex::test {
namespace {

void onSanitizerMalloc(const volatile void*, std::size_t) {
    countAllocation();
}
void onSanitizerFree(const volatile void* pointer) {
    countFree(const_cast<const void*>(pointer));
}
// Installed before main: the counts start with the first allocation.
const bool hooked =
    __sanitizer_install_malloc_and_free_hooks(onSanitizerMalloc, onSanitizerFree) != 0;

} // namespace

bool countsLibraryAllocations() {
    return hooked;
}
const char* countingMethod() {
#if defined(__SANITIZE_THREAD__)
    return hooked ? "the sanitizer's allocation hooks, which miss aligned allocations; locks "
                    "not counted"
                  : "nothing: the sanitizer refused its allocation hooks";
#else
    return hooked ? "the sanitizer's allocation hooks; locks not counted"
                  : "nothing: the sanitizer refused its allocation hooks";
#endif
}
#else
bool countsLibraryAllocations() {
    return countsMallocAndLocks();
}
const char* countingMethod() {
    return countsMallocAndLocks() ? "malloc family and locks"
                                  : "operator new and delete of the program only";
}
#endif

namespace {

// Minor and major faults of the calling thread so far, or 0 where not counted.
std::int64_t threadPageFaults() {
#ifdef __linux__
    struct rusage usage {};
    if (getrusage(RUSAGE_THREAD, &usage) != 0) {
        return 0;
    }
    return static_cast<std::int64_t>(usage.ru_minflt) + usage.ru_majflt;
#else
    return 0;
#endif
}

} // namespace

bool countsPageFaults() {
#ifdef __linux__
    return true;
#else
    return false;
#endif
}

#ifdef VEX_COUNT_SYSCALLS
} // namespace vex::test

// Makes the system call in %rdi with the arguments in %rsi, %rdx, %rcx, %r8, %r9 and on the
// stack. The only place whose system calls the filter lets through untrapped.
extern "C" long vexRawSyscall(long, long, long, long, long, long, long);
extern "C" char vexRawSyscallReturn[];
asm(R"(
    .text
    .p2align 4
    .type vexRawSyscall, @function
vexRawSyscall:
    movq %rdi, %rax
    movq %rsi, %rdi
    movq %rdx, %rsi
    movq %rcx, %rdx
    movq %r8, %r10
    movq %r9, %r8
    movq 8(%rsp), %r9
    syscall
vexRawSyscallReturn:
    ret
    .size vexRawSyscall, .-vexRawSyscall
)");

namespace vex::test {
namespace {

// The trapped call: counted when the thread is marked, then made from vexRawSyscall with
// the thread's registers, its result put where the kernel would have.
void onTrappedSyscall(int, siginfo_t* info, void* context) {
    if (armed) {
        ++counts.syscalls;
    }
    auto* registers = static_cast<ucontext_t*>(context)->uc_mcontext.gregs;
    registers[REG_RAX] =
        vexRawSyscall(info->si_syscall, registers[REG_RDI], registers[REG_RSI], registers[REG_RDX],
                      registers[REG_R10], registers[REG_R8], registers[REG_R9]);
}

// Traps every system call of the calling thread but those made from vexRawSyscall, the
// return from a signal handler, and those that make threads or processes.
bool trapSyscalls() {
    const auto allowed = reinterpret_cast<std::uintptr_t>(vexRawSyscallReturn);
    const auto low = static_cast<std::uint32_t>(allowed);
    const auto high = static_cast<std::uint32_t>(allowed >> 32);
    sock_filter program[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_rt_sigreturn, 5, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone, 4, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone3, 3, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fork, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_vfork, 1, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_execve, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, instruction_pointer)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, low, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, instruction_pointer) + 4),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, high, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRAP),
    };
    const sock_fprog filter{static_cast<unsigned short>(sizeof program / sizeof program[0]),
                            program};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &filter) == 0;
}

bool installTrapHandler() {
    static const bool installed = [] {
        struct sigaction action {};
        action.sa_sigaction = onTrappedSyscall;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        return sigaction(SIGSYS, &action, nullptr) == 0;
    }();
    return installed;
}

} // namespace
#endif

bool countsSyscalls() {
#ifdef VEX_COUNT_SYSCALLS
    return installTrapHandler();
#else
    return false;
#endif
}

namespace {

__attribute__((noinline)) void warmStack() {
    volatile char stack[128 * 1024];
    for (std::size_t i = 0; i < sizeof stack; i += 512) {
        stack[i] = 0;
    }
}

} // namespace

RealtimeCounts countOnAudioThread(const std::function<void()>& body) {
    RealtimeCounts result;
    const bool trapping = countsSyscalls();
    std::thread audio([&] {
#ifdef VEX_COUNT_SYSCALLS
        if (trapping && !trapSyscalls()) {
            result.syscalls = -1; // the filter was refused: reported, not hidden
        }
#endif
        // Why: a new thread's stack is untouched memory; an audio thread that has run for a
        // while has its stack in place, and its first touch is no fault of the code counted.
        warmStack();
        resetRealtimeCounts();
        {
            AudioThreadScope scope;
            body();
        }
        const std::int64_t refused = result.syscalls;
        result = realtimeCounts();
        if (refused < 0) {
            result.syscalls = refused;
        }
    });
    audio.join();
    (void)trapping;
    return result;
}

AudioThreadScope::AudioThreadScope() : faultsAtStart(threadPageFaults()) {
    armed = true;
}
AudioThreadScope::~AudioThreadScope() {
    armed = false;
    counts.pageFaults += threadPageFaults() - faultsAtStart;
}

} // namespace vex::test

using vex::test::countAllocation;
using vex::test::countFree;

#ifdef VEX_COUNT_MALLOC
// The malloc family, forwarded to glibc's own entry points. Every operator new below ends
// here too, so operator new counts through malloc only. The program exports every
// replacement (see the CMake list beside this file), so they stand in for the C library's
// in the libraries it uses and loads too: the C++ runtime, the drawing libraries, a plug-in.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);

// Why default visibility: the build hides symbols unless told otherwise, and a hidden
// replacement would serve this program's own calls only (the compiler happens to keep
// malloc, calloc, realloc, aligned_alloc and free visible as built-ins, not the others).
#define VEX_REPLACEMENT __attribute__((visibility("default")))

VEX_REPLACEMENT void* malloc(std::size_t size) {
    countAllocation();
    return __libc_malloc(size);
}
VEX_REPLACEMENT void* calloc(std::size_t count, std::size_t size) {
    countAllocation();
    return __libc_calloc(count, size);
}
VEX_REPLACEMENT void* realloc(void* pointer, std::size_t size) {
    countAllocation();
    return __libc_realloc(pointer, size);
}
VEX_REPLACEMENT void* aligned_alloc(std::size_t alignment, std::size_t size) {
    countAllocation();
    return __libc_memalign(alignment, size);
}
VEX_REPLACEMENT void* memalign(std::size_t alignment, std::size_t size) {
    countAllocation();
    return __libc_memalign(alignment, size);
}
VEX_REPLACEMENT int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    countAllocation();
    void* pointer = __libc_memalign(alignment, size);
    if (pointer == nullptr) {
        return 12; // ENOMEM
    }
    *out = pointer;
    return 0;
}
VEX_REPLACEMENT void free(void* pointer) {
    countFree(pointer);
    __libc_free(pointer);
}

// Why a macro: the four replacements differ only in name and lock type.
#define VEX_COUNTED_LOCK(name, type)                                                               \
    VEX_REPLACEMENT int name(type* lock) {                                                         \
        static const auto real = reinterpret_cast<int (*)(type*)>(dlsym(RTLD_NEXT, #name));        \
        if (vex::test::armed) {                                                                    \
            ++vex::test::counts.locks;                                                             \
        }                                                                                          \
        return real(lock);                                                                         \
    }
VEX_COUNTED_LOCK(pthread_mutex_lock, pthread_mutex_t)
VEX_COUNTED_LOCK(pthread_mutex_trylock, pthread_mutex_t)
VEX_COUNTED_LOCK(pthread_rwlock_rdlock, pthread_rwlock_t)
VEX_COUNTED_LOCK(pthread_rwlock_wrlock, pthread_rwlock_t)
}

#elif !defined(VEX_SANITIZED_BUILD)
// operator new and delete only: every C++ allocation of this program goes through them.
void* operator new(std::size_t size) {
    countAllocation();
    void* pointer = std::malloc(size == 0 ? 1 : size);
    if (pointer == nullptr) {
        throw std::bad_alloc();
    }
    return pointer;
}
void* operator new[](std::size_t size) {
    return ::operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    countAllocation();
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return ::operator new(size, tag);
}
void operator delete(void* pointer) noexcept {
    countFree(pointer);
    std::free(pointer);
}
void operator delete[](void* pointer) noexcept {
    ::operator delete(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
    ::operator delete(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
    ::operator delete(pointer);
}
#endif
