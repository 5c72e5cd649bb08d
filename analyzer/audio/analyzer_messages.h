// The frames the analyzer's audio side sends to its display side as the value of its
// first pin (a byte block). The length of the value tells its kind; there is no header
// beyond the two presence bytes. Byte order little-endian, values IEEE single-precision
// floats, every float on a 4-byte boundary.
//
// These records are the sender's in-memory layout and the bytes on the wire at once; a
// receiver may copy a value of the matching length into one of them. Reserved bytes are
// written as zero by the sender and ignored by receivers.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the frame layouts are little-endian"
#endif

namespace vex {

static_assert(std::numeric_limits<float>::is_iec559 && sizeof(float) == 4,
              "frame values are IEEE single-precision floats");

// One point of a frame: the value for signal A, then for signal B. A signal whose presence
// byte is 0 still occupies its slot; its value is stale or was never written.
struct PayloadRecord {
    float signalA;
    float signalB;
};
static_assert(sizeof(PayloadRecord) == 8 && offsetof(PayloadRecord, signalB) == 4,
              "a record is two floats");

inline constexpr std::int32_t kPayloadHeaderSize = 4;
inline constexpr std::int32_t kScopePoints = 200;
inline constexpr std::int32_t kLinearBins = 512;
inline constexpr std::int32_t kLogBands = 528;

// The update-rate pin's choices: choice k (0..7; values outside are taken as the nearest
// end) asks for 5·(k + 1) frames per second.
inline constexpr std::int32_t kUpdateRateChoices = 8;
inline constexpr std::int32_t framesPerSecondOfChoice(std::int32_t choice) {
    const std::int32_t k =
        choice < 0 ? 0 : (choice >= kUpdateRateChoices ? kUpdateRateChoices - 1 : choice);
    return 5 * (k + 1);
}

// Byte lengths, one per kind; an empty value (length 0) means "no frame".
inline constexpr std::int32_t kScopePayloadSize = 1604;
inline constexpr std::int32_t kLinearSpectrumPayloadSize = 4100;
inline constexpr std::int32_t kLogSpectrumPayloadSize = 4228;
// The longest of them: the frame pin's storage is sized for it once, at construction.
inline constexpr std::int32_t kLongestPayloadSize =
    std::max({kScopePayloadSize, kLinearSpectrumPayloadSize, kLogSpectrumPayloadSize});

// View "Scope": 200 consecutive input samples, oldest first, exactly as received.
struct ScopePayload {
    std::uint8_t signalAStreaming; // 1: signal A was streaming in the last stretch added
    std::uint8_t signalBStreaming;
    std::uint8_t reserved[2];
    PayloadRecord samples[kScopePoints];
};

// View "Freq (Linear)": record k is the level in dB of FFT bin k (k·fs/1024 Hz); record 0
// holds DC and Nyquist together. Never below −130.758.
struct LinearSpectrumPayload {
    std::uint8_t signalAStreaming;
    std::uint8_t signalBStreaming;
    std::uint8_t reserved[2];
    PayloadRecord levels[kLinearBins];
};

// View "Freq (Log)": record b is the level in dB of the 1/48-octave band centred on
// 10·2^(b/48) Hz. Never below −119.891; bands above half the sample rate read that floor.
struct LogSpectrumPayload {
    std::uint8_t signalAStreaming;
    std::uint8_t signalBStreaming;
    std::uint8_t reserved[2];
    PayloadRecord levels[kLogBands];
};

#define VEX_CHECK_PAYLOAD(Type, body, count, size)                                                 \
    static_assert(sizeof(Type) == (size) && alignof(Type) == 4, #Type " size");                    \
    static_assert(offsetof(Type, signalAStreaming) == 0 &&                                         \
                      offsetof(Type, signalBStreaming) == 1 && offsetof(Type, reserved) == 2 &&    \
                      offsetof(Type, body) == kPayloadHeaderSize,                                  \
                  #Type " header");                                                                \
    static_assert(kPayloadHeaderSize + 8 * (count) == (size), #Type " records fill it")

VEX_CHECK_PAYLOAD(ScopePayload, samples, kScopePoints, kScopePayloadSize);
VEX_CHECK_PAYLOAD(LinearSpectrumPayload, levels, kLinearBins, kLinearSpectrumPayloadSize);
VEX_CHECK_PAYLOAD(LogSpectrumPayload, levels, kLogBands, kLogSpectrumPayloadSize);

#undef VEX_CHECK_PAYLOAD

// The last float of a log frame, signal B of band 527, starts at byte 4224.
static_assert(offsetof(LogSpectrumPayload, levels) + (kLogBands - 1) * sizeof(PayloadRecord) +
                      offsetof(PayloadRecord, signalB) ==
                  4224,
              "last float of a log frame");

} // namespace vex
