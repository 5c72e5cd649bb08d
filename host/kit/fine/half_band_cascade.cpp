#include "host/kit/fine/half_band_cascade.h"

#include <algorithm>
#include <cmath>

#include <xmmintrin.h>

namespace vex::host {
namespace {

constexpr std::int32_t kHalfTaps = HalfBandCascade::kHalfTaps;
constexpr std::int32_t kTaps = HalfBandCascade::kTaps;
// The Kaiser window's shape for 100 dB.
constexpr double kKaiserBeta = 0.1102 * (100.0 - 8.7);
constexpr double kPi = 3.14159265358979323846;
// Samples are fed through the cascade this many at a time.
constexpr std::int32_t kBlock = 4096;
// Samples fed are kept within this, so a filter's sums stay finite.
constexpr float kLargestSample = 1e15f;

// The modified Bessel function I0, by its series.
double besselI0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 50; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
    }
    return sum;
}

// The half-band low-pass's taps: a windowed sinc cut at a quarter of the rate, summing to 1.
std::vector<float> makeTaps() {
    std::vector<double> taps(kTaps);
    double sum = 0.0;
    for (std::int32_t i = 0; i < kTaps; ++i) {
        const double n = i - kHalfTaps;
        const double sinc = n == 0 ? 1.0 : std::sin(kPi * n / 2.0) / (kPi * n / 2.0);
        const double r = n / kHalfTaps;
        taps[i] =
            0.5 * sinc * besselI0(kKaiserBeta * std::sqrt(1.0 - r * r)) / besselI0(kKaiserBeta);
        sum += taps[i];
    }
    std::vector<float> out(kTaps);
    for (std::int32_t i = 0; i < kTaps; ++i) {
        out[i] = static_cast<float>(taps[i] / sum);
    }
    return out;
}

// The taps, made once for the process (any thread).
const std::vector<float>& halfBand() {
    static const std::vector<float> taps = makeTaps();
    return taps;
}

} // namespace

HalfBandCascade::HalfBandCascade(std::int32_t halvings, const std::vector<std::int32_t>& kept) {
    stages.resize(static_cast<std::size_t>(halvings));
    for (Stage& stage : stages) {
        stage.line.assign(kTaps - 1 + kBlock, 0.0f);
    }
    rings.resize(static_cast<std::size_t>(halvings + 1));
    for (std::size_t depth = 0; depth < rings.size() && depth < kept.size(); ++depth) {
        rings[depth].values.assign(2 * static_cast<std::size_t>(std::max(kept[depth], 0)), 0.0f);
    }
    for (auto& block : blocks) {
        block.assign(kBlock, 0.0f);
    }
    scratchOdd.assign(kBlock / 2 + kHalfTaps + 1, 0.0f);
}

void HalfBandCascade::reset() {
    for (Stage& stage : stages) {
        std::fill(stage.line.begin(), stage.line.end(), 0.0f);
        stage.odd = false;
    }
    // Why the rings' values may stay: newest() reads only what was written since, and zeros
    // before it.
    for (Ring& ring : rings) {
        ring.written = 0;
    }
}

void HalfBandCascade::append(std::int32_t depth, const float* values, std::int32_t count) {
    Ring& ring = rings[static_cast<std::size_t>(depth)];
    const auto half = static_cast<std::int64_t>(ring.values.size() / 2);
    for (std::int64_t i = std::max<std::int64_t>(0, count - half); half > 0 && i < count; ++i) {
        const auto at = static_cast<std::size_t>((ring.written + i) % half);
        ring.values[at] = values[i];
        ring.values[at + static_cast<std::size_t>(half)] = values[i];
    }
    ring.written += count;
}

std::int32_t HalfBandCascade::decimate(std::int32_t depth, const float* in, std::int32_t count,
                                       float* out) {
    Stage& stage = stages[static_cast<std::size_t>(depth)];
    float* line = stage.line.data();
    std::copy(in, in + count, line + (kTaps - 1));
    const float* taps = halfBand().data();
    // Input i completes a pair when (i + odd) is odd; its output reads the kTaps inputs
    // ending at it, line[i .. i + kTaps), where the taps an even distance from the centre are
    // 0. Split into the inputs at odd and at even distances from the first output's start,
    // every output is the centre's product and a run of kHalfTaps products along the odd
    // ones: four outputs at a time in SSE lanes.
    const std::int32_t first = stage.odd ? 0 : 1;
    const std::int32_t outputs = first < count ? (count - first + 1) / 2 : 0;
    // Why one fewer than outputs + kHalfTaps: the last output reads odd[outputs - 1 +
    // kHalfTaps - 1]; one more read past the line when a whole block's first input did not
    // complete a pair.
    float* odd = scratchOdd.data();
    for (std::int32_t t = 0; t < outputs + kHalfTaps - 1; ++t) {
        odd[t] = line[first + 1 + 2 * t];
    }
    for (std::int32_t m = 0; m < outputs; ++m) {
        out[m] = taps[kHalfTaps] * line[first + kHalfTaps + 2 * m];
    }
    std::int32_t m = 0;
    for (; m + 4 <= outputs; m += 4) {
        __m128 sum = _mm_loadu_ps(out + m);
        for (std::int32_t j = 0; j < kHalfTaps; ++j) {
            sum = _mm_add_ps(sum,
                             _mm_mul_ps(_mm_set1_ps(taps[2 * j + 1]), _mm_loadu_ps(odd + m + j)));
        }
        _mm_storeu_ps(out + m, sum);
    }
    for (; m < outputs; ++m) {
        for (std::int32_t j = 0; j < kHalfTaps; ++j) {
            out[m] += taps[2 * j + 1] * odd[m + j];
        }
    }
    const std::int32_t written = outputs;
    stage.odd = ((count % 2) == 1) != stage.odd;
    std::copy(line + count, line + count + (kTaps - 1), line);
    return written;
}

void HalfBandCascade::feed(const float* samples, std::int32_t count) {
    for (std::int32_t done = 0; done < count; done += kBlock) {
        std::int32_t n = std::min(kBlock, count - done);
        float* in = blocks[0].data();
        for (std::int32_t i = 0; i < n; ++i) {
            const float s = samples[done + i];
            in[i] = std::isfinite(s) ? std::clamp(s, -kLargestSample, kLargestSample) : 0.0f;
        }
        append(0, in, n);
        for (std::int32_t depth = 0; depth < static_cast<std::int32_t>(stages.size()) && n > 0;
             ++depth) {
            float* out = blocks[(depth + 1) % 2].data();
            n = decimate(depth, in, n, out);
            append(depth + 1, out, n);
            in = out;
        }
    }
}

void HalfBandCascade::newest(std::int32_t depth, std::int32_t count, float* out) const {
    const Ring& ring = rings[static_cast<std::size_t>(depth)];
    const auto half = static_cast<std::int64_t>(ring.values.size() / 2);
    const std::int64_t end = ring.written % half + half;
    const auto have = static_cast<std::int32_t>(std::min<std::int64_t>(count, ring.written));
    std::fill(out, out + (count - have), 0.0f);
    std::copy(ring.values.begin() + (end - have), ring.values.begin() + end, out + (count - have));
}

} // namespace vex::host
