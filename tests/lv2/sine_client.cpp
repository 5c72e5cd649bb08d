// A JACK client that plays a sine into the ports named on its command line:
//   vex_sine_client FREQUENCY AMPLITUDE PORT...
// It waits (up to ten seconds) for each port to appear, connects to it, prints
// "connected", and plays until its standard input closes or it is terminated (SIGTERM
// closes its connection to the server first, so the server goes on without it). For each
// line read from its standard input it prints how many samples it has played: the
// audio time of the graph, whatever the speed of the machine.
#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <signal.h>

namespace {

struct Sine {
    jack_port_t* port = nullptr;
    std::atomic<std::uint64_t> played{0};
    double phase = 0.0;
    double step = 0.0;
    float amplitude = 0.0f;
};

int process(jack_nframes_t frames, void* arg) {
    auto* sine = static_cast<Sine*>(arg);
    auto* out = static_cast<float*>(jack_port_get_buffer(sine->port, frames));
    for (jack_nframes_t i = 0; i < frames; ++i) {
        out[i] = sine->amplitude * static_cast<float>(std::sin(sine->phase));
        sine->phase += sine->step;
        if (sine->phase >= 2.0 * M_PI) {
            sine->phase -= 2.0 * M_PI;
        }
    }
    sine->played.fetch_add(frames, std::memory_order_relaxed);
    return 0;
}

void onTerminate(int) {}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s FREQUENCY AMPLITUDE PORT...\n", argv[0]);
        return 2;
    }
    jack_status_t status{};
    jack_client_t* client = jack_client_open("vexsine", JackNoStartServer, &status);
    if (client == nullptr) {
        std::fprintf(stderr, "cannot reach the JACK server (status 0x%x)\n",
                     static_cast<unsigned>(status));
        return 1;
    }
    Sine sine;
    sine.step = 2.0 * M_PI * std::atof(argv[1]) / jack_get_sample_rate(client);
    sine.amplitude = static_cast<float>(std::atof(argv[2]));
    sine.port = jack_port_register(client, "out", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    if (sine.port == nullptr || jack_set_process_callback(client, process, &sine) != 0 ||
        jack_activate(client) != 0) {
        std::fprintf(stderr, "cannot start the sine port\n");
        jack_client_close(client);
        return 1;
    }
    for (int i = 3; i < argc; ++i) {
        bool connected = false;
        for (int attempt = 0; attempt < 1000 && !connected; ++attempt) {
            if (jack_port_by_name(client, argv[i]) != nullptr) {
                connected = jack_connect(client, jack_port_name(sine.port), argv[i]) == 0;
            }
            if (!connected) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        if (!connected) {
            std::fprintf(stderr, "cannot connect to %s\n", argv[i]);
            jack_client_close(client);
            return 1;
        }
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
        std::printf("played %llu\n",
                    static_cast<unsigned long long>(sine.played.load(std::memory_order_relaxed)));
        std::fflush(stdout);
    }
    jack_client_close(client);
    return 0;
}
