// The audio drivers of `vexhost live`: the interface the window's set-up sees, and one
// factory per driver (each in its own file: the paced driver, SDL playback, SDL capture,
// JACK). SDL and JACK stay out of this header.
#pragma once

#include "host/kit/voice_input.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vex::host {

class LiveFeed;

// The largest block the engine runs at once, in sample frames.
constexpr std::int32_t kLargestBlock = 8192;

// Where the samples come from and on which thread the voices run. Every operation is called
// on the main thread. The rate and block size are known once the driver is built, before
// the engine is; voiceInput() is called once per voice, in order, before start().
class AudioDriver {
public:
    virtual ~AudioDriver() = default;
    // Sample frames per second the voices run at.
    virtual double sampleRate() const = 0;
    // Sample frames per engine block: at most kLargestBlock.
    virtual std::int32_t blockSize() const = 0;
    // The input engine voice `voice` reads. `session` is that voice's file or signal, or
    // null when the driver brings the samples itself (JACK, capture). The engine owns what
    // comes back; the driver may keep a pointer to it, used on the audio thread until stop().
    virtual std::unique_ptr<InputSource> voiceInput(std::int32_t voice,
                                                    std::unique_ptr<InputSource> session) = 0;
    // Begins calling `feed` on the driver's audio thread; `feed` outlives stop(). Throws
    // HostError.
    virtual void start(LiveFeed& feed) = 0;
    // Ends the audio thread's calls for good; returns once none runs. Idempotent.
    virtual void stop() = 0;
};

// Files and built-in signals at real-time pace without sound, `block` frames at a time.
std::unique_ptr<AudioDriver> makePacedDriver(double rate, std::int32_t block);

// SDL's default output at the session's `rate` (SDL converts to the device's), asking for
// `block` frames per callback. SDL's audio must be started. Throws HostError.
std::unique_ptr<AudioDriver> openPlaybackDriver(double rate, std::int32_t block);

// SDL's default capture device, one voice. SDL's audio must be started. Throws HostError.
std::unique_ptr<AudioDriver> openCaptureDriver();

// A JACK client "vexhost" with an input pair per voice. `sources` are output ports of the
// graph connected to the inputs in order (a then b of voice 1, then voice 2, ...; an empty
// name leaves that input alone) right after start() activates the client; no block runs
// before, so the audio clock starts with the connections. Throws HostError when no server
// answers, when there are more sources than inputs or a source is not an output port.
std::unique_ptr<AudioDriver> openJackDriver(std::int32_t voices,
                                            const std::vector<std::string>& sources);

} // namespace vex::host
