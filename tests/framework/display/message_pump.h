// Message-loop helpers for the window and timer tests: the same code drives the stand-in
// natively and the real user32 under wine, with bounded waits only.
#pragma once

#include "framework/audio/module_factory.h"
#include "platform/user32.h"

#include <chrono>
#include <thread>

namespace vex::test {

// Dispatches every message that arrives until `done()` holds or `limit` has passed since
// `start`; answers whether `done()` held.
template <typename Done>
bool pumpUntil(Done done, std::chrono::milliseconds limit,
               std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now()) {
    const auto deadline = start + limit;
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

// Dispatches whatever is waiting, for at most `limit`.
inline void pumpFor(std::chrono::milliseconds limit) {
    pumpUntil([] { return false; }, limit);
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
