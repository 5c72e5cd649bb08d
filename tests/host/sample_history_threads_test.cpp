// A voice's sample history with its writer on one thread and a reader on another.
#include "host/kit/fine/sample_history.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace vex::host {
namespace {

// Sample n of the ramp (exact in a float), signal B its negative.
float ramp(std::int64_t n) {
    return n < 0 ? 0.0f : static_cast<float>(n & 0xFFFFFF);
}

// The writer appends a ramp in blocks of 1 to 97 samples to a history of 256 while the
// reader copies the newest 193 to 256 (the longest lose their oldest samples to any write
// that begins during the copy): a copy it accepts is the ramp, never a mix of laps.
// Why the writer runs until the reader has accepted enough copies and been refused some: a
// writer that finished first would leave nothing to race. The cap on writes only ends a run
// in which that never happens. Why so many copies: a torn copy needs the writer to overtake
// the reader in the middle of one (the reader preempted); with a few thousand, a reader
// that skipped its check after the copy still passed.
TEST(SampleHistory, ReaderNeverAcceptsAnOverwrittenCopy) {
    constexpr int kAccepted = 100000;
    constexpr int kRefused = 1000;
    constexpr std::int64_t kMostWrites = 20000000;
    constexpr std::int32_t kLongest = 256;
    SampleHistory history;
    history.reserve(kLongest);
    std::atomic<bool> enough{false};
    std::atomic<bool> done{false};
    std::thread writer([&] {
        float a[97], b[97];
        std::int64_t next = 0;
        for (std::int64_t w = 0; w < kMostWrites && !enough.load(); ++w) {
            const auto frames = static_cast<std::int32_t>(1 + w % 97);
            for (std::int32_t i = 0; i < frames; ++i) {
                a[i] = ramp(next + i);
                b[i] = -a[i];
            }
            history.write(a, b, frames);
            next += frames;
        }
        done.store(true);
    });
    int accepted = 0;
    int refused = 0;
    int wrong = 0;
    std::vector<float> out(kLongest);
    for (std::int64_t attempt = 0; !done.load(); ++attempt) {
        const std::int64_t last = history.written();
        const std::int32_t signal = accepted % 2;
        const auto count = static_cast<std::int32_t>(kLongest - attempt % 64);
        if (!history.read(signal, last, count, out.data())) {
            ++refused;
            continue;
        }
        for (std::int32_t j = 0; j < count; ++j) {
            const float expected = ramp(last - count + j);
            wrong +=
                out[static_cast<std::size_t>(j)] != (signal == 0 ? expected : -expected) ? 1 : 0;
        }
        if (++accepted >= kAccepted && refused >= kRefused) {
            enough.store(true);
        }
    }
    writer.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_GE(accepted, kAccepted);
    EXPECT_GE(refused, kRefused);
}

} // namespace
} // namespace vex::host
