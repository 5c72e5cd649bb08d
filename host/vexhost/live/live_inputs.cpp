#include "host/vexhost/live/live_inputs.h"

#include <algorithm>
#include <cstring>

namespace vex::host {

namespace {

// An input read into memory: its samples, then zeros.
class MemoryInput final : public InputSource {
public:
    MemoryInput(InputSource& source, std::int64_t frames)
        : rate(source.nativeRate()), hasA(source.streamsA()), hasB(source.streamsB()),
          a(static_cast<std::size_t>(frames)), b(static_cast<std::size_t>(frames)) {
        constexpr std::int64_t kChunk = 65536;
        for (std::int64_t at = 0; at < frames; at += kChunk) {
            const auto count = static_cast<int>(std::min(kChunk, frames - at));
            source.read(a.data() + at, b.data() + at, count);
        }
    }
    double nativeRate() const override { return rate; }
    std::int64_t length() const override { return static_cast<std::int64_t>(a.size()); }
    bool streamsA() const override { return hasA; }
    bool streamsB() const override { return hasB; }
    void read(float* outA, float* outB, int frames) override {
        const std::int64_t left = std::max<std::int64_t>(0, length() - cursor);
        const auto copied = static_cast<std::size_t>(std::min<std::int64_t>(frames, left));
        std::memcpy(outA, a.data() + cursor, copied * sizeof(float));
        std::memcpy(outB, b.data() + cursor, copied * sizeof(float));
        std::fill(outA + copied, outA + frames, 0.0f);
        std::fill(outB + copied, outB + frames, 0.0f);
        cursor += static_cast<std::int64_t>(copied);
    }

private:
    double rate;
    bool hasA;
    bool hasB;
    std::vector<float> a;
    std::vector<float> b;
    std::int64_t cursor = 0;
};

} // namespace

void HandedInput::read(float* a, float* b, int frames) {
    const auto count = static_cast<std::size_t>(std::max(frames, 0));
    if (nextA != nullptr) {
        std::memcpy(a, nextA, count * sizeof(float));
        nextA += count;
    } else {
        std::fill(a, a + count, 0.0f);
    }
    if (nextB != nullptr) {
        std::memcpy(b, nextB, count * sizeof(float));
        nextB += count;
    } else {
        std::fill(b, b + count, 0.0f);
    }
}

std::unique_ptr<InputSource> preloadInput(std::unique_ptr<InputSource> input) {
    const std::int64_t length = input->length();
    if (length < 0) {
        return input; // generated as it plays: nothing to read from a disk
    }
    return std::make_unique<MemoryInput>(*input, length);
}

KeptInput::KeptInput(std::unique_ptr<InputSource> input, std::int32_t blockSize)
    : inner(std::move(input)), keptA(static_cast<std::size_t>(std::max(blockSize, 1))),
      keptB(static_cast<std::size_t>(std::max(blockSize, 1))) {}

void KeptInput::read(float* a, float* b, int frames) {
    inner->read(a, b, frames);
    const auto count = std::min(static_cast<std::size_t>(std::max(frames, 0)), keptA.size());
    std::memcpy(keptA.data(), a, count * sizeof(float));
    std::memcpy(keptB.data(), b, count * sizeof(float));
}

} // namespace vex::host
