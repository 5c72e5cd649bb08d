// The SDL capture driver: SDL's default capture device (PulseAudio, PipeWire or ALSA) as one
// voice, its first channel as signal A and its second, when there is one, as signal B.
#include "host/vexhost/live/live_feed.h"
#include "host/vexhost/live/live_inputs.h"
#include "host/vexhost/live/sdl_device_driver.h"

#include <algorithm>
#include <vector>

namespace vex::host {

namespace {

class CaptureDriver final : public SdlDeviceDriver {
public:
    CaptureDriver() {
        SDL_AudioSpec want{};
        want.freq = 48000;
        want.channels = 2;
        want.samples = 512;
        want.callback = &CaptureDriver::callback;
        const SDL_AudioSpec have =
            open(true, want, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE,
                 "the capture device");
        rate = have.freq;
        channels = std::max<int>(1, have.channels);
        block = std::max<int>(64, have.samples);
        a.assign(static_cast<std::size_t>(block), 0.0f);
        b.assign(static_cast<std::size_t>(block), 0.0f);
    }
    // Why here too: the device's thread must end before this object's members do.
    ~CaptureDriver() override { stop(); }
    // The one voice reads what the callback hands in.
    std::unique_ptr<InputSource> voiceInput(std::int32_t, std::unique_ptr<InputSource>) override {
        auto input = std::make_unique<HandedInput>();
        handed = input.get();
        return input;
    }

private:
    static void callback(void* self, Uint8* stream, int length) {
        auto* driver = static_cast<CaptureDriver*>(self);
        driver->take(reinterpret_cast<const float*>(stream),
                     length / static_cast<int>(sizeof(float)) / driver->channels);
    }
    // Audio thread.
    void take(const float* in, int frames) {
        LiveFeed* feed = running();
        if (feed == nullptr) {
            return;
        }
        for (int at = 0; at < frames;) {
            const int count = std::min(frames - at, block);
            for (int i = 0; i < count; ++i) {
                a[static_cast<std::size_t>(i)] = in[(at + i) * channels];
                b[static_cast<std::size_t>(i)] = channels > 1 ? in[(at + i) * channels + 1] : 0.0f;
            }
            handed->set(a.data(), channels > 1 ? b.data() : nullptr);
            feed->run(count);
            at += count;
        }
    }

    int channels = 2;
    std::vector<float> a;
    std::vector<float> b;
    HandedInput* handed = nullptr; // the engine's; set before start()
};

} // namespace

std::unique_ptr<AudioDriver> openCaptureDriver() {
    return std::make_unique<CaptureDriver>();
}

} // namespace vex::host
