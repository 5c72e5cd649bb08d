// The progress bar stays off the stream unless enabled, waits half a second before it
// appears, redraws at most ten times a second, and clears its line at the end. The bar's
// clock is the test's own.
#include "host/vexhost/output/progress.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vex::host {
namespace {

using namespace std::chrono_literals;

// A clock that moves only when the test says so.
struct FakeClock {
    Progress::Clock::time_point time{};
    Progress::Now now() {
        return [this] { return time; };
    }
};

TEST(ProgressTest, DisabledOrBriefWorkPrintsNothing) {
    // Disabled: ten seconds of work; enabled: under half a second.
    for (const bool enabled : {false, true}) {
        FakeClock clock;
        std::ostringstream out;
        {
            Progress progress(out, enabled, "frames", clock.now());
            progress.update(0.5);
            clock.time += enabled ? std::chrono::milliseconds(499) : std::chrono::seconds(10);
            progress.update(1.0);
        }
        EXPECT_TRUE(out.str().empty()) << (enabled ? "brief" : "disabled");
    }
}

TEST(ProgressTest, LongWorkShowsABarRedrawnAtMostEveryTenthOfASecondAndClearsIt) {
    FakeClock clock;
    std::ostringstream out;
    Progress progress(out, true, "log", clock.now());
    clock.time += 500ms;
    progress.update(0.5);
    const std::string shown = out.str();
    EXPECT_EQ(shown, "\rlog [###############               ] 50%");
    clock.time += 99ms;
    progress.update(0.6);
    EXPECT_EQ(out.str(), shown) << "redrawn within a tenth of a second";
    clock.time += 1ms;
    progress.update(0.6);
    const std::string redrawn = out.str();
    EXPECT_EQ(redrawn, shown + "\rlog [##################            ] 60%");
    clock.time += 1s;
    progress.update(0.605);
    EXPECT_EQ(out.str(), redrawn) << "the same percentage is not drawn again";

    progress.finish();
    EXPECT_EQ(out.str().back(), '\r');
    const std::size_t length = out.str().size();
    progress.finish();
    EXPECT_EQ(out.str().size(), length) << "a second finish prints nothing";
}

TEST(ProgressTest, SpeedSummaryGivesFramesSecondsAndTheRatioToRealTime) {
    EXPECT_EQ(speedSummary("animate", 2400, 60.0, 4.0),
              "animate: 2400 frames, 60.0 s of audio in 4.00 s, 15.0x real time");
    EXPECT_EQ(speedSummary("animate", 1, 0.025, 0.5),
              "animate: 1 frame, 0.0 s of audio in 0.50 s, 0.1x real time");
    EXPECT_EQ(speedSummary("animate", 0, 0.0, 0.0), "animate: 0 frames, 0.0 s of audio in 0.00 s")
        << "no ratio without a measured time";
    EXPECT_EQ(speedSummary("animate", 3, 1.0, -1.0),
              "animate: 3 frames, 1.0 s of audio in -1.00 s");
}

} // namespace
} // namespace vex::host
