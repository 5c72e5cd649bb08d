// The base of the two SDL audio drivers (playback and capture): one SDL audio device whose
// callback runs the voices once start() handed the feed over. Included by those drivers
// only; the rest of the window sees them through audio_driver.h.
#pragma once

#include "host/vexhost/live/audio_driver.h"

#include <SDL.h>

#include <atomic>

namespace vex::host {

class SdlDeviceDriver : public AudioDriver {
public:
    ~SdlDeviceDriver() override { stop(); }
    double sampleRate() const override { return rate; }
    std::int32_t blockSize() const override { return block; }
    void start(LiveFeed& liveFeed) override;
    // Closes the device: SDL's audio thread has ended when this returns.
    void stop() override;

protected:
    // Opens the default output (or capture) device for 32-bit float samples, with this
    // object as the callback's user data. Throws HostError naming `what`.
    SDL_AudioSpec open(bool capture, SDL_AudioSpec want, int allowedChanges, const char* what);
    // Audio thread: the feed once start() handed it over, else null. Why atomic: SDL's
    // audio thread exists from the open on; what start() handed over is visible to it once
    // the feed is.
    LiveFeed* running() const { return feed.load(std::memory_order_acquire); }

    SDL_AudioDeviceID device = 0;
    double rate = 48000.0;
    std::int32_t block = 512;

private:
    std::atomic<LiveFeed*> feed{nullptr};
};

} // namespace vex::host
