#include "platform/winmm.h"

#include <time.h>

DWORD timeGetTime() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto milliseconds = static_cast<unsigned long long>(now.tv_sec) * 1000u +
                              static_cast<unsigned long long>(now.tv_nsec) / 1000000u;
    return static_cast<DWORD>(milliseconds); // wraps as the system's does
}
