#include "framework/display/display_timer.h"

#include <algorithm>

namespace vex {

DisplayTimerClient::~DisplayTimerClient() {
    stopTimer();
}

void DisplayTimerClient::startTimer() {
    SharedDisplayTimer::instance().join(this);
}

void DisplayTimerClient::stopTimer() {
    SharedDisplayTimer::instance().leave(this);
}

SharedDisplayTimer& SharedDisplayTimer::instance() {
    static SharedDisplayTimer timer;
    return timer;
}

SharedDisplayTimer::~SharedDisplayTimer() {
    stop();
}

bool SharedDisplayTimer::isJoined(const DisplayTimerClient* client) const {
    return std::find(clients.begin(), clients.end(), client) != clients.end();
}

void SharedDisplayTimer::start() {
    stop();
    if (!clients.empty()) {
        // A failed SetTimer leaves the id 0: no ticks until the next restart.
        timerId = SetTimer(nullptr, 0, static_cast<UINT>(interval), &timerProcedure);
    }
}

void SharedDisplayTimer::stop() {
    // Why the id is cleared: once killed, the id may be handed to another timer of the
    // thread, which a later kill must not stop.
    if (timerId != 0) {
        KillTimer(nullptr, timerId);
        timerId = 0;
    }
}

void SharedDisplayTimer::join(DisplayTimerClient* client) {
    if (client == nullptr || isJoined(client)) {
        return;
    }
    clients.push_back(client);
    if (clients.size() == 1) {
        start();
    }
}

void SharedDisplayTimer::leave(DisplayTimerClient* client) {
    auto found = std::find(clients.begin(), clients.end(), client);
    if (found == clients.end()) {
        return;
    }
    const auto position = static_cast<std::size_t>(found - clients.begin());
    clients.erase(found);
    if (walking) {
        // Keep the walk on the same clients: those after the removed one moved up a place.
        if (position < walkEnd) {
            --walkEnd;
        }
        if (position < walkIndex) {
            --walkIndex;
        } else if (position == walkIndex) {
            currentLeft = true;
        }
    }
    if (clients.empty()) {
        stop();
    }
}

void SharedDisplayTimer::tick() {
    if (walking) {
        return;
    }
    struct WalkGuard {
        bool& walking;
        ~WalkGuard() { walking = false; }
    } guard{walking};
    walking = true;
    walkIndex = 0;
    walkEnd = clients.size();
    while (walkIndex < walkEnd) {
        currentLeft = false;
        const bool keep = clients[walkIndex]->onTimer();
        if (currentLeft) {
            continue; // already removed; walkIndex names the next client
        }
        if (keep) {
            ++walkIndex;
            continue;
        }
        clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(walkIndex));
        --walkEnd;
        if (clients.empty()) {
            stop();
        }
    }
}

void SharedDisplayTimer::setTimerInterval(std::int32_t milliseconds) {
    interval = milliseconds;
    start();
}

void CALLBACK SharedDisplayTimer::timerProcedure(HWND, UINT, UINT_PTR, DWORD) {
    // Why: an error must not unwind through the system's message dispatch.
    try {
        instance().tick();
    } catch (...) {
    }
}

void setTimerInterval(std::int32_t milliseconds) {
    SharedDisplayTimer::instance().setTimerInterval(milliseconds);
}

} // namespace vex
