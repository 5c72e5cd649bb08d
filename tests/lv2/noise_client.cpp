// A JACK client that plays white noise into one port and the same noise through a peaking
// filter into another:
//   vex_noise_client GAIN_DB HERTZ Q NOISE_PORT FILTERED_PORT
// The noise is uniform in -0.25..0.25 from a fixed seed. It connects as the sine client
// does (tests/lv2/sine_client.cpp), prints "connected", and plays until its standard input
// closes or it is terminated.
#include "tests/lv2/peaking_biquad.h"

#include <jack/jack.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <signal.h>

namespace {

struct Noise {
    jack_port_t* plain = nullptr;
    jack_port_t* filtered = nullptr;
    vex::test::PeakingBiquad filter;
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
    std::uint64_t state = 0x9E3779B97F4A7C15ull;

    explicit Noise(const vex::test::PeakingBiquad& biquad) : filter(biquad) {}
    // xorshift64*: uniform in -0.25..0.25.
    double next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        const std::uint64_t bits = (state * 0x2545F4914F6CDD1Dull) >> 11;
        return 0.5 * (static_cast<double>(bits) / 9007199254740992.0 - 0.5);
    }
};

int process(jack_nframes_t frames, void* arg) {
    auto* noise = static_cast<Noise*>(arg);
    auto* plain = static_cast<float*>(jack_port_get_buffer(noise->plain, frames));
    auto* filtered = static_cast<float*>(jack_port_get_buffer(noise->filtered, frames));
    const vex::test::PeakingBiquad& f = noise->filter;
    for (jack_nframes_t i = 0; i < frames; ++i) {
        const double x = noise->next();
        const double y =
            f.b0 * x + f.b1 * noise->x1 + f.b2 * noise->x2 - f.a1 * noise->y1 - f.a2 * noise->y2;
        noise->x2 = noise->x1;
        noise->x1 = x;
        noise->y2 = noise->y1;
        noise->y1 = y;
        plain[i] = static_cast<float>(x);
        filtered[i] = static_cast<float>(y);
    }
    return 0;
}

void onTerminate(int) {}

bool connect(jack_client_t* client, jack_port_t* port, const char* to) {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        if (jack_port_by_name(client, to) != nullptr &&
            jack_connect(client, jack_port_name(port), to) == 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::fprintf(stderr, "cannot connect to %s\n", to);
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s GAIN_DB HERTZ Q NOISE_PORT FILTERED_PORT\n", argv[0]);
        return 2;
    }
    jack_status_t status{};
    jack_client_t* client = jack_client_open("vexnoise", JackNoStartServer, &status);
    if (client == nullptr) {
        std::fprintf(stderr, "cannot reach the JACK server (status 0x%x)\n",
                     static_cast<unsigned>(status));
        return 1;
    }
    Noise noise(vex::test::PeakingBiquad(jack_get_sample_rate(client), std::atof(argv[2]),
                                         std::atof(argv[1]), std::atof(argv[3])));
    noise.plain = jack_port_register(client, "noise", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    noise.filtered =
        jack_port_register(client, "filtered", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    if (noise.plain == nullptr || noise.filtered == nullptr ||
        jack_set_process_callback(client, process, &noise) != 0 || jack_activate(client) != 0) {
        std::fprintf(stderr, "cannot start the noise ports\n");
        jack_client_close(client);
        return 1;
    }
    if (!connect(client, noise.plain, argv[4]) || !connect(client, noise.filtered, argv[5])) {
        jack_client_close(client);
        return 1;
    }
    // Why no SA_RESTART: the signal then ends the wait for input below.
    struct sigaction action {};
    action.sa_handler = onTerminate;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::printf("connected\n");
    std::fflush(stdout);
    char line[256];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
    }
    jack_client_close(client);
    return 0;
}
