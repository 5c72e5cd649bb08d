// The shared display timer: join, leave and tick rules called directly, and ticks that
// arrive through the message loop from the windowless timer (short intervals, bounded waits).
#include "framework/display/display_timer.h"
#include "tests/framework/display/message_pump.h"

#include <gtest/gtest.h>

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
        return action ? action() : answer;
    }

    char name;
    int ticks = 0;
    bool answer = true;
    std::function<bool()> action;
};

class DisplayTimerTest : public ::testing::Test {
protected:
    void SetUp() override { calls.clear(); }
    void TearDown() override {
        EXPECT_EQ(timer.clientCount(), 0u);
        EXPECT_EQ(timer.getTimerId(), 0u);
        pumpFor(5ms);
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
    ASSERT_TRUE(pumpUntil([&] { return p.ticks == 1; }, 2000ms));
    EXPECT_EQ(timer.getTimerId(), 0u);
    pumpFor(60ms);
    EXPECT_EQ(p.ticks, 1);
    // Joining again restarts the ticks.
    p.answer = true;
    p.startTimer();
    EXPECT_TRUE(pumpUntil([&] { return p.ticks >= 3; }, 2000ms));
    p.stopTimer();
    setTimerInterval(SharedDisplayTimer::kDefaultInterval);
}

TEST_F(DisplayTimerTest, IntervalChangesApplyNowOrAtTheNextJoin) {
    setTimerInterval(200);
    EXPECT_EQ(timer.getInterval(), 200);
    EXPECT_EQ(timer.getTimerId(), 0u);
    Client p('P');
    const auto joined = std::chrono::steady_clock::now();
    p.startTimer();
    EXPECT_NE(timer.getTimerId(), 0u);
    // No tick can come before 200 ms.
    pumpUntil([] { return false; }, 100ms, joined);
    EXPECT_EQ(p.ticks, 0);
    // With clients joined, the running timer restarts with the new interval.
    setTimerInterval(10);
    EXPECT_NE(timer.getTimerId(), 0u);
    EXPECT_TRUE(pumpUntil([&] { return p.ticks >= 3; }, 2000ms));
    p.stopTimer();
    setTimerInterval(SharedDisplayTimer::kDefaultInterval);
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
    EXPECT_TRUE(pumpUntil([&] { return p.ticks >= 3 && q.ticks >= 3; }, 2000ms));
    // Each tick calls both, in joining order.
    EXPECT_EQ(p.ticks, q.ticks);
    EXPECT_EQ(calls.substr(0, 4), "PQPQ");
    p.stopTimer();
    q.stopTimer();
    const int after = p.ticks;
    pumpFor(40ms);
    EXPECT_EQ(p.ticks, after);
    setTimerInterval(SharedDisplayTimer::kDefaultInterval);
}

} // namespace
} // namespace vex::test
