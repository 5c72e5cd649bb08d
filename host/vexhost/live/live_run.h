// One run of `vexhost live`, in its steps: the set-up (module, inputs, audio driver, engine,
// view and window), the event loop (events, frames, presents), the screenshot and quit
// conditions, and the report on quitting. Main thread only; the driver's audio thread sees
// only the feed.
#pragma once

#include "host/kit/module_library.h"
#include "host/kit/view/display_session.h"
#include "host/vexhost/inputs/session.h"
#include "host/vexhost/live/audio_driver.h"
#include "host/vexhost/live/frame_queue.h"
#include "host/vexhost/live/live_feed.h"
#include "host/vexhost/live/live_group.h"
#include "host/vexhost/live/live_options.h"
#include "host/vexhost/live/live_stats.h"
#include "host/vexhost/live/live_view.h"
#include "host/vexhost/live/live_window.h"
#include "host/vexhost/output/console.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vex::host {

class LiveRun {
public:
    // The set-up: loads the module, opens the driver, builds the engine with its voices,
    // the view and the window. No audio runs yet. SDL must be started. Throws HostError.
    LiveRun(const SessionOptions& sessionOptions, const DisplayLook& look,
            const LiveOptions& options);
    // Stops the audio first. Why: an error in the loop (a screenshot that cannot be
    // written) unwinds through here while the audio thread still runs the feed, which must
    // not outlive the feed and the queue it writes.
    ~LiveRun();
    LiveRun(const LiveRun&) = delete;
    LiveRun& operator=(const LiveRun&) = delete;

    // Starts the audio and runs the window until the user quits, the screenshot is written
    // or the duration has played; the audio has stopped on return. Throws HostError.
    void run(Console& console);
    // The cursor's reading and, when asked, the statistics.
    void report(Console& console) const;
    // Writes the reference the window keeps to --save-reference's file, if asked. Throws
    // HostError (also when no reference is kept).
    void saveKeptReference() const;

private:
    void openSource(const SessionOptions& sessionOptions);
    void buildEngine(const SessionOptions& sessionOptions);
    // One turn of the event loop; false once the run is over.
    bool turn(Console& console);
    // Sleeps until the next present is allowed, at most 20 ms and at least 2 ms.
    void waitForTurn() const;
    // Handles the window's events; false when the user quits.
    bool handleEvents();
    // A key for the tools, and what the run does about what it changed.
    void toolKey(char c);
    // Hands the queued frames of the shown analysis to the view.
    void takeFrames();
    void present(std::int64_t position);
    void writeScreenshot(Console& console);
    // The tools as the options set them, with the reference read at set-up.
    void setUpTools(ViewerTools& tools, const LiveOptions& given) const;
    // Joins the group and shows its members, when asked for one.
    void openGroup(DisplayLook& look);
    // Follows the group's view and hands the members' new frames to the view.
    void showGroup();

    LiveOptions options;
    ReferenceTrace reference; // --reference's, read before anything opens
    std::int32_t updateRate;
    std::unique_ptr<Session> session; // files and signals, else null
    ModuleLibrary library;            // the module when there is no session
    FactoryInterface* factory = nullptr;
    std::unique_ptr<AudioDriver> driver;
    std::int32_t voices = 1;
    double rate = 48000.0;
    FrameQueue queue;
    std::unique_ptr<LiveFeed> feed;
    std::unique_ptr<LiveGroup> group;
    bool watchOnly = false;  // --group without a source: a silent clock, no member
    double pixelRatio = 1.0; // the window's pixels per point of its events
    bool pointerIn = false;  // the pointer over the window (pixels), for the member nearest it
    std::int32_t pointerX = 0;
    std::int32_t pointerY = 0;
    std::unique_ptr<LiveView> view;
    std::unique_ptr<LiveWindow> window;
    LiveStats stats;
    std::chrono::nanoseconds frameInterval{0}; // the screen's refresh period
    std::chrono::steady_clock::time_point lastPresent;
    std::int64_t screenshotAt = -1; // sample frames of audio, or -1
    std::int64_t endAt = -1;
};

} // namespace vex::host
