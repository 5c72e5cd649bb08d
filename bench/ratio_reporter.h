// A console reporter that also keeps each benchmark's CPU time per iteration (the median
// when run with repetitions) and, after the run, prints ratios between benchmarks of that
// same run: "ratio A / B: x (goal <= g)".
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace vex::bench {

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
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::fflush(stdout);
    reporter.printRatios(ratios);
    benchmark::Shutdown();
    return 0;
}

} // namespace vex::bench
