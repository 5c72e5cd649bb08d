// One process-wide timer that serves every display object needing periodic work.
#pragma once

#include "platform/user32.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vex {

// A display object that wants periodic calls derives from this and joins the shared timer.
// Contract: join, leave and every onTimer run on the user-interface thread that first
// joined (its message loop delivers the ticks).
class DisplayTimerClient {
public:
    DisplayTimerClient() = default;
    DisplayTimerClient(const DisplayTimerClient&) = delete;
    DisplayTimerClient& operator=(const DisplayTimerClient&) = delete;
    // Leaves the shared timer.
    virtual ~DisplayTimerClient();
    // Called once per tick while joined. True stays joined; false leaves.
    virtual bool onTimer() = 0;

    // Joins the shared timer (nothing when already joined).
    void startTimer();
    // Leaves the shared timer (nothing when not joined).
    void stopTimer();
};

// The shared timer: one windowless SetTimer timer while any client is joined, none while
// idle. Created on first use, destroyed when the library unloads.
//
// Changes during a tick (a client's onTimer may join, leave, or destroy clients):
// - the tick calls, in list order, the clients that were joined when it began and are
//   still joined when their turn comes; a client that left is never called again;
// - a client that joins during a tick is first called on the next tick;
// - a client that leaves during its own onTimer has left: its answer is ignored (and if it
//   joined again in the same call, it stays joined);
// - a tick that arrives while one is running (a message loop inside onTimer) is ignored;
// - an error raised by onTimer ends that tick; the client stays joined.
class SharedDisplayTimer {
public:
    static constexpr std::int32_t kDefaultInterval = 50;

    static SharedDisplayTimer& instance();
    SharedDisplayTimer(const SharedDisplayTimer&) = delete;
    SharedDisplayTimer& operator=(const SharedDisplayTimer&) = delete;
    ~SharedDisplayTimer();

    void join(DisplayTimerClient* client);
    void leave(DisplayTimerClient* client);
    // Calls every joined client's onTimer once (see the rules above).
    void tick();
    // Changes the interval for all clients; restarts the running timer with it.
    void setTimerInterval(std::int32_t milliseconds);

    std::int32_t getInterval() const { return interval; }
    // The running timer's id, 0 while idle.
    UINT_PTR getTimerId() const { return timerId; }
    std::size_t clientCount() const { return clients.size(); }
    bool isJoined(const DisplayTimerClient* client) const;

private:
    SharedDisplayTimer() = default;
    void start();
    void stop();
    static void CALLBACK timerProcedure(HWND, UINT, UINT_PTR, DWORD);

    std::int32_t interval = kDefaultInterval;
    std::vector<DisplayTimerClient*> clients;
    UINT_PTR timerId = 0;
    // The walk of the tick in progress: clients[walkIndex] is being called, and the walk
    // ends before walkEnd.
    bool walking = false;
    std::size_t walkIndex = 0;
    std::size_t walkEnd = 0;
    bool currentLeft = false;
};

// Changes the shared timer's interval.
void setTimerInterval(std::int32_t milliseconds);

} // namespace vex
