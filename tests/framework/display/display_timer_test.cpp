// The shared display timer: join, leave and tick rules called directly, and ticks that
// arrive through the message loop from the windowless timer. Waits end on what they wait
// for; intervals are checked from below only (a loaded machine only delays a tick).
#include "framework/display/display_timer.h"
#include "tests/framework/display/message_pump.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

namespace vex::test {
namespace {

using namespace std::chrono_literals;

// Every client's onTimer call, in order, by name.
std::string calls;

class Client final : public DisplayTimerClient {
public:
    explicit Client(char name) : name(name) {}
    bool onTimer() override {
        calls += name;
        ++ticks;
        lastTick = std::chrono::steady_clock::now();
        return action ? action() : answer;
    }

    char name;
    int ticks = 0;
    std::chrono::steady_clock::time_point lastTick;
    bool answer = true;
    std::function<bool()> action;
};

class DisplayTimerTest : public ::testing::Test {
protected:
    void SetUp() override { calls.clear(); }
    // Also after a failed check: the interval is the process's, and the next test expects
    // the default.
    void TearDown() override {
        EXPECT_EQ(timer.clientCount(), 0u);
        EXPECT_EQ(timer.getTimerId(), 0u);
        setTimerInterval(SharedDisplayTimer::kDefaultInterval);
        pumpPending();
    }
    SharedDisplayTimer& timer = SharedDisplayTimer::instance();
};

TEST_F(DisplayTimerTest, JoiningTwiceKeepsOneEntryAndTheRunningTimer) {
    EXPECT_EQ(timer.getInterval(), 50);
    Client p('P');
    EXPECT_EQ(timer.getTimerId(), 0u);
    p.startTimer();
    const UINT_PTR id = timer.getTimerId();
    EXPECT_NE(id, 0u);
    p.startTimer();
    EXPECT_EQ(timer.clientCount(), 1u);
    EXPECT_EQ(timer.getTimerId(), id);
    timer.tick();
    EXPECT_EQ(calls, "P");

    Client q('Q');
    q.stopTimer(); // not joined: nothing happens
    q.startTimer();
    EXPECT_EQ(timer.getTimerId(), id);
    p.stopTimer();
    EXPECT_NE(timer.getTimerId(), 0u);
    q.stopTimer();
    EXPECT_EQ(timer.getTimerId(), 0u);
}

TEST_F(DisplayTimerTest, AClientAnsweringFalseLeavesAndTheNextStillTicks) {
    Client p('P');
    Client q('Q');
    Client r('R');
    q.answer = false;
    p.startTimer();
    q.startTimer();
    r.startTimer();
    timer.tick();
    EXPECT_EQ(calls, "PQR");
    EXPECT_FALSE(timer.isJoined(&q));
    EXPECT_NE(timer.getTimerId(), 0u);
    timer.tick();
    EXPECT_EQ(calls, "PQRPR");
    p.stopTimer();
    r.stopTimer();
}

TEST_F(DisplayTimerTest, TheOnlyClientAnsweringFalseStopsTheTicks) {
    setTimerInterval(10);
    Client p('P');
    p.answer = false;
    p.startTimer();
    ASSERT_TRUE(pumpUntil([&] { return p.ticks == 1; }));
    EXPECT_EQ(timer.getTimerId(), 0u);
    EXPECT_TRUE(pumpTimerPeriods(6, 10));
    EXPECT_EQ(p.ticks, 1);
    // Joining again restarts the ticks.
    p.answer = true;
    p.startTimer();
    EXPECT_TRUE(pumpUntil([&] { return p.ticks >= 3; }));
    p.stopTimer();
}

// Why 150 ms for an interval of 200: the system's timers count in ticks of its own clock,
// which may end a wait a few milliseconds before the steady clock does.
TEST_F(DisplayTimerTest, IntervalChangesApplyNowOrAtTheNextJoin) {
    setTimerInterval(200);
    EXPECT_EQ(timer.getInterval(), 200);
    EXPECT_EQ(timer.getTimerId(), 0u);
    Client p('P');
    const auto joined = std::chrono::steady_clock::now();
    p.startTimer();
    EXPECT_NE(timer.getTimerId(), 0u);
    ASSERT_TRUE(pumpUntil([&] { return p.ticks == 1; }));
    EXPECT_GE(p.lastTick - joined, 150ms) << "the first tick came before the interval";
    p.stopTimer();

    // With clients joined, the running timer restarts with the new interval: the next tick
    // comes a whole long interval after the change, not with the short one running.
    setTimerInterval(10);
    p.startTimer();
    ASSERT_TRUE(pumpUntil([&] { return p.ticks >= 4; }));
    const int before = p.ticks;
    const auto changed = std::chrono::steady_clock::now();
    setTimerInterval(200);
    EXPECT_NE(timer.getTimerId(), 0u);
    ASSERT_TRUE(pumpUntil([&] { return p.ticks > before; }));
    EXPECT_GE(p.lastTick - changed, 150ms) << "the short interval still ran";
    p.stopTimer();
    EXPECT_EQ(timer.getTimerId(), 0u);
}

TEST_F(DisplayTimerTest, ADestroyedClientLeaves) {
    Client p('P');
    p.startTimer();
    {
        Client gone('G');
        gone.startTimer();
        EXPECT_EQ(timer.clientCount(), 2u);
    }
    EXPECT_EQ(timer.clientCount(), 1u);
    timer.tick();
    EXPECT_EQ(calls, "P");

    // Destroyed inside its own onTimer, in the middle of the list.
    auto* self = new Client('D');
    Client r('R');
    self->action = [self] {
        delete self;
        return true;
    };
    self->startTimer();
    r.startTimer();
    calls.clear();
    timer.tick();
    EXPECT_EQ(calls, "PDR");
    EXPECT_EQ(timer.clientCount(), 2u);
    timer.tick();
    EXPECT_EQ(calls, "PDRPR");
    p.stopTimer();
    r.stopTimer();
}

TEST_F(DisplayTimerTest, JoinsAndLeavesDuringATickNeitherSkipNorOverrun) {
    Client p('P');
    Client q('Q');
    Client r('R');
    Client s('S');
    Client n('N');
    p.startTimer();
    q.startTimer();
    r.startTimer();
    s.startTimer();

    // Q removes P (before it) and S (after it) and brings N in: R still ticks, S and N do not.
    q.action = [&] {
        p.stopTimer();
        s.stopTimer();
        n.startTimer();
        return true;
    };
    timer.tick();
    EXPECT_EQ(calls, "PQR");
    calls.clear();
    q.action = nullptr;
    timer.tick();
    EXPECT_EQ(calls, "QRN");

    // Leaving in its own onTimer: the answer no longer matters; rejoining puts it last.
    calls.clear();
    q.action = [&] {
        q.stopTimer();
        return false;
    };
    r.action = [&] {
        r.stopTimer();
        r.startTimer();
        return false;
    };
    timer.tick();
    EXPECT_EQ(calls, "QRN");
    EXPECT_FALSE(timer.isJoined(&q));
    EXPECT_TRUE(timer.isJoined(&r));
    r.action = nullptr;
    calls.clear();
    timer.tick();
    EXPECT_EQ(calls, "NR");

    // A tick from inside onTimer is ignored; the last client leaving stops the timer.
    calls.clear();
    n.action = [&] {
        timer.tick();
        return false;
    };
    r.action = [&] {
        r.stopTimer();
        EXPECT_EQ(timer.getTimerId(), 0u);
        return true;
    };
    timer.tick();
    EXPECT_EQ(calls, "NR");
    EXPECT_EQ(timer.clientCount(), 0u);
}

TEST_F(DisplayTimerTest, TicksArriveThroughTheMessageLoop) {
    setTimerInterval(10);
    Client p('P');
    Client q('Q');
    p.startTimer();
    q.startTimer();
    EXPECT_TRUE(pumpUntil([&] { return p.ticks >= 3 && q.ticks >= 3; }));
    // Each tick calls both, in joining order.
    EXPECT_EQ(p.ticks, q.ticks);
    EXPECT_EQ(calls.substr(0, 4), "PQPQ");
    p.stopTimer();
    q.stopTimer();
    const int after = p.ticks;
    EXPECT_TRUE(pumpTimerPeriods(4, 10));
    EXPECT_EQ(p.ticks, after);
}

} // namespace
} // namespace vex::test
