// The live window's statistics: latency percentiles and CPU time.
#include "host/vexhost/live/live_stats.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace vex::host {

namespace {

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

} // namespace

std::int64_t steadyNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

LiveStats::LiveStats() {
    latencies.reserve(1 << 16);
}

void LiveStats::stopped() {
    cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
}

void LiveStats::presented(std::int64_t audioPosition, double sampleRate) {
    ++presents;
    const std::int64_t now = steadyNanos();
    // Why from the second half-second on: the first paints load fonts and build the
    // display's resources; the figure is the steady state's.
    if (audioPosition * 2 > static_cast<std::int64_t>(sampleRate)) {
        for (std::int64_t pushed : waiting) {
            latencies.push_back(static_cast<double>(now - pushed) / 1e6);
        }
    }
    waiting.clear();
}

std::string LiveStats::line(double audioSeconds, std::int64_t dropped,
                            double frameIntervalMs) const {
    char text[256];
    std::snprintf(text, sizeof(text),
                  "stats: %.3f s of audio, %.3f s of CPU, %lld presents, %zu frames, "
                  "%lld dropped, latency p50 %.2f ms p99 %.2f ms max %.2f ms, "
                  "frame interval %.2f ms\n",
                  audioSeconds, cpuSeconds, static_cast<long long>(presents), latencies.size(),
                  static_cast<long long>(dropped), percentile(latencies, 0.5),
                  percentile(latencies, 0.99), percentile(latencies, 1.0), frameIntervalMs);
    return text;
}

} // namespace vex::host
