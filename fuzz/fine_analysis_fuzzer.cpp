// A voice's fine frames under any samples: the first byte picks the sample rate (one of
// eight, or with its top four bits set any float bits from the next four bytes), then each
// byte is an action: append a block of 1 to 8192 samples to the history (any float bits
// taken from the input, NaN, infinities and denormals among them, or a constant of those),
// or refine a frame of either view (or from a module frame of any size and presence bytes)
// ending anywhere near the history's end. Every level of a frame that comes back is finite
// and at or above the view's floor, and its presence bytes are the ones asked for.
#include "host/kit/fine/fine_frames.h"

#include "fuzz_checks.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <vector>

namespace {

using vex::host::FineAnalysis;
using vex::host::FineFrames;
using vex::host::View;

constexpr double kRates[8] = {8000.0,  11025.0, 22050.0,  44100.0,
                              48000.0, 96000.0, 192000.0, 768000.0};
constexpr std::int32_t kMostWrites = 64;
constexpr std::int32_t kMostRefines = 4;
// Samples written per input at most. Why: every sample goes through the filter cascade
// under the sanitizers at the next refine; more only slowed the runs down.
constexpr std::int64_t kMostSamples = 65536;

struct Input {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
    std::uint8_t byte() { return at < size ? data[at++] : 0; }
    std::uint32_t word() {
        std::uint32_t w = 0;
        for (int i = 0; i < 4; ++i) {
            w = w << 8 | byte();
        }
        return w;
    }
    bool done() const { return at >= size; }
};

float floatOf(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// One analysis per rate and a voice's fine frames made for it, kept across inputs (the
// analysis keeps no state between analyses; the frames are restarted for every input). Why
// kept: making a voice's two seconds of history for every input took most of a run's time.
struct Voice {
    std::unique_ptr<FineAnalysis> analysis;
    std::unique_ptr<FineFrames> frames;
};
Voice& voiceFor(double rate) {
    static std::map<double, Voice> made;
    if (!std::isfinite(rate)) {
        rate = 48000.0;
    }
    rate = rate < FineAnalysis::kMinRate   ? FineAnalysis::kMinRate
           : rate > FineAnalysis::kMaxRate ? FineAnalysis::kMaxRate
                                           : rate;
    if (made.count(rate) == 0 && made.size() >= 12) {
        made.clear();
    }
    Voice& voice = made[rate];
    if (!voice.analysis) {
        voice.analysis = std::make_unique<FineAnalysis>(rate);
        voice.frames = std::make_unique<FineFrames>(*voice.analysis);
    }
    voice.frames->restart();
    return voice;
}

void checkFrame(const std::uint8_t* frame, View view, bool a, bool b) {
    if (frame == nullptr) {
        return;
    }
    check(frame[0] == (a ? 1 : 0) && frame[1] == (b ? 1 : 0));
    // The module's floors: -119.891 dB (log), -130.758 dB (linear).
    const float floor = view == View::kLog ? -119.892f : -130.759f;
    for (std::int32_t signal = 0; signal < 2; ++signal) {
        for (std::int32_t k = 0; k < vex::host::pointsOf(view); ++k) {
            const float level = vex::host::frameValue(frame, signal, k);
            check(std::isfinite(level) && level >= floor);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in{data, size};
    const std::uint8_t pick = in.byte();
    const double rate =
        (pick & 0xF0) == 0xF0 ? static_cast<double>(floatOf(in.word())) : kRates[pick & 7];
    Voice& voice = voiceFor(rate);
    FineAnalysis& analysis = *voice.analysis;
    FineFrames& frames = *voice.frames;
    static std::vector<float> a(8192), b(8192);
    static std::vector<std::uint8_t> moduleFrame(vex::kLongestPayloadSize + 8);
    std::int32_t writes = 0, refines = 0;
    while (!in.done() && writes < kMostWrites && refines < kMostRefines &&
           frames.history().written() < kMostSamples) {
        const std::uint8_t op = in.byte();
        if ((op & 1) == 0) {
            // A block: its length, then its samples' bits from the input (repeated), or
            // one value; signal B absent, the same or its own bits.
            const std::int32_t count =
                1 + static_cast<std::int32_t>((in.byte() << 8 | in.byte()) % 8192);
            const std::uint32_t constant = (op & 2) != 0 ? in.word() : 0;
            const std::size_t from = in.at;
            const std::size_t left = size - from;
            for (std::int32_t i = 0; i < count; ++i) {
                std::uint32_t bits = constant;
                if ((op & 2) == 0 && left >= 4) {
                    const std::size_t j =
                        from + (static_cast<std::size_t>(i) * 4) % (left - left % 4);
                    std::memcpy(&bits, data + j, 4);
                }
                a[static_cast<std::size_t>(i)] = floatOf(bits);
                b[static_cast<std::size_t>(i)] = floatOf(bits ^ 0x80000000u);
            }
            const float* signalB = (op & 12) == 0 ? nullptr : (op & 12) == 4 ? a.data() : b.data();
            frames.history().write(a.data(), signalB, count);
            ++writes;
            continue;
        }
        // A refine ending up to 2^16 samples before (or a few after) what was written.
        ++refines;
        const std::int64_t end =
            frames.history().written() - (in.byte() << 8 | in.byte()) + (op >> 5);
        const bool streamingA = (op & 2) != 0, streamingB = (op & 4) != 0;
        if ((op & 8) == 0) {
            const View view = (op & 16) != 0 ? View::kLog : View::kLinear;
            checkFrame(frames.refine(analysis, view, streamingA, streamingB, end), view, streamingA,
                       streamingB);
            continue;
        }
        // A module frame of one of the three sizes or any other, presence bytes of any value.
        const std::int32_t sizes[4] = {vex::kLinearSpectrumPayloadSize,
                                       vex::kLogSpectrumPayloadSize, vex::kScopePayloadSize,
                                       static_cast<std::int32_t>(in.byte())};
        const std::int32_t frameSize = sizes[(op >> 4) & 3];
        moduleFrame[0] = streamingA ? 1 : in.byte();
        moduleFrame[1] = streamingB ? 1 : in.byte();
        const std::uint8_t* out = frames.refine(analysis, moduleFrame.data(), frameSize, end);
        for (const View view : {View::kLinear, View::kLog}) {
            if (frameSize == vex::host::frameSizeOf(view)) {
                checkFrame(out, view, moduleFrame[0] == 1, moduleFrame[1] == 1);
                check(out == nullptr || out != moduleFrame.data());
            }
        }
        if (frameSize != vex::host::frameSizeOf(View::kLinear) &&
            frameSize != vex::host::frameSizeOf(View::kLog)) {
            check(out == moduleFrame.data());
        }
    }
    return 0;
}
