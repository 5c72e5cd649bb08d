// The SDL playback driver: files and built-in signals played on SDL's default output, whose
// callback runs the voices and plays what they hear.
#include "host/vexhost/live/live_feed.h"
#include "host/vexhost/live/live_inputs.h"
#include "host/vexhost/live/sdl_device_driver.h"

#include <algorithm>
#include <vector>

namespace vex::host {

namespace {

// Signal A of every voice on the left, signal B on the right, each mixed at 1/voices.
class PlaybackDriver final : public SdlDeviceDriver {
public:
    PlaybackDriver(double wantedRate, std::int32_t wantedBlock) {
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(wantedRate);
        want.channels = 2;
        want.samples = static_cast<Uint16>(std::clamp(wantedBlock, 64, 4096));
        want.callback = &PlaybackDriver::callback;
        const SDL_AudioSpec have = open(false, want, 0, "the audio output");
        block = have.samples;
        rate = wantedRate; // the session's rate: SDL converts to the device's own
    }
    // Why here too: the device's thread must end before this object's members do.
    ~PlaybackDriver() override { stop(); }
    // Keeps a copy of what each voice reads, to play it.
    std::unique_ptr<InputSource> voiceInput(std::int32_t,
                                            std::unique_ptr<InputSource> session) override {
        auto keeping = std::make_unique<KeptInput>(std::move(session), block);
        kept.push_back(keeping.get());
        return keeping;
    }

private:
    static void callback(void* self, Uint8* stream, int length) {
        static_cast<PlaybackDriver*>(self)->fill(reinterpret_cast<float*>(stream),
                                                 length / static_cast<int>(2 * sizeof(float)));
    }
    // Audio thread.
    void fill(float* out, int frames) {
        LiveFeed* feed = running();
        if (feed == nullptr) {
            std::fill(out, out + 2 * frames, 0.0f);
            return;
        }
        const float gain = kept.empty() ? 0.0f : 1.0f / static_cast<float>(kept.size());
        for (int at = 0; at < frames;) {
            const int count = std::min(frames - at, block);
            feed->run(count);
            for (int i = 0; i < count; ++i) {
                float left = 0.0f;
                float right = 0.0f;
                for (const KeptInput* input : kept) {
                    left += input->lastA()[i];
                    right += input->lastB()[i];
                }
                out[2 * (at + i)] = left * gain;
                out[2 * (at + i) + 1] = right * gain;
            }
            at += count;
        }
    }

    // Written before start(), read on the audio thread after it.
    std::vector<const KeptInput*> kept;
};

} // namespace

std::unique_ptr<AudioDriver> openPlaybackDriver(double rate, std::int32_t block) {
    return std::make_unique<PlaybackDriver>(rate, block);
}

} // namespace vex::host
