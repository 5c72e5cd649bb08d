// A console reporter that also keeps each benchmark's CPU time per iteration (the median
// when run with repetitions) and, after the run, prints ratios between benchmarks of that
// same run: "ratio A / B: x (goal <= g)".
#pragma once

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace vex::bench {

// The value of `--NAME=VALUE` (the last one wins, as in the library), else of the
// environment variable the library reads for that flag, else `fallback`.
inline std::string flagValue(int argc, char** argv, const char* name, const char* environment,
                             const char* fallback) {
    const std::string prefix = std::string("--") + name + "=";
    std::string value;
    bool found = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0) {
            value = argv[i] + prefix.size();
            found = true;
        }
    }
    if (found) {
        return value;
    }
    const char* fromEnvironment = std::getenv(environment);
    return fromEnvironment != nullptr ? fromEnvironment : fallback;
}

// The library's reading of a boolean flag: "0", "f", "n", "false", "no", "off" are false.
inline bool flagIsTrue(std::string value) {
    std::transform(value.begin(), value.end(), value.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (value.size() == 1) {
        return std::isalnum(static_cast<unsigned char>(value[0])) != 0 && value != "0" &&
               value != "f" && value != "n";
    }
    return value != "false" && value != "no" && value != "off";
}

// The console options `--benchmark_color` and `--benchmark_counters_tabular` ask for.
// Why: the library applies these flags only to the reporter it makes itself; one passed
// in keeps its constructor's options, which colour every line (and leave a colour reset in
// front of the first line printed after the table) even with --benchmark_color=false or
// when the output is not a terminal. Read before benchmark::Initialize, which removes the
// flags it knows from argv.
inline benchmark::ConsoleReporter::OutputOptions consoleOptions(int argc, char** argv) {
    using Options = benchmark::ConsoleReporter::OutputOptions;
    const std::string color = flagValue(argc, argv, "benchmark_color", "BENCHMARK_COLOR", "auto");
    bool colored = false;
    if (color == "auto") {
        const char* term = std::getenv("TERM");
        colored = isatty(STDOUT_FILENO) != 0 && term != nullptr && *term != '\0' &&
                  std::strcmp(term, "dumb") != 0;
    } else {
        colored = flagIsTrue(color);
    }
    const bool tabular = flagIsTrue(
        flagValue(argc, argv, "benchmark_counters_tabular", "BENCHMARK_COUNTERS_TABULAR", "false"));
    int options = Options::OO_None;
    if (colored) {
        options |= Options::OO_Color;
    }
    if (tabular) {
        options |= Options::OO_Tabular;
    }
    return static_cast<Options>(options);
}

// ours / divisor compared with peer / peerDivisor, e.g. one voice's share of a run over
// 128 voices (divisor 128).
struct Ratio {
    std::string ours;
    std::string peer;
    double divisor = 1.0;
    double peerDivisor = 1.0;
    double goal = 0.0; // 0: no goal, printed for information
};

class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(OutputOptions options) : ConsoleReporter(options) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Iteration || median) {
                const std::string name = run.run_name.str();
                if (median || times.count(name) == 0) {
                    times[name] = run.GetAdjustedCPUTime();
                }
            }
        }
    }

    // Prints each ratio whose two benchmarks ran; answers false if one misses its goal.
    bool printRatios(const std::vector<Ratio>& ratios) const {
        bool met = true;
        for (const Ratio& r : ratios) {
            const auto ours = times.find(r.ours);
            const auto peer = times.find(r.peer);
            if (ours == times.end() || peer == times.end() || peer->second <= 0.0) {
                continue;
            }
            const double value = (ours->second / r.divisor) / (peer->second / r.peerDivisor);
            std::string ourName = r.ours;
            if (r.divisor != 1.0) {
                ourName += " / " + std::to_string(static_cast<long long>(r.divisor));
            }
            std::string peerName = r.peer;
            if (r.peerDivisor != 1.0) {
                peerName += " / " + std::to_string(static_cast<long long>(r.peerDivisor));
            }
            if (r.goal > 0.0) {
                const bool ok = value <= r.goal;
                met = met && ok;
                std::printf("ratio %s / %s: %.2f (goal <= %.4g: %s)\n", ourName.c_str(),
                            peerName.c_str(), value, r.goal, ok ? "met" : "MISSED");
            } else {
                std::printf("ratio %s / %s: %.2f\n", ourName.c_str(), peerName.c_str(), value);
            }
        }
        return met;
    }

private:
    std::map<std::string, double> times;
};

// Runs the benchmarks the command line selects with a RatioReporter, then prints `ratios`.
inline int runWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios) {
    RatioReporter reporter(consoleOptions(argc, argv));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::fflush(stdout);
    reporter.printRatios(ratios);
    benchmark::Shutdown();
    return 0;
}

} // namespace vex::bench
