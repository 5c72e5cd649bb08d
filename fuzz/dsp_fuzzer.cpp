// Differential fuzzing of the FFT engine against a plain double-precision DFT, and of the
// window builder against its contract (writes exactly n finite values, or nothing).
#include "analyzer/dsp/fft_engine.h"
#include "analyzer/dsp/window_table.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

namespace {

constexpr float kSentinel = -12345.0f;

// X[k] = sum_j x[j] e^(+2 pi i j k / n), the engine's forward convention.
std::vector<std::complex<double>> plainDft(const std::vector<float>& re,
                                           const std::vector<float>& im) {
    const std::size_t n = re.size();
    std::vector<std::complex<double>> out(n);
    const double pi = std::acos(-1.0);
    for (std::size_t k = 0; k < n; ++k) {
        std::complex<double> sum = 0.0;
        for (std::size_t j = 0; j < n; ++j) {
            const double angle =
                2.0 * pi * static_cast<double>((j * k) % n) / static_cast<double>(n);
            sum += std::complex<double>(re[j], im[j]) * std::polar(1.0, angle);
        }
        out[k] = sum;
    }
    return out;
}

void check(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

void fuzzTransforms(FuzzedDataProvider& data) {
    const int bits = data.ConsumeIntegralInRange<int>(1, 8);
    const std::int32_t n = 1 << bits;
    std::vector<float> re(n), im(n);
    double magnitude = 0.0;
    for (std::int32_t j = 0; j < n; ++j) {
        re[j] = data.ConsumeFloatingPointInRange<float>(-1000.0f, 1000.0f);
        im[j] = data.ConsumeFloatingPointInRange<float>(-1000.0f, 1000.0f);
        magnitude += std::abs(re[j]) + std::abs(im[j]);
    }
    // Float storage of each butterfly's result bounds the error by a few float steps of the
    // largest possible value, per stage.
    const double tolerance = 1e-5 * (magnitude + 1.0) * bits;

    const auto reference = plainDft(re, im);
    std::vector<float> outRe(n, kSentinel), outIm(n, kSentinel);
    vex::fftComplex(n, re.data(), im.data(), outRe.data(), outIm.data(), false);
    for (std::int32_t k = 0; k < n; ++k) {
        check(std::abs(outRe[k] - reference[k].real()) <= tolerance);
        check(std::abs(outIm[k] - reference[k].imag()) <= tolerance);
    }
    // Inverse of the forward result gives the input back.
    std::vector<float> backRe(n), backIm(n);
    vex::fftComplex(n, outRe.data(), outIm.data(), backRe.data(), backIm.data(), true);
    for (std::int32_t j = 0; j < n; ++j) {
        check(std::abs(backRe[j] - re[j]) <= tolerance / n + 1e-3);
        check(std::abs(backIm[j] - im[j]) <= tolerance / n + 1e-3);
    }

    if (n >= 4) {
        // Real input: the power spectrum, with DC and Nyquist sharing element 0.
        const std::vector<float> zero(n, 0.0f);
        const auto realReference = plainDft(re, zero);
        std::vector<float> power(n, kSentinel);
        vex::computePowerSpectrum(n, re.data(), power.data());
        const double powerTolerance = 2.0 * tolerance * (magnitude + 1.0) + 1e-3;
        for (std::int32_t k = 0; k < n / 2; ++k) {
            double expected = std::norm(realReference[k]);
            if (k == 0) {
                expected = realReference[0].real() * realReference[0].real() +
                           realReference[n / 2].real() * realReference[n / 2].real();
            }
            check(std::abs(power[k] - expected) <= powerTolerance);
        }
        for (std::int32_t k = n / 2; k < n; ++k) {
            check(power[k] == kSentinel); // nothing written past n/2
        }
        // In place gives the same bits as out of place.
        std::vector<float> inPlace = re;
        vex::computePowerSpectrum(n, inPlace.data(), inPlace.data());
        for (std::int32_t k = 0; k < n / 2; ++k) {
            check(std::memcmp(&inPlace[k], &power[k], sizeof(float)) == 0);
        }
    }
}

void fuzzBadSizes(FuzzedDataProvider& data) {
    // Sizes that are not powers of two (or too small) write nothing.
    std::int32_t n = data.ConsumeIntegralInRange<std::int32_t>(-8, 300);
    if (n > 0 && (n & (n - 1)) == 0 && n >= 4) {
        n += 1;
    }
    std::vector<float> in(512, 1.0f), outRe(512, kSentinel), outIm(512, kSentinel);
    vex::computePowerSpectrum(n, in.data(), outRe.data());
    if (n < 2 || (n & (n - 1)) != 0) {
        vex::fftComplex(n, in.data(), nullptr, outRe.data(), outIm.data(), false);
        vex::fftRealPacked(n, in.data(), outRe.data(), outIm.data());
    }
    for (std::size_t i = 0; i < outRe.size(); ++i) {
        check(outRe[i] == kSentinel && outIm[i] == kSentinel);
    }
}

void fuzzWindow(FuzzedDataProvider& data) {
    const std::int32_t n = data.ConsumeIntegralInRange<std::int32_t>(-4, 4096);
    const auto type = data.ConsumeIntegralInRange<std::int32_t>(-2, 10);
    std::vector<float> table(4100, kSentinel);
    vex::fillWindowTable(table.data(), n, type);
    const bool written = table[0] != kSentinel;
    for (std::int32_t i = 0; i < 4100; ++i) {
        if (written && i < n) {
            check(std::isfinite(table[i]) && table[i] >= -1e-6f && table[i] <= 1.0f + 1e-6f);
        } else {
            check(table[i] == kSentinel);
        }
    }
    if (n < 1 || type < 0 || type > 8) {
        check(!written);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    switch (data.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
        fuzzTransforms(data);
        break;
    case 1:
        fuzzBadSizes(data);
        break;
    default:
        fuzzWindow(data);
        break;
    }
    return 0;
}
