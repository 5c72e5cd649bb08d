#include "host/kit/fine/sample_history.h"

#include <algorithm>

namespace vex::host {

void SampleHistory::reserve(std::int64_t frames) {
    std::int64_t rounded = 1;
    while (rounded < frames) {
        rounded *= 2;
    }
    size = rounded;
    mask = rounded - 1;
    for (auto& signal : samples) {
        signal = std::make_unique<std::atomic<float>[]>(static_cast<std::size_t>(rounded));
        for (std::int64_t i = 0; i < rounded; ++i) {
            signal[static_cast<std::size_t>(i)].store(0.0f, std::memory_order_relaxed);
        }
    }
    begun.store(0, std::memory_order_relaxed);
    end.store(0, std::memory_order_release);
}

void SampleHistory::restart() {
    // Why the samples may stay: a read covers only samples written since, and reads those
    // before the first as 0.
    begun.store(0, std::memory_order_relaxed);
    end.store(0, std::memory_order_release);
}

void SampleHistory::write(const float* signalA, const float* signalB, std::int32_t frames) {
    if (size == 0 || frames <= 0) {
        return;
    }
    const std::int64_t first = end.load(std::memory_order_relaxed);
    // Why announced first: a reader that sees any sample below then sees this value too and
    // knows which of its slots may have been overwritten.
    begun.store(first + frames, std::memory_order_relaxed);
    const float* inputs[kSignals] = {signalA, signalB};
    for (std::int32_t s = 0; s < kSignals; ++s) {
        std::atomic<float>* slots = samples[s].get();
        const float* in = inputs[s];
        for (std::int32_t i = 0; i < frames; ++i) {
            slots[static_cast<std::size_t>((first + i) & mask)].store(in != nullptr ? in[i] : 0.0f,
                                                                      std::memory_order_release);
        }
    }
    end.store(first + frames, std::memory_order_release);
}

bool SampleHistory::read(std::int32_t signal, std::int64_t last, std::int32_t count,
                         float* out) const {
    if (size == 0 || signal < 0 || signal >= kSignals || count < 0 || count > size ||
        out == nullptr || last < 0) {
        return false;
    }
    const std::int64_t first = last - count;
    if (last > written() || (first >= 0 && first + size < begun.load(std::memory_order_relaxed))) {
        return false;
    }
    const std::atomic<float>* slots = samples[signal].get();
    const std::int64_t zeros = std::clamp<std::int64_t>(-first, 0, count);
    std::fill(out, out + zeros, 0.0f);
    for (std::int64_t i = zeros; i < count; ++i) {
        out[i] =
            slots[static_cast<std::size_t>((first + i) & mask)].load(std::memory_order_acquire);
    }
    // Slot of sample j is rewritten by the write of sample j + size: none of ours was once
    // no write reaching first + size had begun.
    const std::int64_t oldest = std::max<std::int64_t>(first, 0);
    return oldest + size >= begun.load(std::memory_order_acquire);
}

} // namespace vex::host
