// The system's millisecond clock, timeGetTime: milliseconds since an arbitrary start,
// wrapping in 32 bits. On Windows the system's (winmm); elsewhere a monotonic clock.
#pragma once

#include "platform/win_types.h"

#ifdef _WIN32
#include <mmsystem.h>
#else
// Milliseconds of the system's monotonic clock, truncated to 32 bits. Thread-safe.
DWORD timeGetTime();
#endif
