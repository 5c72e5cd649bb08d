// The paced driver: files and built-in signals at real-time pace, without sound.
#include "host/vexhost/live/audio_driver.h"
#include "host/vexhost/live/live_feed.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace vex::host {

namespace {

// The period in sample frames (rounded down to whole blocks, at least one): a usual sound
// server's period, about 11 ms at 48 kHz.
constexpr std::int32_t kPacedPeriod = 512;

// A thread that wakes once per period, as a sound card's interrupt would, and runs the
// blocks that are due by then (several more when it fell behind).
class PacedDriver final : public AudioDriver {
public:
    PacedDriver(double rate, std::int32_t block)
        : rate(rate), block(block), period(std::max(1, kPacedPeriod / block) * block) {}
    ~PacedDriver() override { stop(); }
    double sampleRate() const override { return rate; }
    std::int32_t blockSize() const override { return block; }
    std::unique_ptr<InputSource> voiceInput(std::int32_t,
                                            std::unique_ptr<InputSource> session) override {
        return session;
    }
    void start(LiveFeed& feed) override {
        thread = std::thread([this, &feed] {
            const auto begin = std::chrono::steady_clock::now();
            std::int64_t done = 0;
            while (!stopping.load(std::memory_order_relaxed)) {
                const auto due = begin + std::chrono::nanoseconds(static_cast<std::int64_t>(
                                             static_cast<double>(done + period) * 1e9 / rate));
                std::this_thread::sleep_until(due);
                for (std::int32_t at = 0; at < period; at += block) {
                    feed.run(block);
                }
                done += period;
            }
        });
    }
    void stop() override {
        stopping.store(true);
        if (thread.joinable()) {
            thread.join();
        }
    }

private:
    double rate;
    std::int32_t block;
    std::int32_t period; // sample frames per wake-up: whole blocks
    std::atomic<bool> stopping{false};
    std::thread thread;
};

} // namespace

std::unique_ptr<AudioDriver> makePacedDriver(double rate, std::int32_t block) {
    return std::make_unique<PacedDriver>(rate, block);
}

} // namespace vex::host
