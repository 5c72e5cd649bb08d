// The native and the Windows build send the same bytes. A fixed set of signals runs
// through the plug-in in every mode; each run's sends (time, pin, length, bytes) are
// hashed and compared with hashes recorded from the native build. Both builds assert the
// same table, so they agree with each other bit for bit.
//
// After a deliberate change to the arithmetic, print the new table with
//   VEX_PRINT_FRAME_HASHES=1 build/linux/analyzer_audio_tests --gtest_filter='FrameIdentity*'
// and paste it below (the test still compares, so it fails until the table is pasted). To find
// where two builds part, VEX_FRAME_DUMP=DIR writes each run's sends to DIR/<signal>-<mode>.bin
// (time, pin, length as 64-bit values, then the bytes); compare the files of both builds with cmp.
#include "tests/analyzer/audio/analyzer_harness.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace vex::test {
namespace {

// 64-bit FNV-1a.
struct Hash {
    std::uint64_t value = 0xcbf29ce484222325ull;
    void add(const void* data, std::size_t size) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        for (std::size_t i = 0; i < size; ++i) {
            value = (value ^ bytes[i]) * 0x100000001b3ull;
        }
    }
};

// Signals made from integer arithmetic and exactly rounded float operations only, so the
// inputs themselves are the same in both builds.
std::vector<float> makeSignal(int kind, std::uint32_t seed, std::size_t length) {
    std::vector<float> s(length);
    std::mt19937 random(seed); // the engine's sequence is fixed by the standard
    for (std::size_t i = 0; i < length; ++i) {
        const float uniform =
            static_cast<float>(static_cast<std::int32_t>(random() >> 8) - (1 << 23)) *
            (1.0f / 8388608.0f); // [-1, 1)
        switch (kind) {
        case 0: // noise
            s[i] = uniform * 0.8f;
            break;
        case 1: // sawtooth, period 173
            s[i] = static_cast<float>(static_cast<int>(i % 173) - 86) * (1.0f / 86.0f);
            break;
        case 2: // impulse every 1500 samples, otherwise slightly negative
            s[i] = i % 1500 == 3 ? 1.0f : -0.001f;
            break;
        case 3: // large amplitudes
            s[i] = uniform * 3.0e6f + (i % 2 == 0 ? 1.0e7f : -1.0e7f) * 0.01f;
            break;
        default: // a sine at the Nyquist frequency, sampled off its zero crossings
            s[i] = i % 2 == 0 ? 0.7071068f : -0.7071068f;
            break;
        }
    }
    return s;
}

const char* const kSignalNames[] = {"noise", "sawtooth", "impulse", "large", "nyquist"};

// Recorded from the native build.
const std::uint64_t kExpected[5][3] = {
    {0xc4fefffb01a358ffull, 0xf02ac1ba8606c7a1ull, 0x8245ed8cf7b710a4ull}, // noise
    {0x1e00988a1c9c2053ull, 0x253baa40b32096c1ull, 0xfb7eee3f12c3c78dull}, // sawtooth
    {0x071e910a1d313a1eull, 0xd3f66e2491292d29ull, 0xe2484db185d6eb09ull}, // impulse
    {0xa7b72cbaaad8963full, 0x32e7ab05e809da42ull, 0xb0eef68f14a1a363ull}, // large
    {0xf56a13f71938c96dull, 0xed18e6230a69091eull, 0xba3cf6dbfbc5b83bull}, // nyquist
};

std::uint64_t runHash(int kind, std::int32_t mode) {
    const std::size_t length = 66150; // 1.5 s
    const std::vector<float> a = makeSignal(kind, 11u + static_cast<std::uint32_t>(kind), length);
    const std::vector<float> b = makeSignal((kind + 1) % 5, 97u, length);
    AnalyzerHarness h(44100.0f);
    if (!h.ready()) {
        return 0;
    }
    h.openStreaming(mode);
    h.setInt(kAudioRatePin, 7);
    // Varying block sizes, B stopping for a while in the middle.
    const std::int32_t blocks[] = {1, 7, 64, 512, 4096};
    std::size_t done = 0;
    for (int step = 0; done < length; ++step) {
        const std::int32_t block = blocks[step % 5];
        const std::int64_t count = std::min<std::int64_t>(block * 3, length - done);
        if (step == 6) {
            h.streaming(kAudioSignalBPin, false);
        }
        if (step == 9) {
            h.streaming(kAudioSignalBPin, true, 0);
        }
        h.run(
            count, block, [&](std::int64_t i) { return a[i]; },
            [&](std::int64_t i) { return b[i]; });
        done += static_cast<std::size_t>(count);
    }
    Hash hash;
    std::FILE* dump = nullptr;
    if (const char* dir = std::getenv("VEX_FRAME_DUMP")) {
        const std::string path =
            std::string(dir) + "/" + kSignalNames[kind] + "-" + std::to_string(mode) + ".bin";
        dump = std::fopen(path.c_str(), "wb");
    }
    for (const SentValue& v : h.sent) {
        const std::uint64_t head[3] = {static_cast<std::uint64_t>(v.time),
                                       static_cast<std::uint64_t>(v.pinId), v.bytes.size()};
        hash.add(head, sizeof(head));
        hash.add(v.bytes.data(), v.bytes.size());
        if (dump != nullptr) {
            std::fwrite(head, sizeof(head), 1, dump);
            std::fwrite(v.bytes.data(), 1, v.bytes.size(), dump);
        }
    }
    if (dump != nullptr) {
        std::fclose(dump);
    }
    EXPECT_GE(h.frames().size(), 15u) << kSignalNames[kind] << " mode " << mode;
    return hash.value;
}

TEST(FrameIdentity, EveryFrameMatchesTheRecordedBytes) {
    const bool print = std::getenv("VEX_PRINT_FRAME_HASHES") != nullptr;
    for (int kind = 0; kind < 5; ++kind) {
        std::uint64_t got[3];
        for (std::int32_t mode = 0; mode < 3; ++mode) {
            got[mode] = runHash(kind, mode);
            EXPECT_EQ(got[mode], kExpected[kind][mode]) << kSignalNames[kind] << ", mode " << mode;
        }
        if (print) {
            std::printf("    {0x%016" PRIx64 "ull, 0x%016" PRIx64 "ull, 0x%016" PRIx64
                        "ull}, // %s\n",
                        got[0], got[1], got[2], kSignalNames[kind]);
        }
    }
}

} // namespace
} // namespace vex::test
