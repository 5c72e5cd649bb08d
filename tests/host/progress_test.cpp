// The progress bar stays off the stream unless enabled, waits before it appears, and
// clears its line at the end.
#include "host/vexhost/output/progress.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

namespace vex::host {
namespace {

TEST(ProgressTest, DisabledOrBriefWorkPrintsNothing) {
    std::ostringstream quiet;
    {
        Progress progress(quiet, false, "frames");
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        progress.update(0.5);
    }
    EXPECT_TRUE(quiet.str().empty());
    std::ostringstream brief;
    {
        Progress progress(brief, true, "frames");
        progress.update(0.5);
        progress.update(1.0);
    }
    EXPECT_TRUE(brief.str().empty());
}

TEST(ProgressTest, LongWorkShowsABarAndClearsIt) {
    std::ostringstream out;
    Progress progress(out, true, "log");
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    progress.update(0.5);
    const std::string shown = out.str();
    EXPECT_EQ(shown.rfind("\rlog [###############               ] 50%", 0), 0u) << shown;
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
