#include "host/vexhost/output/progress.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace vex::host {

namespace {
constexpr auto kDelay = std::chrono::milliseconds(500);
constexpr auto kInterval = std::chrono::milliseconds(100);
constexpr int kWidth = 30;
} // namespace

Progress::Progress(std::ostream& stream, bool isEnabled, std::string text, Now clock)
    : out(stream), enabled(isEnabled), label(std::move(text)),
      now(clock ? std::move(clock) : Now(&Clock::now)), started(now()) {}

Progress::~Progress() {
    finish();
}

void Progress::update(double fraction) {
    if (!enabled) {
        return;
    }
    const Clock::time_point time = now();
    if (time - started < kDelay || (drawn && time - lastDrawn < kInterval)) {
        return;
    }
    const int percent = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100.0);
    if (percent == lastPercent) {
        return;
    }
    const int filled = percent * kWidth / 100;
    out << '\r' << label << " [" << std::string(static_cast<std::size_t>(filled), '#')
        << std::string(static_cast<std::size_t>(kWidth - filled), ' ') << "] " << percent << "%"
        << std::flush;
    lastPercent = percent;
    lastDrawn = time;
    drawn = true;
}

void Progress::finish() {
    if (drawn) {
        out << '\r' << std::string(label.size() + kWidth + 8, ' ') << '\r' << std::flush;
        drawn = false;
    }
}

std::string speedSummary(const std::string& label, std::int64_t frames, double audioSeconds,
                         double elapsedSeconds) {
    char text[160];
    int length = std::snprintf(text, sizeof(text), "%s: %lld frame%s, %.1f s of audio in %.2f s",
                               label.c_str(), static_cast<long long>(frames),
                               frames == 1 ? "" : "s", audioSeconds, elapsedSeconds);
    std::string out(text, static_cast<std::size_t>(std::max(length, 0)));
    if (elapsedSeconds > 0.0) {
        std::snprintf(text, sizeof(text), ", %.1fx real time", audioSeconds / elapsedSeconds);
        out += text;
    }
    return out;
}

} // namespace vex::host
