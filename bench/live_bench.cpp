// The live window's cost against the same work done offline: 16 voices in the log view at
// 40 frames per second, every voice drawn (follow). Live: the real vexhost live on SDL's
// offscreen video driver, its CPU time per second of audio taken as the difference between
// a 6-second and a 2-second run (so start-up cancels out). Offline: the animate loop (run
// the voices to each frame tick, paint, read the pixels) without writing any file, in
// this process, CPU time per second of audio. Also reports the live run's
// frame-arrival-to-present latency (p99) against the frame interval. Both sides pay for
// generating the signals. Run with --benchmark_repetitions=3 for medians.
#include "host/kit/module_library.h"
#include "host/kit/view/display_session.h"
#include "host/vexhost/inputs/session.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace vex::host;

constexpr int kVoices = 16;
constexpr int kRate = 7; // 40 frames per second

std::vector<std::string> voiceInputs() {
    std::vector<std::string> inputs;
    for (int v = 0; v < kVoices; ++v) {
        inputs.push_back("sine:" + std::to_string(110 * (v + 1)) + "@0.5+noise@0.1");
    }
    return inputs;
}

double cpuNow() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct LiveRun {
    double cpuSeconds = 0.0;
    std::string output;
};

// Runs vexhost live for `seconds` of audio; its CPU time (user + system) and its output.
LiveRun runLive(double seconds) {
    std::vector<std::string> args = {VEX_VEXHOST, "live"};
    for (const std::string& input : voiceInputs()) {
        args.push_back(input);
    }
    for (const char* extra :
         {"--view", "log", "--rate", "7", "--follow", "--stats", "--block", "128", "--duration"}) {
        args.emplace_back(extra);
    }
    args.push_back(std::to_string(seconds));
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        dup2(pipeEnds[1], 1);
        close(pipeEnds[0]);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    LiveRun run;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(pipeEnds[0], buffer, sizeof(buffer))) > 0) {
        run.output.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeEnds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    return run;
}

double statField(const std::string& output, const std::string& name) {
    const std::size_t at = output.find(name);
    return at == std::string::npos ? -1.0 : std::atof(output.c_str() + at + name.size());
}

double g_liveLatencyP99 = -1.0;
double g_frameIntervalMs = -1.0;

void BM_Live(benchmark::State& state) {
    for (auto _ : state) {
        const LiveRun shortRun = runLive(2.0);
        const LiveRun longRun = runLive(6.0);
        state.SetIterationTime((longRun.cpuSeconds - shortRun.cpuSeconds) / 4.0);
        g_liveLatencyP99 = statField(longRun.output, "p99 ");
        g_frameIntervalMs = statField(longRun.output, "frame interval ");
    }
    state.counters["latency_p99_ms"] = g_liveLatencyP99;
    state.counters["frame_interval_ms"] = g_frameIntervalMs;
}
BENCHMARK(BM_Live)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Offline(benchmark::State& state) {
    SessionOptions options;
    options.inputs = voiceInputs();
    options.modulePath = defaultModulePath();
    options.rate = kRate;
    Session session(options);
    DisplayLook look = defaultLook();
    look.follow = true;
    constexpr double kSeconds = 4.0;
    for (auto _ : state) {
        const double started = cpuNow();
        DisplaySession display(session.factory(), 2, look, kVoices, session.sampleRate());
        auto engine = session.makeEngine(2, kSeconds, [&](const SentFrame& frame) {
            display.deliverFrame(frame.voice, frame.bytes, frame.size, frame.sample);
        });
        PaintSurface surface(look.width, look.height);
        const std::int64_t ticks = static_cast<std::int64_t>(kSeconds * 40);
        for (std::int64_t tick = 1; tick <= ticks; ++tick) {
            const std::int64_t due = std::llround(static_cast<double>(tick) * 48000.0 / 40.0);
            engine->runTo((due + 127) / 128 * 128);
            display.paint(surface, engine->position());
            benchmark::DoNotOptimize(surface.pixels());
        }
        state.SetIterationTime((cpuNow() - started) / kSeconds);
    }
}
BENCHMARK(BM_Offline)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // The manual time is CPU time per second of audio; the median when repeated.
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !median) {
                continue;
            }
            const double perSecond = run.GetAdjustedRealTime();
            if (run.run_name.str().rfind("BM_Live", 0) == 0) {
                live = perSecond;
            } else if (run.run_name.str().rfind("BM_Offline", 0) == 0) {
                offline = perSecond;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("CPU per second of audio: live %.1f ms, offline %.1f ms, ratio %.2f "
                    "(goal <= 1.5)\n",
                    live, offline, offline > 0.0 ? live / offline : 0.0);
        std::printf("frame-arrival-to-present latency p99 %.2f ms, frame interval %.2f ms "
                    "(goal: p99 <= one interval)\n",
                    g_liveLatencyP99, g_frameIntervalMs);
    }

private:
    double live = 0.0;
    double offline = 0.0;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
