// Message-loop helpers for the window and timer tests: the same code drives the stand-in
// natively and the real user32 under wine. No wait here is counted in wall-clock time that
// a slow machine could use up: a test waits for what it expects, for what is already
// waiting, or for a number of periods of a timer of its own.
#pragma once

#include "framework/audio/module_factory.h"
#include "platform/user32.h"

#include <chrono>
#include <thread>

namespace vex::test {

// How long a wait for something due within milliseconds may last: it matters only when
// the code under test hangs.
inline constexpr std::chrono::milliseconds kHangLimit{30000};

// Dispatches every message that arrives until `done()` holds or `limit` has passed;
// answers whether `done()` held.
template <typename Done> bool pumpUntil(Done done, std::chrono::milliseconds limit = kHangLimit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return done();
        }
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

// Dispatches what is waiting now (paints included) until the queue is empty; at most
// `most` messages, so a timer due over and over cannot keep it going.
inline void pumpPending(int most = 10000) {
    MSG message;
    for (int i = 0; i < most && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
        DispatchMessageW(&message);
    }
}

// The counting timer of pumpTimerPeriods.
struct WitnessTimer {
    static inline UINT_PTR id = 0;
    static inline int fired = 0;
    static void CALLBACK procedure(HWND, UINT, UINT_PTR timer, DWORD) {
        if (timer == id) {
            ++fired;
        }
    }
};

// Dispatches every message until a windowless timer of its own, every `interval` ms, has
// fired `periods` times; answers whether it did. Why: "no tick came meanwhile" then means
// as many timer periods on a loaded machine as on an idle one.
inline bool pumpTimerPeriods(int periods, UINT interval) {
    WitnessTimer::fired = 0;
    WitnessTimer::id = SetTimer(nullptr, 0, interval, &WitnessTimer::procedure);
    if (WitnessTimer::id == 0) {
        return false;
    }
    const bool fired = pumpUntil([&] { return WitnessTimer::fired >= periods; });
    KillTimer(nullptr, WitnessTimer::id);
    WitnessTimer::id = 0;
    return fired;
}

// Windows registers our classes under the instance DllMain gives the library; a test
// program links the classes itself, so it hands over its own instance.
inline void useProgramInstance() {
#ifdef _WIN32
    setLibraryInstance(GetModuleHandleW(nullptr));
#endif
}

inline HINSTANCE programInstance() {
    return static_cast<HINSTANCE>(libraryInstance());
}

} // namespace vex::test
