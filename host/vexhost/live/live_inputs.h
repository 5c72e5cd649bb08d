// The inputs the live drivers give the voices, beside the files and signals a session
// makes: samples handed in by a device callback, a whole input read into memory before the
// audio starts, and an input that keeps what it last read for playing it back.
#pragma once

#include "host/kit/voice_engine.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vex::host {

// An input whose samples the audio callback hands in before each block: read() copies them
// from the pointers last given to set() and moves past them. Streams without end.
class HandedInput final : public InputSource {
public:
    // `a` and `b` hold at least the frames the next reads take; null reads zeros.
    void set(const float* a, const float* b) {
        nextA = a;
        nextB = b;
    }
    double nativeRate() const override { return 0.0; }
    std::int64_t length() const override { return -1; }
    bool streamsA() const override { return true; }
    bool streamsB() const override { return true; }
    void read(float* a, float* b, int frames) override;

private:
    const float* nextA = nullptr;
    const float* nextB = nullptr;
};

// Reads a whole input into memory when built, so the audio thread reads no file.
// Why: a file played at real-time pace must not stall the callback on the disk.
std::unique_ptr<InputSource> preloadInput(std::unique_ptr<InputSource> input);

// Wraps an input and keeps a copy of the last samples read (up to `blockSize` frames), for
// a callback that also plays what the voices hear.
class KeptInput final : public InputSource {
public:
    KeptInput(std::unique_ptr<InputSource> input, std::int32_t blockSize);
    double nativeRate() const override { return inner->nativeRate(); }
    std::int64_t length() const override { return inner->length(); }
    bool streamsA() const override { return inner->streamsA(); }
    bool streamsB() const override { return inner->streamsB(); }
    void read(float* a, float* b, int frames) override;
    const float* lastA() const { return keptA.data(); }
    const float* lastB() const { return keptB.data(); }

private:
    std::unique_ptr<InputSource> inner;
    std::vector<float> keptA;
    std::vector<float> keptB;
};

} // namespace vex::host
