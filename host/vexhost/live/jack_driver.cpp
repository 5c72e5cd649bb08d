// The JACK driver: a client named "vexhost" whose process callback runs the voices on the
// samples of its input ports, with the graph's ports the user named connected to them
// before the audio clock starts.
#include "host/kit/host_error.h"
#include "host/vexhost/live/audio_driver.h"
#include "host/vexhost/live/live_feed.h"
#include "host/vexhost/live/live_inputs.h"

#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

namespace vex::host {

namespace {

// Two input ports per voice: "a" and "b" for one voice, "voice1.a", "voice1.b", "voice2.a",
// ... for several.
class JackDriver final : public AudioDriver {
public:
    JackDriver(std::int32_t voices, std::vector<std::string> sources)
        : sources(std::move(sources)) {
        jack_status_t status{};
        client = jack_client_open("vexhost", JackNoStartServer, &status);
        if (client == nullptr) {
            throw HostError("cannot reach a JACK server (status 0x" + hex(status) + ")");
        }
        for (std::int32_t v = 0; v < voices; ++v) {
            const std::string prefix = voices == 1 ? "" : "voice" + std::to_string(v + 1) + ".";
            Ports ports;
            ports.a = jack_port_register(client, (prefix + "a").c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                         JackPortIsInput, 0);
            ports.b = jack_port_register(client, (prefix + "b").c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                         JackPortIsInput, 0);
            if (ports.a == nullptr || ports.b == nullptr) {
                closeAndThrow("cannot register the JACK ports of voice " + std::to_string(v + 1));
            }
            ports.input = nullptr;
            voicePorts.push_back(ports);
        }
        // Why before activating: a wrong name stops the program before any audio runs.
        for (const std::string& source : this->sources) {
            if (source.empty()) {
                continue;
            }
            const jack_port_t* port = jack_port_by_name(client, source.c_str());
            if (port == nullptr) {
                closeAndThrow("--connect: the JACK graph has no port '" + source + "'");
            }
            if ((jack_port_flags(port) & JackPortIsOutput) == 0) {
                closeAndThrow("--connect: '" + source + "' is not an output port");
            }
        }
    }
    ~JackDriver() override {
        stop();
        if (client != nullptr) {
            jack_client_close(client);
        }
    }
    double sampleRate() const override { return jack_get_sample_rate(client); }
    std::int32_t blockSize() const override {
        return std::clamp<std::int32_t>(static_cast<std::int32_t>(jack_get_buffer_size(client)), 16,
                                        kLargestBlock);
    }
    // Voice `voice` reads what the process callback hands in from its port pair.
    std::unique_ptr<InputSource> voiceInput(std::int32_t voice,
                                            std::unique_ptr<InputSource>) override {
        auto input = std::make_unique<HandedInput>();
        voicePorts[static_cast<std::size_t>(voice)].input = input.get();
        return input;
    }
    // Activates the client, then connects the sources; the callbacks run no block until
    // they are connected, so the audio clock (the feed's position) starts with them.
    void start(LiveFeed& liveFeed) override {
        feed = &liveFeed;
        const bool connecting =
            std::any_of(sources.begin(), sources.end(),
                        [](const std::string& source) { return !source.empty(); });
        counting.store(!connecting, std::memory_order_release);
        if (jack_set_process_callback(client, &JackDriver::process, this) != 0 ||
            jack_activate(client) != 0) {
            throw HostError("cannot start the JACK client");
        }
        active = true;
        for (std::size_t i = 0; i < sources.size(); ++i) {
            if (sources[i].empty()) {
                continue;
            }
            const Ports& ports = voicePorts[i / 2];
            const char* input = jack_port_name(i % 2 == 0 ? ports.a : ports.b);
            const int result = jack_connect(client, sources[i].c_str(), input);
            if (result != 0 && result != EEXIST) {
                throw HostError("cannot connect '" + sources[i] + "' to '" + input + "'");
            }
        }
        counting.store(true, std::memory_order_release);
    }
    void stop() override {
        if (active) {
            jack_deactivate(client);
            active = false;
        }
    }

private:
    struct Ports {
        jack_port_t* a;
        jack_port_t* b;
        HandedInput* input; // the engine's; set before start()
    };
    [[noreturn]] void closeAndThrow(const std::string& message) {
        jack_client_close(client);
        client = nullptr;
        throw HostError(message);
    }
    static std::string hex(unsigned value) {
        char text[16];
        std::snprintf(text, sizeof(text), "%x", value);
        return text;
    }
    // JACK's process thread.
    static int process(jack_nframes_t frames, void* self) {
        auto* driver = static_cast<JackDriver*>(self);
        if (!driver->counting.load(std::memory_order_acquire)) {
            return 0;
        }
        const auto total = static_cast<std::int32_t>(frames);
        for (Ports& ports : driver->voicePorts) {
            ports.input->set(static_cast<const float*>(jack_port_get_buffer(ports.a, frames)),
                             static_cast<const float*>(jack_port_get_buffer(ports.b, frames)));
        }
        const std::int32_t block = driver->feed->blockSize();
        for (std::int32_t at = 0; at < total; at += block) {
            driver->feed->run(std::min(block, total - at));
        }
        return 0;
    }

    jack_client_t* client = nullptr;
    std::vector<Ports> voicePorts;
    std::vector<std::string> sources; // output ports for a, b of voice 1, ...; "" for none
    LiveFeed* feed = nullptr;
    bool active = false;
    // Whether the process callback runs blocks: from the connections on. Written on the
    // main thread, read on JACK's.
    std::atomic<bool> counting{false};
};

} // namespace

std::unique_ptr<AudioDriver> openJackDriver(std::int32_t voices,
                                            const std::vector<std::string>& sources) {
    if (sources.size() > 2 * static_cast<std::size_t>(voices)) {
        throw HostError("--connect names " + std::to_string(sources.size()) + " ports; --jack " +
                        std::to_string(voices) + " has " + std::to_string(2 * voices) + " inputs");
    }
    return std::make_unique<JackDriver>(voices, sources);
}

} // namespace vex::host
