// The SDL audio device shared by the playback and capture drivers.
#include "host/vexhost/live/sdl_device_driver.h"

#include "host/kit/host_error.h"

#include <string>

namespace vex::host {

void SdlDeviceDriver::start(LiveFeed& liveFeed) {
    feed.store(&liveFeed, std::memory_order_release);
    SDL_PauseAudioDevice(device, 0);
}

void SdlDeviceDriver::stop() {
    if (device != 0) {
        SDL_CloseAudioDevice(device);
        device = 0;
    }
}

SDL_AudioSpec SdlDeviceDriver::open(bool capture, SDL_AudioSpec want, int allowedChanges,
                                    const char* what) {
    want.format = AUDIO_F32SYS;
    want.userdata = this;
    SDL_AudioSpec have{};
    device = SDL_OpenAudioDevice(nullptr, capture ? 1 : 0, &want, &have, allowedChanges);
    if (device == 0) {
        throw HostError(std::string("cannot open ") + what + ": " + SDL_GetError());
    }
    return have;
}

} // namespace vex::host
